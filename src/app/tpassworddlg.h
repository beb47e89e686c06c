#pragma once

#include "settings/bankchoice.h"
#include "store/connection.h"
#include "store/query.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class TMainForm;

namespace tess {
class Banner;
}

// The login dialog. It shows which paper bank it signs in to (the bank this
// run works on, as start-up chose it) and checks the account against the
// bank's users on a connection of its own, opened and closed for each
// attempt, then hands the account to the main window, which opens the paper
// bank and shows itself; when that fails, a box says why and OK may be
// pressed again.
// Closing it before a login ends the application (the caller connects
// rejected() to the application's end).
class TPasswordDlg : public QDialog {
    Q_OBJECT

public:
    explicit TPasswordDlg(QWidget* parent = nullptr);
    void SetMainForm(TMainForm* mainForm) { m_mainForm = mainForm; }
    // Or where to get it when an accepted login first needs it, for a main
    // window that is made after this dialog shows.
    void SetMainFormSource(std::function<TMainForm*()> source) {
        m_mainFormSource = std::move(source);
    }

    // The check statement: three lines, each ending in CR LF.
    static QString CheckStatement(const QString& account, const QString& password);
    // A text in single quotes, inner quotes doubled.
    static QString QuotedText(const QString& text);

    tess::Banner* Panel1 = nullptr;
    QLabel* LabelTitle = nullptr;
    QLabel* LabelPrompt = nullptr;
    // The bank signed in to: its file path, or its server URI without password.
    QLabel* LabelBank = nullptr;
    QLineEdit* EditAcount = nullptr;
    QLineEdit* EditPassword = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // The login connection and its statement.
    tess::Connection Database;
    tess::Query QueryUser{Database};

public Q_SLOTS:
    void OKBtnClick();
    void CancelBtnClick();
    void Image3Click();

private:
    void closeCheck();
    void showBank();
    // The box for a failed account check: on a server it names the server.
    QString checkFailure(const QString& failure) const;
    // The password hashes the account keeps (the accounts of a shared bank,
    // or copied from one), which the check statement cannot compare.
    QStringList storedHashes(const QString& account);
    // Tells the teacher the account or password is wrong; closes the check.
    void refuseSignIn();

    tess::BankChoice m_bank;

    TMainForm* m_mainForm = nullptr;
    std::function<TMainForm*()> m_mainFormSource;
};
