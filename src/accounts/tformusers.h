#pragma once

#include "store/tablecursor.h"

#include <QDialog>
#include <functional>

class QPushButton;
class QTabWidget;
class QTableView;

namespace tess {
class Connection;
class CursorTableModel;
} // namespace tess

// The user management dialog: the accounts other than Admin, with buttons to
// create and delete them. Its cursor is opened and closed by the caller.
class TFormUsers : public QDialog {
    Q_OBJECT

public:
    // Errors of the buttons go to guard (the main window's error handler).
    using Guard = std::function<void(const std::function<void()>&)>;
    TFormUsers(QWidget* parent, tess::Connection& connection, Guard guard);
    ~TFormUsers() override;

    // The administrator's own account is never listed.
    tess::TableCursor UserTable;

    QTabWidget* PageControl1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QPushButton* Button3 = nullptr;  // 新建用户
    QPushButton* Button4 = nullptr;  // 删除此用户
    QPushButton* BtnClose = nullptr; // 关闭

public Q_SLOTS:
    void Button3Click();
    void Button4Click();

private:
    void selectCurrentRow(int row);

    tess::Connection& m_connection;
    Guard m_guard;
    tess::CursorTableModel* m_model = nullptr;
    bool m_rowsChanging = false;
};
