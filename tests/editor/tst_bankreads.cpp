// How often the main window reads the paper list and a paper's questions: once
// at sign-in, once per selection, and not at all for a paper added or deleted
// by the window itself, while another program's change is still read.
#include "app/tmainform.h"
#include "editorfixture.h"
#include "frame/prompts.h"

#include <QAction>
#include <QTest>
#include <sqlite3.h>

namespace {

// Every statement any connection of this process runs, by its text.
QStringList g_statements;

int traceStatement(unsigned, void*, void* stmt, void*) {
    g_statements << QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(stmt)));
    return 0;
}

int traceConnection(sqlite3* db, const char**, const struct sqlite3_api_routines*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, traceStatement, nullptr);
    return SQLITE_OK;
}

// Reads of a table's rows by a cursor ("select rowid, ... from "paper" ..."),
// those whose text contains `where` when given.
int cursorReads(const QString& table, const QString& where = QString()) {
    int reads = 0;
    const QString from = QStringLiteral(" from \"%1\"").arg(table);
    for (const QString& sql : std::as_const(g_statements))
        if (sql.startsWith(QStringLiteral("select rowid, ")) && sql.contains(from) &&
            (where.isEmpty() || sql.contains(where)))
            ++reads;
    return reads;
}

} // namespace

class TestBankReads : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(traceConnection)); }
    void cleanupTestCase() { sqlite3_reset_auto_extension(); }
    void init();
    void signInReadsTheListOnce();
    void selectionReadsQuestionsOnce();
    void ownNewAndDeletedPaperReadNoList();
    void anotherProgramsPaperIsRead();
    void newPaperAfterTheLastDeleted();
    void listFindsPapersByIdentifier_data();
    void listFindsPapersByIdentifier();

private:
    // Three papers; paper 2 has two questions.
    void fill(EditorBank& bank) {
        auto setup = bank.setupRows();
        bank.paper(1, QStringLiteral("甲"));
        bank.paper(2, QStringLiteral("乙"));
        bank.paper(3, QStringLiteral("丙"));
        bank.question(1, 2, 1);
        bank.question(2, 2, 2);
        setup.commit();
    }
};

void TestBankReads::init() {
    tess::Prompts::instance().clear();
    g_statements.clear();
}

void TestBankReads::signInReadsTheListOnce() {
    EditorBank bank;
    fill(bank);
    g_statements.clear();
    TMainForm form;
    openBank(form);
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3}));
    QCOMPARE(cursorReads(QStringLiteral("paper")), 1);
    // The first paper's questions once; before it, the starting filter.
    QCOMPARE(cursorReads(QStringLiteral("question"), QStringLiteral("where \"PapIdx\"")), 1);
    QCOMPARE(cursorReads(QStringLiteral("question")), 2);
}

void TestBankReads::selectionReadsQuestionsOnce() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    for (int row : {1, 2, 0}) {
        g_statements.clear();
        clickRow(form, row);
        QCOMPARE(form.bank().CurPapID, row + 1);
        QCOMPARE(cursorReads(QStringLiteral("question")), 1);
        QCOMPARE(cursorReads(QStringLiteral("paper")), 0);
    }
    QCOMPARE(form.bank().TQuestion.recordCount(), 0);
    clickRow(form, 1);
    QCOMPARE(form.bank().TQuestion.recordCount(), 2);
}

// Ctrl+D and Ctrl+G on the list: the list changes by one entry, the paper
// table is not read again, and the selected paper's questions are read once.
void TestBankReads::ownNewAndDeletedPaperReadNoList() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    clickRow(form, 1);
    form.navigator().ListView->setFocus();

    g_statements.clear();
    QTest::keyClick(form.navigator().ListView, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3, 4}));
    QCOMPARE(selectedRow(form), 3);
    QCOMPARE(form.bank().CurPapID, 4);
    QCOMPARE(form.bank().TPaper.asInteger(QStringLiteral("PapID")), 4);
    QCOMPARE(cursorReads(QStringLiteral("paper")), 0);
    QCOMPARE(cursorReads(QStringLiteral("question")), 1);
    QCOMPARE(bank.count(QStringLiteral("paper")), 4);

    clickRow(form, 1);
    g_statements.clear();
    tess::Prompts::instance().queueYesNo(true);
    QTest::keyClick(form.navigator().ListView, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(listIds(form), (QList<int>{1, 3, 4}));
    QCOMPARE(selectedRow(form), 2);
    QCOMPARE(form.bank().CurPapID, 4);
    QCOMPARE(form.bank().TPaper.asInteger(QStringLiteral("PapID")), 4);
    QCOMPARE(form.navigator().PaperListModel->rowOf(3), 1);
    QCOMPARE(cursorReads(QStringLiteral("paper")), 0);
    QCOMPARE(cursorReads(QStringLiteral("question")), 1);
    QCOMPARE(bank.count(QStringLiteral("paper")), 3);

    // The last entries, down to an empty list.
    for (int left : {2, 1, 0}) {
        tess::Prompts::instance().queueYesNo(true);
        QTest::keyClick(form.navigator().ListView, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(form.navigator().PaperListModel->rowCount(), left);
        QCOMPARE(selectedRow(form), left - 1);
    }
    QVERIFY(!form.OnDelPaper->isEnabled());
    QVERIFY(!form.OnAddQustion->isEnabled());
    QCOMPARE(bank.count(QStringLiteral("paper")), 0);
}

// A paper another program added is in the list after the next command, which
// reads the list again.
void TestBankReads::anotherProgramsPaperIsRead() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    bank.paper(7, QStringLiteral("另一个程序的"));
    form.navigator().ListView->setFocus();
    g_statements.clear();
    QTest::keyClick(form.navigator().ListView, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3, 7, 8}));
    QCOMPARE(form.bank().CurPapID, 8);
    QVERIFY(cursorReads(QStringLiteral("paper")) >= 1);
}

// The only paper deleted, a new one takes its identifier: the question grid
// shows none of the deleted paper's questions, which the trim removed.
void TestBankReads::newPaperAfterTheLastDeleted() {
    EditorBank bank;
    {
        auto setup = bank.setupRows();
        bank.paper(1, QStringLiteral("甲"));
        bank.question(10, 1, 1);
        bank.question(11, 1, 2);
        setup.commit();
    }
    TMainForm form;
    openBank(form);
    QCOMPARE(form.bank().TQuestion.recordCount(), 2);
    form.navigator().ListView->setFocus();
    tess::Prompts::instance().queueYesNo(true);
    QTest::keyClick(form.navigator().ListView, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(form.navigator().PaperListModel->rowCount(), 0);
    QTest::keyClick(form.navigator().ListView, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(listIds(form), QList<int>{1});
    QCOMPARE(form.bank().CurPapID, 1);
    QCOMPARE(bank.count(QStringLiteral("question")), 0);
    QCOMPARE(form.bank().TQuestion.recordCount(), 0);
}

void TestBankReads::listFindsPapersByIdentifier_data() {
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("in order") << QList<int>{1, 2, 5, 9};
    QTest::newRow("out of order") << QList<int>{5, 1, 9, 2};
    QTest::newRow("the same identifier twice") << QList<int>{1, 2, 2, 9};
    QTest::newRow("empty") << QList<int>{};
}

// The list finds an entry by its paper's identifier, the first where several
// carry it, before and after entries are added and removed.
void TestBankReads::listFindsPapersByIdentifier() {
    QFETCH(QList<int>, ids);
    tess::PaperListModel model;
    QVector<tess::PaperEntry> entries;
    for (int id : ids)
        entries.push_back({QString::number(id), id});
    model.setEntries(entries);
    auto check = [&] {
        for (int id : {0, 1, 2, 3, 5, 9, 10, 11}) {
            const int expected = int(ids.indexOf(id));
            QCOMPARE(model.rowOf(id), expected);
        }
    };
    check();
    model.appendEntry({QStringLiteral("10"), 10});
    ids << 10;
    check();
    model.appendEntry({QStringLiteral("3"), 3});
    ids << 3;
    check();
    for (int row : {1, 0}) {
        if (row >= ids.size())
            continue;
        model.removeEntry(row);
        ids.removeAt(row);
        check();
    }
    QCOMPARE(model.rowCount(), int(ids.size()));
}

QTEST_MAIN(TestBankReads)
#include "tst_bankreads.moc"
