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
            banktest::freshBank(TMainForm::PaperBankPath());
    }
    ~AppFolder() { TMainForm::SetExecutablePath(QString()); }

    // Runs statements on the bank (test set-up only): each commits on its
    // own, as another program's would, unless a SetupRows batch is open.
    void sql(const QString& statement) const {
        if (m_rows)
            m_rows->execute(statement);
        else
            banktest::BankConnection(TMainForm::PaperBankPath()).execute(statement);
    }

    // While it lives, the folder's sql() (and every helper built on it) goes
    // into one transaction that commit() writes with one set of syncs instead
    // of a set per row. Not committed, the rows are rolled back.
    class SetupRows {
    public:
        explicit SetupRows(const AppFolder& folder)
            : m_folder(folder), m_conn(TMainForm::PaperBankPath()), m_transaction(m_conn) {
            m_folder.m_rows = &m_conn;
        }
        ~SetupRows() { m_folder.m_rows = nullptr; }
        SetupRows(const SetupRows&) = delete;
        SetupRows& operator=(const SetupRows&) = delete;

        void commit() {
            m_transaction.commit();
            m_folder.m_rows = nullptr;
        }

    private:
        const AppFolder& m_folder;
        banktest::BankConnection m_conn;
        banktest::SetupTransaction m_transaction;
    };
    SetupRows setupRows() const { return SetupRows(*this); }

private:
    mutable tess::Connection* m_rows = nullptr;
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
