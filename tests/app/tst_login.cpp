#include "app/banner.h"
#include "app/taboutdlg.h"
#include "app/tpassworddlg.h"
#include "appfixture.h"
#include "immutable.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <optional>
#include <sqlite3.h>

using tess::Prompts;

namespace {

const QString kRefused = QStringLiteral("登陆失败,请确认你的帐号和密码.\n\n按取消按钮可退出系统.");
const QString kFailedTail =
    QStringLiteral("\n\n连接数据库失败,请确认你的帐号和密码.\n\n按取消按钮可退出系统.");

// The login dialog and the hidden main window, as start-up makes them.
struct Login {
    TPasswordDlg dialog;
    TMainForm form;
    Login() {
        dialog.SetMainForm(&form);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }
    void type(const QString& account, const QString& password) {
        dialog.EditAcount->setText(account);
        dialog.EditPassword->setText(password);
    }
    void pressEnter() { QTest::keyClick(dialog.EditPassword, Qt::Key_Return); }
    bool waiting() const {
        return dialog.isVisible() && dialog.OKBtn->isEnabled() && form.isHidden() &&
               !dialog.Database.isOpen() && !dialog.QueryUser.isOpen();
    }
};

} // namespace

class TestLogin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layout();
    void checkStatement();
    void accepted_data();
    void accepted();
    void refusedThenAccepted_data();
    void refusedThenAccepted();
    void engineFailure_data();
    void engineFailure();
    void failureWhileOpeningBank();
    void closing_data();
    void closing();
    void aboutFromIcon();
};

void TestLogin::layout() {
    AppFolder folder;
    Login login;
    TPasswordDlg& d = login.dialog;
    QCOMPARE(d.windowTitle(), QStringLiteral("登陆"));
    QCOMPARE(d.size(), QSize(501, 320));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QCOMPARE(d.Panel1->geometry(), QRect(0, 0, 501, 65));
    QCOMPARE(d.LabelTitle->text(), QStringLiteral("Tessaloom"));
    QCOMPARE(d.LabelPrompt->text(),
             QStringLiteral("请输入你的帐号和密码;\n系统管理员请用帐号Admin登陆..."));
    QCOMPARE(d.EditAcount->text(), QStringLiteral("Admin"));
    QVERIFY(d.EditPassword->text().isEmpty());
    QCOMPARE(d.EditPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(d.OKBtn->text(), QStringLiteral("确定"));
    QCOMPARE(d.CancelBtn->text(), QStringLiteral("取消"));
    QVERIFY(d.OKBtn->isDefault());
    QCOMPARE(d.focusWidget(), d.EditAcount);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    for (QWidget* next :
         {static_cast<QWidget*>(d.EditPassword), static_cast<QWidget*>(d.OKBtn),
          static_cast<QWidget*>(d.CancelBtn), static_cast<QWidget*>(d.EditAcount)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestLogin::checkStatement() {
    QCOMPARE(TPasswordDlg::CheckStatement(QStringLiteral("O'Neil"), QStringLiteral(" a''b ")),
             QStringLiteral("select count(*) as validuser from users where \r\n"
                            " (acount = 'O''Neil') \r\n"
                            "and (password = ' a''''b ') \r\n"));
}

// Accepted pairs: the main window opens the bank and shows, the dialog hides,
// and the signed-in account is the text as typed.
void TestLogin::accepted_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::newRow("preset Admin, empty password")
        << QString() << QStringLiteral("Admin") << QString();
    QTest::newRow("other letter case") << QString() << QStringLiteral("aDMIN") << QString();
    QTest::newRow("quotes stored")
        << QStringLiteral("insert into users values ('O''Neil', 'it''s')")
        << QStringLiteral("O'Neil") << QStringLiteral("it's");
    QTest::newRow("blanks stored")
        << QStringLiteral("insert into users values (' 王 老师 ', ' 密 码 ')")
        << QStringLiteral(" 王 老师 ") << QStringLiteral(" 密 码 ");
    QTest::newRow("outside GBK") << QStringLiteral("insert into users values ('José 😀', 'ŝ€😀')")
                                 << QStringLiteral("José 😀") << QStringLiteral("ŝ€😀");
}

void TestLogin::accepted() {
    QFETCH(QString, setup);
    QFETCH(QString, account);
    QFETCH(QString, password);
    AppFolder folder;
    if (!setup.isEmpty())
        folder.sql(setup);
    Login login;
    login.type(account, password);
    login.pressEnter();

    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QCOMPARE(login.form.SignedInAccount(), account);
    QVERIFY(login.form.isVisible());
    QVERIFY(login.dialog.isHidden());
    QVERIFY(!login.dialog.OKBtn->isEnabled());
    QVERIFY(!login.dialog.Database.isOpen());
    QVERIFY(login.form.Conn.isOpen());
    QCOMPARE(login.form.Conn.dataSource(), TMainForm::PaperBankPath());
    QVERIFY(login.form.TPaper.isOpen());
    QVERIFY(login.form.TQuestion.isOpen());
    QVERIFY(login.form.TChoice.isOpen());
    QVERIFY(login.form.MessageArea->toPlainText().isEmpty());
}

void TestLogin::refusedThenAccepted_data() {
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong password") << QStringLiteral("Admin") << QStringLiteral("x");
    QTest::newRow("blank after account") << QStringLiteral("Admin ") << QString();
    QTest::newRow("blank as password") << QStringLiteral("Admin") << QStringLiteral(" ");
    QTest::newRow("empty account") << QString() << QString();
    QTest::newRow("quote trick") << QStringLiteral("Admin") << QStringLiteral("' or '1'='1");
}

// A refused pair leaves the dialog waiting with the fields as typed; nothing
// of the attempt stays open, and the next attempt works.
void TestLogin::refusedThenAccepted() {
    QFETCH(QString, account);
    QFETCH(QString, password);
    AppFolder folder;
    Login login;
    login.type(account, password);
    QTest::mouseClick(login.dialog.OKBtn, Qt::LeftButton);

    QCOMPARE(Prompts::instance().shownTexts(), QStringList{kRefused});
    QVERIFY(login.waiting());
    QCOMPARE(login.dialog.EditAcount->text(), account);
    QCOMPARE(login.dialog.EditPassword->text(), password);
    QVERIFY(!login.form.Conn.isOpen());

    login.type(QStringLiteral("Admin"), QString());
    QTest::mouseClick(login.dialog.OKBtn, Qt::LeftButton);
    QCOMPARE(Prompts::instance().shownTexts().size(), 1);
    QVERIFY(login.form.isVisible());
    QVERIFY(login.dialog.isHidden());
}

void TestLogin::engineFailure_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing bank") << QStringLiteral("missing");
    QTest::newRow("not a paper bank") << QStringLiteral("garbage");
    QTest::newRow("database without the tables") << QStringLiteral("foreign");
    QTest::newRow("read-only bank") << QStringLiteral("readonly");
    QTest::newRow("bank held by another program") << QStringLiteral("locked");
}

// The engine's failure shows the second message carrying the engine's text;
// the dialog stays usable and a missing bank is never created.
void TestLogin::engineFailure() {
    QFETCH(QString, kind);
    AppFolder folder(kind != QStringLiteral("missing") && kind != QStringLiteral("garbage") &&
                     kind != QStringLiteral("foreign"));
    const QString bank = TMainForm::PaperBankPath();
    sqlite3* holder = nullptr;
    std::optional<Immutable> readOnly;
    if (kind == QStringLiteral("garbage")) {
        QFile file(bank);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    } else if (kind == QStringLiteral("foreign")) {
        QCOMPARE(sqlite3_open(bank.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "create table t(a)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(holder);
        holder = nullptr;
    } else if (kind == QStringLiteral("readonly")) {
        readOnly.emplace(bank);
        if (!readOnly->isSet())
            QSKIP("the immutable attribute cannot be set here");
    } else if (kind == QStringLiteral("locked")) {
        QCOMPARE(sqlite3_open(bank.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    }

    Login login;
    login.dialog.Database.setBusyTimeout(50);
    login.type(QStringLiteral("Admin"), QStringLiteral("pw"));
    login.pressEnter();
    if (holder)
        sqlite3_close(holder);

    const QStringList shown = Prompts::instance().shownTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(QStringLiteral("出错信息:")), qPrintable(shown.first()));
    QVERIFY(shown.first().endsWith(kFailedTail));
    QVERIFY2(shown.first().size() > QStringLiteral("出错信息:").size() + kFailedTail.size(),
             "no engine text");
    QVERIFY(login.waiting());
    QCOMPARE(login.dialog.EditPassword->text(), QStringLiteral("pw"));
    if (kind == QStringLiteral("missing"))
        QVERIFY(!QFile::exists(bank));
}

// Accepted, but opening the bank for the main window fails: the error handler
// writes the line, the main window stays hidden and only Cancel is left.
void TestLogin::failureWhileOpeningBank() {
    AppFolder folder;
    Login login;
    login.form.TPaper.setFilter(QStringLiteral("NoSuchColumn = 1"));
    login.pressEnter();

    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QVERIFY(login.form.MessageArea->toPlainText().startsWith(QStringLiteral("程序运行错误:")));
    QVERIFY(login.form.isHidden());
    QVERIFY(login.dialog.isVisible());
    QVERIFY(!login.dialog.OKBtn->isEnabled());
    QVERIFY(login.dialog.CancelBtn->isEnabled());
    QCOMPARE(login.form.SignedInAccount(), QStringLiteral("Admin"));
}

void TestLogin::closing_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Esc in the account") << 1;
    QTest::newRow("close box") << 2;
}

// Every way of closing rejects the dialog, which start-up turns into the end.
void TestLogin::closing() {
    QFETCH(int, how);
    AppFolder folder;
    Login login;
    QSignalSpy rejected(&login.dialog, &QDialog::rejected);
    if (how == 0)
        QTest::mouseClick(login.dialog.CancelBtn, Qt::LeftButton);
    else if (how == 1)
        QTest::keyClick(login.dialog.EditAcount, Qt::Key_Escape);
    else
        login.dialog.close();
    QCOMPARE(rejected.size(), 1);
    QVERIFY(login.dialog.isHidden());
    QVERIFY(login.form.isHidden());
    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QVERIFY(!login.form.Conn.isOpen());
}

// The banner's icon opens the About box before anybody has logged in.
void TestLogin::aboutFromIcon() {
    AppFolder folder;
    Login login;
    QString title;
    QWidget* owner = nullptr;
    onNextModal<TAboutDlg>([&](TAboutDlg* about) {
        title = about->windowTitle();
        owner = about->parentWidget();
        QTest::mouseClick(about->OKButton, Qt::LeftButton);
    });
    QTest::mouseClick(login.dialog.Panel1->icon(), Qt::LeftButton);
    QCOMPARE(title, QStringLiteral("关于Tessaloom"));
    QCOMPARE(owner, &login.dialog);
    QVERIFY(login.dialog.findChildren<TAboutDlg*>().isEmpty()); // discarded
    QVERIFY(login.waiting());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
