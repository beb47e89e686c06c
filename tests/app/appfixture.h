#pragma once

#include "app/tmainform.h"
#include "bank/paperbank.h"
#include "bankhelpers.h"
#include "editor/papernavigator.h"
#include "frame/prompts.h"
#include "print/printprompts.h"
#include "settings/bankchoice.h"
#include "settings/inifile.h"
#include "settings/programfiles.h"
#include "store/connection.h"
#include "store/schema.h"

#include <QApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

// A part of a window found by its object name; a missing one fails the run.
template <typename T> T* part(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("%s not found", name);
    return found;
}

inline QPlainTextEdit* messageArea(const QObject& window) {
    return part<QPlainTextEdit>(window, "MessageArea");
}

// A folder of its own holding the program's files: the executable path points
// into it, and a fresh paper bank from the real schema lies there. On the
// server engine the bank is the test server's database standing for that
// file, named in the folder's settings file as a school names its shared bank,
// and chosen from there as start-up chooses.
struct AppFolder {
    QTemporaryDir dir;

    explicit AppFolder(bool withBank = true) {
        tess::ProgramFiles::SetExecutablePath(dir.filePath(QStringLiteral("tessaloom")));
        tess::Prompts::instance().clear();
        tess::PrintPrompts::instance().clear();
        tess::Prompts::instance().setScripted(true);
        tess::clearChosenBank();
        if (!withBank)
            return;
        const QString bank = tess::ProgramFiles::PaperBankPath();
        banktest::freshBank(bank);
        if (!banktest::onServer())
            return;
        tess::updateSettingsFile(tess::ProgramFiles::SettingsPath(), [&](tess::IniFile& ini) {
            ini.setValue(QStringLiteral("Bank"), QStringLiteral("Server"),
                         banktest::bankName(bank));
        });
        tess::setChosenBank(
            tess::chooseBank({QStringLiteral("tessaloom")}, tess::ProgramFiles::SettingsPath()));
    }
    ~AppFolder() {
        tess::clearChosenBank();
        tess::ProgramFiles::SetExecutablePath(QString());
    }

    // The bank the program works on: the file beside it, or on the server
    // engine the database standing for it.
    static QString bankName() { return banktest::bankName(tess::ProgramFiles::PaperBankPath()); }

    // Runs statements on the bank (test set-up only): each commits on its
    // own, as another program's would, unless a SetupRows batch is open.
    void sql(const QString& statement) const {
        if (m_rows)
            m_rows->execute(statement);
        else
            banktest::BankConnection(tess::ProgramFiles::PaperBankPath()).execute(statement);
    }

    // While it lives, the folder's sql() (and every helper built on it) goes
    // into one transaction that commit() writes with one set of syncs instead
    // of a set per row. Not committed, the rows are rolled back.
    class SetupRows {
    public:
        explicit SetupRows(const AppFolder& folder)
            : m_folder(folder), m_conn(tess::ProgramFiles::PaperBankPath()), m_transaction(m_conn) {
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
