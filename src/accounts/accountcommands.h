#pragma once

#include <QObject>
#include <QString>

class QAction;

namespace tess {

class Frame;
class PaperBank;

// User management for the administrator (manageUsers, OnManageUsers) and
// every user's change of their own password (modifyPassword, OnModifyPasswore),
// for the account signed in.
class AccountCommands : public QObject {
    Q_OBJECT

public:
    AccountCommands(Frame& frame, PaperBank& bank, QAction* manageUsers, QAction* modifyPassword,
                    QObject* parent);

    void SetSignedInAccount(const QString& account) { m_signedInAccount = account; }
    QString SignedInAccount() const { return m_signedInAccount; }

private:
    void OnManageUsersUpdate();
    void OnManageUsersExecute();
    void OnModifyPassworeExecute();

    Frame& m_frame;
    PaperBank& m_bank;
    QAction* m_manageUsers;
    QString m_signedInAccount;
};

} // namespace tess
