#include "accounts/tformnewuser.h"
#include "accounts/tformusers.h"
#include "app/appfixture.h"
#include "app/tpassworddlg.h"
#include "bank/passwordhash.h"
#include "store/query.h"
#include "typing.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <memory>

using tess::Prompts;

namespace {

const QString kDuplicate = QStringLiteral("已经有同名的帐号");

// A program folder with a fresh bank (Admin, empty password), and the program
// as a user starts it: the login dialog, then the main window.
struct Program : AppFolder {
    std::unique_ptr<TMainForm> form;

    // Set-up only: accounts as (name, password) pairs, in one statement.
    void users(const QList<QPair<QString, QString>>& accounts) const {
        QStringList rows;
        for (const auto& [name, password] : accounts)
            rows << QLatin1Char('(') + tess::sqlText(name) + QStringLiteral(", ") +
                        tess::sqlText(password) + QLatin1Char(')');
        sql(QStringLiteral("insert into users (acount, password) values ") +
            rows.join(QStringLiteral(", ")));
    }
    // Every account as "name|password" in the order stored ("name|<null>" for
    // no password). A password kept as a hash (a shared bank keeps no
    // passwords) shows as the one expected at its place when it was made from
    // it, else as "<hash>".
    QStringList accounts(const QStringList& expected = {}) const {
        banktest::BankConnection conn(tess::ProgramFiles::PaperBankPath());
        tess::Query q(conn);
        q.setSql(QStringLiteral("select acount, password, password is null as nopw from users "
                                "order by rowid"));
        q.open();
        QStringList out;
        for (q.first(); !q.eof(); q.next()) {
            QString password = q.asInteger(QStringLiteral("nopw"))
                                   ? QStringLiteral("<null>")
                                   : q.asString(QStringLiteral("password"));
            if (tess::isPasswordHash(password)) {
                const QString wanted = expected.value(out.size()).section(QLatin1Char('|'), 1);
                password =
                    tess::passwordMatches(wanted, password) ? wanted : QStringLiteral("<hash>");
            }
            out << q.asString(QStringLiteral("acount")) + QLatin1Char('|') + password;
        }
        return out;
    }

    // Starts the program anew and signs in through the real login dialog;
    // true when the main window shows.
    bool signIn(const QString& account, const QString& password) {
        form.reset();
        form = std::make_unique<TMainForm>();
        TPasswordDlg login;
        login.SetMainForm(form.get());
        login.show();
        if (!QTest::qWaitForWindowExposed(&login))
            return false;
        login.EditAcount->setText(account);
        login.EditPassword->setText(password);
        QTest::keyClick(login.EditPassword, Qt::Key_Return);
        return form->isVisible() && QTest::qWaitForWindowExposed(form.get());
    }

    // A key pressed in the main window's paper list.
    void key(Qt::Key key) const {
        form->navigator().ListView->setFocus();
        QTest::keyClick(form->navigator().ListView, key);
    }
    QString messages() const { return messageArea(*form)->toPlainText(); }
};

QStringList listed(const TFormUsers* d) {
    QStringList out;
    const QAbstractItemModel* m = d->DBGrid1->model();
    for (int row = 0; row < m->rowCount(); ++row)
        out << m->index(row, 0).data().toString();
    return out;
}

QString selected(const TFormUsers* d) {
    const QModelIndexList rows = d->DBGrid1->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().data().toString() : QStringLiteral("<none>");
}

void clickRow(TFormUsers* d, int row) {
    const QRect rect = d->DBGrid1->visualRect(d->DBGrid1->model()->index(row, 0));
    QTest::mouseClick(d->DBGrid1->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

void grab(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("TESS_GRAB_DIR");
    if (!dir.isEmpty())
        window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Dialogs are centred on their owner (to the pixel: halves are rounded).
bool centredOn(const QWidget* dialog, const QWidget* owner) {
    return (dialog->frameGeometry().center() - owner->frameGeometry().center()).manhattanLength() <=
           2;
}

// Types into the account dialog and closes it by Enter (OK) or Esc.
void fillAccountDialog(TFormNewUser* d, const QString& name, const QString& password, bool confirm,
                       const QString& picture = QString()) {
    if (d->EditName->isEnabled())
        typing::replaceText(d->EditName, name);
    typing::replaceText(d->EditPassword, password);
    typing::replaceText(d->EditPassword2, password);
    QCOMPARE(d->EditName->text(), name);
    QCOMPARE(d->EditPassword2->text(), password);
    if (!picture.isEmpty())
        grab(d, picture);
    QTest::keyClick(d->EditPassword2, confirm ? Qt::Key_Return : Qt::Key_Escape);
}

// Whether action opened any modal window (it is closed again at once).
bool opensModal(const std::function<void()>& action) {
    bool opened = false;
    QTimer::singleShot(0, qApp, [&opened] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = true;
            modal->reject();
        }
    });
    action();
    QCoreApplication::processEvents();
    return opened;
}

} // namespace

class TestAccounts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void userManagementDialog();
    void newAccount_data();
    void newAccount();
    void deleteAccounts();
    void deleteRefusedByTheBank();
    void changeOwnPassword_data();
    void changeOwnPassword();
    void managementUnavailable_data();
    void managementUnavailable();
};

void TestAccounts::initTestCase() {
    // Pictures for looking at the dialogs use the face a teacher's screen shows.
    if (!qEnvironmentVariableIsEmpty("TESS_GRAB_DIR"))
        QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
}

// F4 as Admin: the dialog lists every account but Admin, read-only, and is
// discarded with its cursor when closed by Esc.
void TestAccounts::userManagementDialog() {
    Program p;
    p.users({{QStringLiteral("wang"), QStringLiteral("1")},
             {QStringLiteral("O'Neil"), QStringLiteral("2")},
             {QStringLiteral("李老师"), QStringLiteral("3")}});
    QVERIFY(p.signIn(QStringLiteral("Admin"), QString()));
    const QStringList before = p.accounts();

    bool checked = false;
    onNextModal<TFormUsers>([&](TFormUsers* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("用户管理"));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QVERIFY(centredOn(d, p.form.get()));
        QCOMPARE(d->PageControl1->count(), 1);
        QCOMPARE(d->PageControl1->tabText(0), QStringLiteral("所有用户"));
        QCOMPARE(d->Button3->text(), QStringLiteral("新建用户"));
        QCOMPARE(d->Button4->text(), QStringLiteral("删除此用户"));
        QCOMPARE(d->BtnClose->text(), QStringLiteral("关闭"));
        // The page's buttons under the list; 关闭 at the bottom right.
        const QRect list = d->DBGrid1->geometry();
        QVERIFY(d->Button3->geometry().top() > list.bottom());
        QVERIFY(d->Button4->geometry().left() > d->Button3->geometry().right());
        const QRect close = d->BtnClose->geometry();
        QVERIFY(close.top() > d->PageControl1->geometry().bottom());
        QVERIFY(d->width() - close.right() < 20);
        for (QPushButton* b : {d->Button3, d->Button4, d->BtnClose})
            QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));

        const QAbstractItemModel* m = d->DBGrid1->model();
        QCOMPARE(m->columnCount(), 1);
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("用户名"));
        QCOMPARE(d->DBGrid1->columnWidth(0), 385);
        QCOMPARE(listed(d), (QStringList{QStringLiteral("wang"), QStringLiteral("O'Neil"),
                                         QStringLiteral("李老师")}));
        QCOMPARE(selected(d), QStringLiteral("wang"));
        QCOMPARE(d->DBGrid1->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(d->DBGrid1->selectionMode(), QAbstractItemView::SingleSelection);
        // Selection stays as visible without the focus.
        const QPalette pal = d->DBGrid1->palette();
        QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight),
                 pal.color(QPalette::Active, QPalette::Highlight));
        for (const QWidget* w : d->findChildren<QWidget*>()) {
            if (w->isVisible() && w->focusPolicy() != Qt::NoFocus)
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }

        // Read-only: a double click, typing and F2 open no editor.
        clickRow(d, 1);
        QCOMPARE(selected(d), QStringLiteral("O'Neil"));
        QCOMPARE(d->UserTable.asString(QStringLiteral("acount")), QStringLiteral("O'Neil"));
        const QRect second = d->DBGrid1->visualRect(m->index(1, 0));
        QTest::mouseDClick(d->DBGrid1->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
        QTest::keyClicks(d->DBGrid1, QStringLiteral("x"));
        QTest::keyClick(d->DBGrid1, Qt::Key_F2);
        for (const QWidget* editor : d->DBGrid1->viewport()->findChildren<QWidget*>())
            QVERIFY(!editor->isVisible());
        QVERIFY(!d->UserTable.isEditing());
        QTest::keyClick(d->DBGrid1, Qt::Key_Down);
        QCOMPARE(selected(d), QStringLiteral("李老师"));
        QCOMPARE(d->UserTable.asString(QStringLiteral("acount")), QStringLiteral("李老师"));

        d->Button4->setFocus(); // the selection shown is still the cursor's record
        QCOMPARE(selected(d), QStringLiteral("李老师"));
        grab(d, QStringLiteral("user-management"));
        checked = true;
        QTest::keyClick(d->DBGrid1, Qt::Key_Escape);
        QVERIFY(d->isHidden());
    });
    p.key(Qt::Key_F4);
    QVERIFY(checked);
    QVERIFY(p.form->findChildren<TFormUsers*>().isEmpty());
    QCOMPARE(p.accounts(), before);
    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages()));

    // The menu entry opens it too, and 关闭 closes it.
    checked = false;
    onNextModal<TFormUsers>([&](TFormUsers* d) {
        checked = listed(d).size() == 3;
        QTest::mouseClick(d->BtnClose, Qt::LeftButton);
        QVERIFY(d->isHidden());
    });
    p.form->MenuTools->popup(p.form->mapToGlobal(QPoint(10, 10)));
    QVERIFY(p.form->OnManageUsers->isEnabled());
    p.form->MenuTools->hide();
    p.form->OnManageUsers->trigger();
    QVERIFY(checked);
}

void TestAccounts::newAccount_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("confirm"); // Enter, or Esc
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("box");       // information box text, part of it
    QTest::addColumn<QString>("errorLine"); // message area, part of it

    auto row = [](const char* tag, const QString& name, const QString& password, bool stored) {
        QTest::newRow(tag) << name << password << true << stored << QString() << QString();
    };
    row("teacher", QStringLiteral("王老师"), QStringLiteral("密码1"), true);
    row("quotes", QStringLiteral("O'Neil"), QStringLiteral("it's"), true);
    row("blanks kept", QStringLiteral(" 李 老师 "), QStringLiteral(" p w "), true);
    row("quote trick", QStringLiteral("' or '1'='1"), QStringLiteral("' or '1'='1"), true);
    row("outside GBK", QStringLiteral("José 😀"), QStringLiteral("ŝ€😀"), true);
    row("empty password", QStringLiteral("张三"), QString(), true);
    row("empty name", QString(), QStringLiteral("x"), false);
    QTest::newRow("cancelled") << QStringLiteral("赵") << QStringLiteral("x") << false << false
                               << QString() << QString();
    QTest::newRow("Admin") << QStringLiteral("Admin") << QStringLiteral("x") << true << false
                           << QStringLiteral("不能再新建") << QString();
    QTest::newRow("admin, refused by the bank") << QStringLiteral("admin") << QStringLiteral("x")
                                                << true << false << QString() << kDuplicate;
    QTest::newRow("existing name, other case") << QStringLiteral("WANG") << QStringLiteral("x")
                                               << true << false << QString() << kDuplicate;
}

// 新建用户 stores the name and password exactly as typed, shows and selects
// the account at once, and the account can sign in; what is not stored leaves
// no trace, and after a refusal the next account still goes in.
void TestAccounts::newAccount() {
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, confirm);
    QFETCH(bool, stored);
    QFETCH(QString, box);
    QFETCH(QString, errorLine);

    Program p;
    p.users({{QStringLiteral("wang"), QStringLiteral("1")}});
    QVERIFY(p.signIn(QStringLiteral("Admin"), QString()));
    const QStringList before = p.accounts();

    QStringList shownAfter;
    QString selectedAfter;
    bool editingAfter = true;
    onNextModal<TFormUsers>([&](TFormUsers* d) {
        onNextModal<TFormNewUser>([&](TFormNewUser* a) {
            QCOMPARE(a->parentWidget(), d);
            QVERIFY(centredOn(a, d));
            QVERIFY(a->EditName->isEnabled());
            fillAccountDialog(a, name, password, confirm,
                              QTest::currentDataTag() == QByteArray("teacher")
                                  ? QStringLiteral("new-account")
                                  : QString());
        });
        QTest::mouseClick(d->Button3, Qt::LeftButton);
        shownAfter = listed(d);
        selectedAfter = selected(d);
        editingAfter = d->UserTable.isEditing();
        if (!stored) { // the list and its cursor still take a new account
            onNextModal<TFormNewUser>([](TFormNewUser* a) {
                fillAccountDialog(a, QStringLiteral("next"), QStringLiteral("n"), true);
            });
            QTest::mouseClick(d->Button3, Qt::LeftButton);
        }
        QTest::keyClick(d->DBGrid1, Qt::Key_Escape);
    });
    p.key(Qt::Key_F4);

    QVERIFY(!editingAfter);
    if (stored) {
        const QStringList expected = before + QStringList{name + QLatin1Char('|') + password};
        QCOMPARE(p.accounts(expected), expected);
        QCOMPARE(shownAfter, (QStringList{QStringLiteral("wang"), name}));
        QCOMPARE(selectedAfter, name);
    } else {
        QCOMPARE(shownAfter, QStringList{QStringLiteral("wang")});
        const QStringList expected = before + QStringList{QStringLiteral("next|n")};
        QCOMPARE(p.accounts(expected), expected);
    }
    const QStringList shown = Prompts::instance().shownTexts();
    QCOMPARE(shown.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QVERIFY2(shown.first().contains(box), qPrintable(shown.first()));
    if (errorLine.isEmpty()) {
        QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages()));
    } else {
        const QStringList lines = p.messages().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().startsWith(QStringLiteral("程序运行错误:")));
        QVERIFY2(lines.first().contains(errorLine), qPrintable(lines.first()));
    }

    if (stored) {
        QVERIFY(p.signIn(name, password));
        QCOMPARE(p.form->SignedInAccount(), name);
    }
}

// 删除此用户 deletes the selected account without asking; on an empty list it
// does nothing and says nothing.
void TestAccounts::deleteAccounts() {
    Program p;
    p.users({{QStringLiteral("a"), QStringLiteral("1")},
             {QStringLiteral("b'c"), QStringLiteral("2")},
             {QStringLiteral("d"), QStringLiteral("3")}});
    QVERIFY(p.signIn(QStringLiteral("Admin"), QString()));

    QStringList afterFirst;
    QString selectedAfterFirst;
    int leftAtEnd = -1;
    onNextModal<TFormUsers>([&](TFormUsers* d) {
        clickRow(d, 1);
        QTest::mouseClick(d->Button4, Qt::LeftButton);
        afterFirst = listed(d);
        selectedAfterFirst = selected(d);
        QTest::mouseClick(d->Button4, Qt::LeftButton);
        QTest::mouseClick(d->Button4, Qt::LeftButton);
        QTest::mouseClick(d->Button4, Qt::LeftButton); // the list is empty now
        QTest::mouseClick(d->Button4, Qt::LeftButton);
        leftAtEnd = d->DBGrid1->model()->rowCount();
        QTest::mouseClick(d->BtnClose, Qt::LeftButton);
    });
    p.key(Qt::Key_F4);

    QCOMPARE(afterFirst, (QStringList{QStringLiteral("a"), QStringLiteral("d")}));
    QVERIFY(selectedAfterFirst != QStringLiteral("<none>"));
    QCOMPARE(leftAtEnd, 0);
    QCOMPARE(p.accounts(), QStringList{QStringLiteral("Admin|")});
    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages()));
}

// A deletion the bank refuses (held by another program) is reported, the
// list stays as it was, and the account goes once the bank is free.
void TestAccounts::deleteRefusedByTheBank() {
    Program p;
    p.users(
        {{QStringLiteral("a"), QStringLiteral("1")}, {QStringLiteral("b"), QStringLiteral("2")}});
    QVERIFY(p.signIn(QStringLiteral("Admin"), QString()));
    p.form->bank().Conn.setBusyTimeout(50);

    QStringList whileHeld;
    QString messagesWhileHeld;
    QStringList afterRelease;
    onNextModal<TFormUsers>([&](TFormUsers* d) {
        banktest::BankHolder holder(tess::ProgramFiles::PaperBankPath(),
                                    banktest::BankHolder::Hold::Everything);
        QTest::mouseClick(d->Button4, Qt::LeftButton);
        whileHeld = listed(d);
        messagesWhileHeld = p.messages();
        holder.release();
        QTest::mouseClick(d->Button4, Qt::LeftButton);
        afterRelease = listed(d);
        QTest::mouseClick(d->BtnClose, Qt::LeftButton);
    });
    p.key(Qt::Key_F4);

    QCOMPARE(whileHeld, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QVERIFY2(messagesWhileHeld.startsWith(QStringLiteral("程序运行错误:试题库正被另一个程序使用")),
             qPrintable(messagesWhileHeld));
    QCOMPARE(afterRelease, QStringList{QStringLiteral("b")});
    QCOMPARE(p.accounts(), (QStringList{QStringLiteral("Admin|"), QStringLiteral("b|2")}));
}

void TestAccounts::changeOwnPassword_data() {
    QTest::addColumn<QString>("account");  // as typed at sign-in
    QTest::addColumn<QString>("password"); // at sign-in
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("goneMeanwhile"); // the account deleted after the sign-in
    QTest::addColumn<QStringList>("after");

    const QStringList fixture{QStringLiteral("Admin|"), QStringLiteral("wang|1"),
                              QStringLiteral("Émile|e1"), QStringLiteral("émile|e2")};
    auto with = [&](int index, const QString& entry) {
        QStringList out = fixture;
        out[index] = entry;
        return out;
    };
    QTest::newRow("Admin, quotes and outside GBK")
        << QStringLiteral("Admin") << QString() << QStringLiteral("new'pw 😀") << true << false
        << with(0, QStringLiteral("Admin|new'pw 😀"));
    QTest::newRow("signed in in other letter case")
        << QStringLiteral("WANG") << QStringLiteral("1") << QStringLiteral("2") << true << false
        << with(1, QStringLiteral("wang|2"));
    QTest::newRow("empty password") << QStringLiteral("wang") << QStringLiteral("1") << QString()
                                    << true << false << with(1, QStringLiteral("wang|"));
    // The bank tells these two apart; the one signed in with is changed.
    QTest::newRow("look-alike listed first")
        << QStringLiteral("émile") << QStringLiteral("e2") << QStringLiteral("e3") << true << false
        << with(3, QStringLiteral("émile|e3"));
    QTest::newRow("cancelled") << QStringLiteral("wang") << QStringLiteral("1")
                               << QStringLiteral("2") << false << false << fixture;
    QTest::newRow("account gone meanwhile")
        << QStringLiteral("wang") << QStringLiteral("1") << QStringLiteral("2") << true << true
        << (QStringList{fixture[0], fixture[2], fixture[3]});
}

// F5: the signed-in name shown and disabled, no old password asked; the new
// one is stored for the account signed in with and works at the next sign-in
// through the login dialog, while the old one no longer does.
void TestAccounts::changeOwnPassword() {
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, newPassword);
    QFETCH(bool, confirm);
    QFETCH(bool, goneMeanwhile);
    QFETCH(QStringList, after);

    Program p;
    QList<QPair<QString, QString>> users{{QStringLiteral("wang"), QStringLiteral("1")},
                                         {QStringLiteral("Émile"), QStringLiteral("e1")},
                                         {QStringLiteral("émile"), QStringLiteral("e2")}};
    if (banktest::onServer()) {
        // A server bank compares names without case beyond ASCII too: the
        // two look-alikes are one name there, and only the first is stored.
        if (account == QStringLiteral("émile"))
            QSKIP("one of two look-alike names only on a server bank");
        users.removeLast();
        after.removeAll(QStringLiteral("émile|e2"));
    }
    p.users(users);
    QVERIFY(p.signIn(account, password));
    if (goneMeanwhile)
        p.sql(QStringLiteral("delete from users where acount = 'wang'"));

    bool shown = false;
    onNextModal<TFormNewUser>([&](TFormNewUser* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("用户信息"));
        QCOMPARE(d->parentWidget(), p.form.get());
        QVERIFY(centredOn(d, p.form.get()));
        QCOMPARE(d->EditName->text(), account);
        QVERIFY(!d->EditName->isEnabled());
        QCOMPARE(d->focusWidget(), d->EditPassword);
        QVERIFY(d->EditPassword->text().isEmpty() && d->EditPassword2->text().isEmpty());
        QVERIFY(p.form->bank().TableUsers.isOpen() == false);
        shown = true;
        fillAccountDialog(d, account, newPassword, confirm,
                          QTest::currentDataTag() == QByteArray("signed in in other letter case")
                              ? QStringLiteral("change-password")
                              : QString());
    });
    p.key(Qt::Key_F5);
    QVERIFY(shown);

    QCOMPARE(p.accounts(after), after);
    QVERIFY(!p.form->bank().TableUsers.isOpen());
    QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages()));
    const QStringList boxes = Prompts::instance().shownTexts();
    if (goneMeanwhile) {
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().contains(QStringLiteral("密码没有修改")), qPrintable(boxes.first()));
        return;
    }
    QVERIFY(boxes.isEmpty());
    if (!confirm)
        return;
    Prompts::instance().clear();
    QVERIFY(!p.signIn(account, password));
    QVERIFY(p.signIn(account, newPassword));
}

void TestAccounts::managementUnavailable_data() {
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::newRow("teacher") << QStringLiteral("王老师") << QStringLiteral("pw");
    QTest::newRow("Admin in other letter case") << QStringLiteral("ADMIN") << QString();
}

// Signed in under any other name, F4 does nothing and the menu entry is
// disabled when the menu opens; F5 still works.
void TestAccounts::managementUnavailable() {
    QFETCH(QString, account);
    QFETCH(QString, password);
    Program p;
    p.users({{QStringLiteral("王老师"), QStringLiteral("pw")}});
    QVERIFY(p.signIn(account, password));

    QSignalSpy ran(p.form->OnManageUsers, &QAction::triggered);
    QVERIFY(!opensModal([&] { p.key(Qt::Key_F4); }));
    QCOMPARE(ran.size(), 0);
    p.form->OnManageUsers->setEnabled(true); // a stale state is recomputed
    p.form->MenuTools->popup(p.form->mapToGlobal(QPoint(10, 10)));
    QVERIFY(!p.form->OnManageUsers->isEnabled());
    p.form->MenuTools->hide();
    QVERIFY(opensModal([&] { p.key(Qt::Key_F5); }));
    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QVERIFY2(p.messages().isEmpty(), qPrintable(p.messages()));
}

QTEST_MAIN(TestAccounts)
#include "tst_accounts.moc"
