// The main window's account commands: user management for the administrator
// and every user's change of their own password.
#include "accounts/tformnewuser.h"
#include "accounts/tformusers.h"
#include "app/tmainform.h"

#include <QAction>
#include <QLineEdit>
#include <QScopeGuard>

namespace {

const QString kAcount = QStringLiteral("acount");

// The bank compares account names ignoring the case of the letters A to Z
// only; this finds the record the sign-in matched, not a look-alike.
bool sameAccount(const QString& stored, const QString& typed) {
    if (stored.size() != typed.size())
        return false;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar a = stored.at(i);
        const QChar b = typed.at(i);
        if (a == b)
            continue;
        if (a.unicode() >= 128 || b.unicode() >= 128 || a.toLower() != b.toLower())
            return false;
    }
    return true;
}

} // namespace

void TMainForm::createAccountCommands() {
    ConnectCommand(OnManageUsers, [this] { OnManageUsersExecute(); });
    SetUpdateRule(OnManageUsers, [this] { OnManageUsersUpdate(); });
    ConnectCommand(OnModifyPasswore, [this] { OnModifyPassworeExecute(); });
    OnManageUsersUpdate();
}

void TMainForm::OnManageUsersUpdate() {
    OnManageUsers->setEnabled(m_signedInAccount == QStringLiteral("Admin"));
}

void TMainForm::OnManageUsersExecute() {
    TFormUsers dialog(this, Conn, [this](const std::function<void()>& fn) { Guarded(fn); });
    dialog.UserTable.open();
    auto closeCursor = qScopeGuard([&dialog] { dialog.UserTable.close(); });
    dialog.exec();
}

void TMainForm::OnModifyPassworeExecute() {
    TFormNewUser dialog(this);
    dialog.EditName->setText(m_signedInAccount);
    dialog.EditName->setEnabled(false);
    dialog.EditPassword->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString password = dialog.EditPassword->text();

    TableUsers.open();
    auto closeCursor = qScopeGuard([this] {
        if (TableUsers.isEditing())
            TableUsers.cancel();
        TableUsers.close();
    });
    // The record signed in with: names are unique ignoring the case of A to Z,
    // so at most one matches.
    int match = -1;
    for (int row = 0; row < TableUsers.recordCount() && match < 0; ++row) {
        if (sameAccount(TableUsers.textAt(row, kAcount), m_signedInAccount))
            match = row;
    }
    if (match < 0) {
        // Saying nothing would leave the user believing the password changed.
        ShowInformation(QStringLiteral("试题库中已经没有帐号 %1, 密码没有修改. "
                                       "请与系统管理员联系.")
                            .arg(m_signedInAccount));
        return;
    }
    TableUsers.moveTo(match);
    TableUsers.edit();
    TableUsers.setString(QStringLiteral("password"), password);
    TableUsers.post();
}
