#include "accounts/tformnewuser.h"
#include "frame/prompts.h"
#include "typing.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>

using tess::Prompts;

namespace {

enum How { OkClick, Enter, Esc, CancelClick, CloseBox };

// The account dialog over a window of its own, as a command shows it.
struct Shown {
    QWidget owner;
    TFormNewUser* dialog = nullptr;
    Shown() {
        owner.resize(700, 500);
        owner.show();
        dialog = new TFormNewUser(&owner);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog))
            qWarning("the account dialog did not show");
    }
};

} // namespace

class TestFormNewUser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        Prompts::instance().clear();
        Prompts::instance().setScripted(true);
    }
    void layout();
    void closeTest_data();
    void closeTest();
};

void TestFormNewUser::layout() {
    Shown s;
    TFormNewUser& d = *s.dialog;
    QCOMPARE(d.windowTitle(), QStringLiteral("用户信息"));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QCOMPARE(d.frameGeometry().center(), s.owner.frameGeometry().center());
    QCOMPARE(d.PageControl1->count(), 1);
    QCOMPARE(d.PageControl1->tabText(0), QStringLiteral("用户信息"));

    QStringList captions;
    for (QLineEdit* edit : {d.EditName, d.EditPassword, d.EditPassword2}) {
        QVERIFY(edit->isVisible() && edit->isEnabled() && edit->text().isEmpty());
        for (const QLabel* label : d.findChildren<QLabel*>())
            if (label->buddy() == edit)
                captions << label->text();
    }
    QCOMPARE(captions, (QStringList{QStringLiteral("用户名："), QStringLiteral("用户密码："),
                                    QStringLiteral("再输入一次密码：")}));
    QCOMPARE(d.EditName->echoMode(), QLineEdit::Normal);
    QCOMPARE(d.EditPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(d.EditPassword2->echoMode(), QLineEdit::Password);
    for (QLineEdit* edit : {d.EditPassword, d.EditPassword2})
        QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
                 int('*'));
    QCOMPARE(d.Button1->text(), QStringLiteral("确定"));
    QCOMPARE(d.Button2->text(), QStringLiteral("取消"));
    QVERIFY(d.Button1->isDefault());
    QVERIFY(!d.Button2->isDefault() && !d.Button2->autoDefault());
    QCOMPARE(d.focusWidget(), d.EditName);
    // The buttons lie below the page, at the right, and nothing is cut off.
    QVERIFY(d.Button1->geometry().top() >= d.PageControl1->geometry().bottom());
    QVERIFY(d.Button1->geometry().right() < d.Button2->geometry().left());
    for (const QLabel* label : d.findChildren<QLabel*>())
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    for (const QWidget* w : d.findChildren<QWidget*>()) {
        if (w->isVisible() && w->focusPolicy() != Qt::NoFocus)
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
}

void TestFormNewUser::closeTest_data() {
    QTest::addColumn<bool>("nameShown"); // the name set by a password change, disabled
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("password2");
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("emptied"); // all three boxes emptied (by 取消)

    const QString n = QStringLiteral("王老师");
    const QString a = QStringLiteral("abc");
    const QString b = QStringLiteral("abd");
    const int ok = QDialog::Accepted;
    const int cancel = QDialog::Rejected;
    QTest::newRow("OK, equal") << false << n << a << a << int(OkClick) << true << ok << false;
    QTest::newRow("OK, both empty")
        << false << n << QString() << QString() << int(OkClick) << true << ok << false;
    QTest::newRow("OK, unequal") << false << n << a << b << int(OkClick) << false << 0 << false;
    QTest::newRow("OK, case differs")
        << false << n << a << QStringLiteral("ABC") << int(OkClick) << false << 0 << false;
    QTest::newRow("OK, blank after one")
        << false << n << a << QStringLiteral("abc ") << int(OkClick) << false << 0 << false;
    QTest::newRow("OK, unequal, empty name")
        << false << QString() << a << b << int(OkClick) << true << ok << false;
    QTest::newRow("Enter, equal") << false << n << a << a << int(Enter) << true << ok << false;
    QTest::newRow("Enter, unequal") << false << n << a << b << int(Enter) << false << 0 << false;
    QTest::newRow("Esc, unequal") << false << n << a << b << int(Esc) << true << cancel << true;
    QTest::newRow("Cancel, unequal")
        << false << n << a << b << int(CancelClick) << true << cancel << true;
    QTest::newRow("close box, equal")
        << false << n << a << a << int(CloseBox) << true << cancel << false;
    QTest::newRow("close box, unequal")
        << false << n << a << b << int(CloseBox) << false << 0 << false;
    QTest::newRow("close box, unequal, empty name")
        << false << QString() << a << b << int(CloseBox) << true << cancel << false;
    QTest::newRow("password change, OK, unequal")
        << true << n << a << b << int(OkClick) << false << 0 << false;
    // A name shown for a password change is never a reason to store one
    // password that was not typed twice.
    QTest::newRow("password change, OK, unequal, shown name empty")
        << true << QString() << a << b << int(OkClick) << false << 0 << false;
    QTest::newRow("password change, Esc, unequal")
        << true << n << a << b << int(Esc) << true << cancel << true;
}

// Every way of closing runs the test: equal passwords or an empty new name
// close; otherwise the message, both password boxes emptied, and the dialog
// stays, to close once the passwords agree.
void TestFormNewUser::closeTest() {
    QFETCH(bool, nameShown);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, password2);
    QFETCH(int, how);
    QFETCH(bool, closes);
    QFETCH(int, result);
    QFETCH(bool, emptied);

    Shown s;
    TFormNewUser& d = *s.dialog;
    if (nameShown) {
        d.EditName->setText(name);
        d.EditName->setEnabled(false);
    } else {
        typing::replaceText(d.EditName, name);
    }
    typing::replaceText(d.EditPassword, password);
    typing::replaceText(d.EditPassword2, password2);
    QCOMPARE(d.EditPassword2->text(), password2);

    switch (How(how)) {
    case OkClick:
        QTest::mouseClick(d.Button1, Qt::LeftButton);
        break;
    case Enter:
        QTest::keyClick(d.EditPassword2, Qt::Key_Return);
        break;
    case Esc:
        QTest::keyClick(d.EditPassword2, Qt::Key_Escape);
        break;
    case CancelClick:
        QTest::mouseClick(d.Button2, Qt::LeftButton);
        break;
    case CloseBox:
        QCOMPARE(d.close(), closes);
        break;
    }

    if (closes) {
        QVERIFY(Prompts::instance().shownTexts().isEmpty());
        QVERIFY(d.isHidden());
        QCOMPARE(d.result(), result);
        QCOMPARE(d.EditName->text(), emptied ? QString() : name);
        QCOMPARE(d.EditPassword->text(), emptied ? QString() : password);
        QCOMPARE(d.EditPassword2->text(), emptied ? QString() : password2);
        return;
    }
    QCOMPARE(Prompts::instance().shownTexts(), QStringList{TFormNewUser::mismatchMessage()});
    QCOMPARE(TFormNewUser::mismatchMessage(),
             QStringLiteral("新建用户密码与确认密码不一样，请重新输入！"));
    QVERIFY(d.isVisible());
    QCOMPARE(d.EditName->text(), name);
    QVERIFY(d.EditPassword->text().isEmpty());
    QVERIFY(d.EditPassword2->text().isEmpty());

    // Typed twice alike, the same way of closing now goes through.
    typing::replaceText(d.EditPassword, QStringLiteral("x'y"));
    typing::replaceText(d.EditPassword2, QStringLiteral("x'y"));
    if (how == CloseBox)
        QVERIFY(d.close());
    else if (how == Enter)
        QTest::keyClick(d.EditPassword2, Qt::Key_Return);
    else
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), how == CloseBox ? int(QDialog::Rejected) : int(QDialog::Accepted));
    QCOMPARE(d.EditPassword->text(), QStringLiteral("x'y"));
    QCOMPARE(Prompts::instance().shownTexts().size(), 1);
}

QTEST_MAIN(TestFormNewUser)
#include "tst_formnewuser.moc"
