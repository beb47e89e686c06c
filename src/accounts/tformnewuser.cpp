#include "accounts/tformnewuser.h"

#include "frame/prompts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Password boxes show "*" for each character rather than the style's dot.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TFormNewUser::TFormNewUser(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FormNewUser"));
    setWindowTitle(QStringLiteral("用户信息"));

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("用户信息"));
    PageControl1->tabBar()->setAccessibleName(QStringLiteral("用户信息"));
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    page->setAccessibleName(QStringLiteral("用户信息"));
    PageControl1->addTab(page, QStringLiteral("用户信息"));

    auto makeEdit = [page](const char* name, bool masked) {
        auto* edit = new QLineEdit(page);
        edit->setObjectName(QLatin1String(name));
        if (masked)
            edit->setEchoMode(QLineEdit::Password);
        return edit;
    };
    EditName = makeEdit("EditName", false);
    EditPassword = makeEdit("EditPassword", true);
    EditPassword2 = makeEdit("EditPassword2", true);

    auto* fields = new QGridLayout(page);
    fields->setContentsMargins(16, 18, 16, 18);
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(12);
    int row = 0;
    for (auto [caption, edit] : {std::pair{QStringLiteral("用户名："), EditName},
                                 std::pair{QStringLiteral("用户密码："), EditPassword},
                                 std::pair{QStringLiteral("再输入一次密码："), EditPassword2}}) {
        auto* label = new QLabel(caption, page);
        label->setObjectName(QStringLiteral("Label%1").arg(row + 1));
        label->setAccessibleName(caption);
        label->setBuddy(edit);
        edit->setAccessibleName(caption.chopped(1)); // without the colon
        fields->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        fields->addWidget(edit, row, 1);
        ++row;
    }
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(row, 1);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(QStringLiteral("确定"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAccessibleName(QStringLiteral("取消"));
    Button2->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 10);
    layout->setSpacing(10);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &TFormNewUser::Button2Click);

    // Made last, so that it goes after the boxes that use it.
    auto* stars = new StarPasswordStyle;
    stars->setParent(this);
    EditPassword->setStyle(stars);
    EditPassword2->setStyle(stars);

    setFixedSize(340, 230);
    EditName->setFocus();
}

QString TFormNewUser::mismatchMessage() {
    return QStringLiteral("新建用户密码与确认密码不一样，请重新输入！");
}

void TFormNewUser::Button2Click() {
    // Emptied boxes are equal, so a cancel always passes the close test.
    EditName->clear();
    EditPassword->clear();
    EditPassword2->clear();
    reject();
}

void TFormNewUser::FormClose(bool& canClose) {
    canClose = true;
    if (EditPassword->text() == EditPassword2->text())
        return;
    // An empty new name creates nothing, so the dialog may go. A name shown
    // for a password change is not the user's to leave empty: there the
    // passwords must agree, or the first one would be stored unconfirmed.
    if (EditName->isEnabled() && EditName->text().isEmpty())
        return;
    canClose = false;
    tess::Prompts::instance().information(this, mismatchMessage());
    EditPassword->clear();
    EditPassword2->clear();
    EditPassword->setFocus();
}

// 确定, 取消 and the close box all end here (the close box through reject()).
void TFormNewUser::done(int result) {
    bool canClose = true;
    FormClose(canClose);
    if (canClose)
        QDialog::done(result);
}

void TFormNewUser::keyPressEvent(QKeyEvent* event) {
    // Esc presses 取消, which empties the boxes first, rather than closing as the box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Button2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
