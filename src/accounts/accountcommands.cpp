// The account commands: user management for the administrator and every
// user's change of their own password.
#include "accounts/accountcommands.h"

#include "bank/passwordhash.h"
#include "accounts/tformnewuser.h"
#include "accounts/tformusers.h"
#include "bank/paperbank.h"
#include "frame/frame.h"

#include <QAction>
#include <QLineEdit>
#include <QScopeGuard>

namespace tess {

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

AccountCommands::AccountCommands(Frame& frame, PaperBank& bank, QAction* manageUsers,
                                 QAction* modifyPassword, QObject* parent)
    : QObject(parent), m_frame(frame), m_bank(bank), m_manageUsers(manageUsers) {
    frame.ConnectCommand(manageUsers, [this] { OnManageUsersExecute(); });
    frame.SetUpdateRule(manageUsers, [this] { OnManageUsersUpdate(); });
    frame.ConnectCommand(modifyPassword, [this] { OnModifyPassworeExecute(); });
    OnManageUsersUpdate();
}

void AccountCommands::OnManageUsersUpdate() {
    m_manageUsers->setEnabled(m_signedInAccount == QStringLiteral("Admin"));
}

void AccountCommands::OnManageUsersExecute() {
    TFormUsers dialog(m_frame.FrameWidget(), m_bank.Conn,
                      [this](const std::function<void()>& fn) { m_frame.Guarded(fn); });
    dialog.UserTable.open();
    auto closeCursor = qScopeGuard([&dialog] { dialog.UserTable.close(); });
    dialog.exec();
}

void AccountCommands::OnModifyPassworeExecute() {
    TFormNewUser dialog(m_frame.FrameWidget());
    dialog.EditName->setText(m_signedInAccount);
    dialog.EditName->setEnabled(false);
    dialog.EditPassword->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString password = dialog.EditPassword->text();

    m_bank.TableUsers.open();
    auto closeCursor = qScopeGuard([this] {
        if (m_bank.TableUsers.isEditing())
            m_bank.TableUsers.cancel();
        m_bank.TableUsers.close();
    });
    // The record signed in with: names are unique ignoring the case of A to Z,
    // so at most one matches.
    int match = -1;
    for (int row = 0; row < m_bank.TableUsers.recordCount() && match < 0; ++row) {
        if (sameAccount(m_bank.TableUsers.textAt(row, kAcount), m_signedInAccount))
            match = row;
    }
    if (match < 0) {
        // Saying nothing would leave the user believing the password changed.
        m_frame.ShowInformation(QStringLiteral("试题库中已经没有帐号 %1, 密码没有修改. "
                                               "请与系统管理员联系.")
                                    .arg(m_signedInAccount));
        return;
    }
    m_bank.TableUsers.moveTo(match);
    m_bank.TableUsers.edit();
    m_bank.TableUsers.setString(QStringLiteral("password"), passwordToStore(m_bank.Conn, password));
    m_bank.TableUsers.post();
}

} // namespace tess
