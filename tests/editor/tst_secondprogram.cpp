// Another program on the same paper bank while the main window works on it:
// nothing may go into a paper or question other than the one shown selected.
#include "editorfixture.h"
#include "gridfixture.h"

#include <QAction>
#include <QLabel>

using gridtest::clickCell;
using tess::RecordGrid;

namespace {

enum { kQstCon = 3 };

void activate(TMainForm& form) {
    openBank(form);
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

} // namespace

class TestSecondProgram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { tess::Prompts::instance().clear(); }
    void newPaperSelectedByItsIdentifier();
    void changedUnderneath_data();
    void changedUnderneath();
    void manyPapersDeletedElsewhere();
};

void TestSecondProgram::newPaperSelectedByItsIdentifier() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    // Another paper appears right after this program's own, as when another
    // program adds one between the post and the list being read.
    const QString insertOther = QStringLiteral(
        "insert into paper (PapID, PapNam) values (new.PapID + 100, '另一个程序的试卷');");
    if (banktest::onServer()) {
        bank.sql(QStringLiteral("create function other() returns trigger language plpgsql as $$ "
                                "begin if new.PapID < 100 then %1 end if; return null; end $$")
                     .arg(insertOther));
        bank.sql(QStringLiteral("create trigger other after insert on paper for each row "
                                "execute function other()"));
    } else {
        bank.sql(QStringLiteral("create trigger other after insert on paper when new.PapID < 100 "
                                "begin %1 end")
                     .arg(insertOther));
    }
    setup.commit();
    TMainForm form;
    activate(form);
    form.navigator().ListView->setFocus();
    QTest::keyClick(form.navigator().ListView, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(listIds(form), (QList<int>{1, 2, 102}));
    QCOMPARE(selectedRow(form), 1);
    QCOMPARE(form.bank().CurPapID, 2);
    auto* grid = form.findChild<RecordGrid*>(QStringLiteral("DBGridQuestion"));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 2")), 1);
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 102")), 0);
}

void TestSecondProgram::changedUnderneath_data() {
    QTest::addColumn<QString>("other");   // what the other program does
    QTest::addColumn<QString>("command"); // then the teacher, in the grids
    QTest::addColumn<QString>("message"); // "" when the command goes ahead
    QTest::addColumn<QString>("written"); // where a new record may be, as "table where"
    QTest::addColumn<int>("records");

    const QString deleted = QStringLiteral("已经被另一个程序删除了");
    const QString changed = QStringLiteral("刚刚被另一个程序修改过");
    // The paper selected is deleted and a new one takes its identifier.
    const QString replacePaper =
        QStringLiteral("delete from paper where PapID = 2; insert into paper (PapID, PapNam) "
                       "values (2, '另一个程序的新试卷')");
    QTest::newRow("paper replaced, Ctrl+F")
        << replacePaper << "Ctrl+F" << changed << "question where PapIdx = 2" << 1;
    QTest::newRow("paper replaced, Insert in the grid")
        << replacePaper << "Insert" << changed << "question where PapIdx = 2" << 1;
    QTest::newRow("paper deleted, Ctrl+F")
        << QStringLiteral("delete from paper where PapID = 2") << "Ctrl+F" << deleted
        << "question where PapIdx = 2" << 1;
    QTest::newRow("question deleted, Ctrl+G")
        << QStringLiteral("delete from question where QstID = 20") << "Ctrl+G" << deleted
        << "choice where QstIdx = 20" << 0;
    QTest::newRow("question changed, Ctrl+G")
        << QStringLiteral("update question set QstScr = 9 where QstID = 20") << "Ctrl+G" << changed
        << "choice where QstIdx = 20" << 0;
    QTest::newRow("another paper added: goes ahead")
        << QStringLiteral("insert into paper (PapID, PapNam) values (3, '丙')") << "Ctrl+F"
        << QString() << "question where PapIdx = 2" << 2;
}

void TestSecondProgram::changedUnderneath() {
    QFETCH(QString, other);
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(QString, written);
    QFETCH(int, records);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    bank.sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr) "
                            "values (20, 2, 1, '单选题', 5)"));
    setup.commit();
    TMainForm form;
    activate(form);
    clickRow(form, 1);
    QCOMPARE(form.bank().CurQstID, 20);
    auto* grid = form.findChild<RecordGrid*>(command == QLatin1String("Ctrl+G")
                                                 ? QStringLiteral("DBGridChoice")
                                                 : QStringLiteral("DBGridQuestion"));
    auto* questions = form.findChild<RecordGrid*>(QStringLiteral("DBGridQuestion"));
    clickCell(questions, 0, kQstCon);

    bank.sql(other);
    grid->setFocus();
    if (command == QLatin1String("Insert")) {
        QTest::keyClick(grid, Qt::Key_Insert);
        messageArea(form)->setFocus(); // a row started would be posted now
    } else {
        QTest::keyClick(grid, command == QLatin1String("Ctrl+G") ? Qt::Key_G : Qt::Key_F,
                        Qt::ControlModifier);
    }
    QCOMPARE(bank.count(written), records);
    if (message.isEmpty()) {
        QCOMPARE(messageArea(form)->toPlainText(), QString());
    } else {
        QVERIFY2(messageArea(form)->toPlainText().contains(message),
                 qPrintable(messageArea(form)->toPlainText()));
    }
    // The window shows the bank as it now is.
    QCOMPARE(listNames(form), bank.column(QStringLiteral("paper"), QStringLiteral("PapNam"),
                                          QStringLiteral("PapID")));
}

// Another program deletes more than a thousand papers with their questions:
// the next new record clears those questions under the wait cursor, saying so.
void TestSecondProgram::manyPapersDeletedElsewhere() {
    EditorBank bank;
    {
        auto setup = bank.setupRows();
        for (int id = 1; id <= 1100; ++id) {
            bank.paper(id, QStringLiteral("卷%1").arg(id));
            bank.question(id, id, 1);
        }
        setup.commit();
    }
    TMainForm form;
    activate(form);
    bank.sql(QStringLiteral("delete from paper where PapID > 50"));
    form.navigator().ListView->setFocus();
    QTest::keyClick(form.navigator().ListView, Qt::Key_D, Qt::ControlModifier);
    const QString said = messageArea(form)->toPlainText();
    QVERIFY2(said.contains(QStringLiteral("正在检查试题库")) &&
                 said.contains(QStringLiteral("试题库检查完毕")),
             qPrintable(said));
    QCOMPARE(bank.count(QStringLiteral("question")), 50);
    QCOMPARE(form.navigator().PaperListModel->rowCount(), 51);
    QCOMPARE(form.bank().CurPapID, 51);
}

QTEST_MAIN(TestSecondProgram)
#include "tst_secondprogram.moc"
