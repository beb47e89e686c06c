#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTabWidget;

// The account dialog: a name and a password typed twice. It serves both a
// new account (name editable) and the change of one's own password (name
// shown and disabled). Every way of closing runs FormClose first.
class TFormNewUser : public QDialog {
    Q_OBJECT

public:
    explicit TFormNewUser(QWidget* parent);

    // The message of a mismatch, shown in an information box.
    static QString mismatchMessage();

    QTabWidget* PageControl1 = nullptr;
    QLineEdit* EditName = nullptr;
    QLineEdit* EditPassword = nullptr;
    QLineEdit* EditPassword2 = nullptr;
    QPushButton* Button1 = nullptr; // 确定
    QPushButton* Button2 = nullptr; // 取消

    // The close test: whether the dialog may close now.
    void FormClose(bool& canClose);

public Q_SLOTS:
    void Button2Click();
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
