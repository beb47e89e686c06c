#pragma once

#include "app/prompts.h"
#include "app/tmainform.h"
#include "bankhelpers.h"
#include "store/connection.h"
#include "store/schema.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

// A folder of its own holding the program's files: the executable path points
// into it, and a fresh paper bank from the real schema lies there.
struct AppFolder {
    QTemporaryDir dir;

    explicit AppFolder(bool withBank = true) {
        TMainForm::SetExecutablePath(dir.filePath(QStringLiteral("tessaloom")));
        tess::Prompts::instance().clear();
        tess::Prompts::instance().setScripted(true);
        if (withBank)
            tess::createPaperBank(TMainForm::PaperBankPath());
    }
    ~AppFolder() { TMainForm::SetExecutablePath(QString()); }

    // Runs statements on the bank (test set-up only).
    void sql(const QString& statement) const {
        banktest::BankConnection(TMainForm::PaperBankPath()).execute(statement);
    }
};

// Runs fn on the next modal dialog of type T once it shows; fn must close it.
template <typename T> void onNextModal(std::function<void(T*)> fn) {
    QTimer::singleShot(0, qApp, [fn] {
        T* dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<T*>(QApplication::activeModalWidget())) != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        fn(dialog);
        if (dialog->isVisible()) // never leave a test hanging in exec()
            dialog->reject();
    });
}
