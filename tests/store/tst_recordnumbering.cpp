// Record numbering and the orphan trim on a fresh bank made from the real schema.
#include "bankhelpers.h"
#include "store/connection.h"
#include "store/query.h"
#include "store/recordnumbering.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QTemporaryDir>
#include <QTest>
#include <climits>

using tess::NextIds;

namespace {

QStringList lines(std::initializer_list<const char*> statements) {
    QStringList out;
    for (const char* statement : statements)
        out << QString::fromUtf8(statement);
    return out;
}

} // namespace

class TestRecordNumbering : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void emptyBankGivesOne();
    void nextValues_data();
    void nextValues();
    void identifiersTakenBeforeTheTrim();
    void trimRemovesOrphansInTwoRuns();
    void statementsAsSent();

private:
    void sql(const QString& statement) { m_conn->execute(statement); }
    int count(const QString& tableAndWhere) { return banktest::count(*m_conn, tableAndWhere); }
    NextIds run(int curPapId, int curQstId) {
        return tess::refreshNextIds(*m_maxId, *m_trim, curPapId, curQstId);
    }

    QTemporaryDir* m_dir = nullptr;
    tess::Connection* m_conn = nullptr;
    tess::Query* m_maxId = nullptr;
    tess::Command* m_trim = nullptr;
};

void TestRecordNumbering::init() {
    m_dir = new QTemporaryDir;
    const QString path = m_dir->filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(path);
    m_conn = new tess::Connection;
    banktest::openConnection(*m_conn, path);
    m_maxId = new tess::Query(*m_conn);
    m_trim = new tess::Command(*m_conn);
}

void TestRecordNumbering::cleanup() {
    delete m_trim;
    delete m_maxId;
    delete m_conn;
    delete m_dir;
}

void TestRecordNumbering::emptyBankGivesOne() {
    const NextIds next = run(-1, -1);
    QCOMPARE(next.papId, 1);
    QCOMPARE(next.qstId, 1);
    QCOMPARE(next.chcId, 1);
    QCOMPARE(next.qstIdx, 1);
    QCOMPARE(next.chcIdx, 1);
    QVERIFY(!m_maxId->isOpen());
}

// setup: statements run on the bank; then the next values for paper 5 and question 50.
void TestRecordNumbering::nextValues_data() {
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<int>("curPapId");
    QTest::addColumn<int>("curQstId");
    QTest::addColumn<QList<int>>("expected"); // papId, qstId, chcId, qstIdx, chcIdx

    const char* papers = "insert into paper (PapID) values (1), (2), (5), (6)";
    QTest::newRow("question numbers 1, 2, 7 give 8; other papers do not count")
        << lines({papers, "insert into question (QstID, PapIdx, QstIdx) values "
                          "(10, 5, 1), (11, 5, 2), (12, 5, 7), (13, 6, 40)"})
        << 5 << 50 << QList<int>{7, 14, 1, 8, 1};
    QTest::newRow("after number 7 is deleted the next is 3")
        << lines({papers,
                  "insert into question (QstID, PapIdx, QstIdx) values "
                  "(10, 5, 1), (11, 5, 2), (12, 5, 7)",
                  "delete from question where QstIdx = 7"})
        << 5 << 50 << QList<int>{7, 12, 1, 3, 1};
    QTest::newRow("choice numbers count within the owner's identifier")
        << lines({papers,
                  "insert into question (QstID, PapIdx, QstIdx) values (50, 5, 3), (3, 5, 1)",
                  "insert into choice (ChcID, QstIdx, ChcIdx) values "
                  "(1, 50, 1), (2, 50, 4), (9, 3, 20)"})
        << 5 << 50 << QList<int>{7, 51, 10, 4, 5};
    QTest::newRow("no question current yet: choice number 1")
        << lines({papers, "insert into question (QstID, PapIdx, QstIdx) values (50, 5, 1)",
                  "insert into choice (ChcID, QstIdx, ChcIdx) values (4, 50, 6)"})
        << 5 << -1 << QList<int>{7, 51, 5, 2, 1};
    QTest::newRow("deleting the top paper gives its identifier again")
        << lines({"insert into paper (PapID) values (1), (2), (3)",
                  "delete from paper where PapID = 3"})
        << -1 << -1 << QList<int>{3, 1, 1, 1, 1};
    QTest::newRow("1, 2 and 5 without 5 give 3")
        << lines({"insert into paper (PapID) values (1), (2), (5)",
                  "delete from paper where PapID = 5"})
        << -1 << -1 << QList<int>{3, 1, 1, 1, 1};
    // A number at the top of 32 bits is given again rather than wrapping round.
    QTest::newRow("largest number stays")
        << lines({"insert into paper (PapID) values (2147483647)",
                  "insert into question (QstID, PapIdx, QstIdx) values (1, 2147483647, "
                  "2147483647)"})
        << INT_MAX << 1 << QList<int>{INT_MAX, 2, 1, INT_MAX, 1};
}

void TestRecordNumbering::nextValues() {
    QFETCH(QStringList, setup);
    QFETCH(int, curPapId);
    QFETCH(int, curQstId);
    QFETCH(QList<int>, expected);
    banktest::executeInOneTransaction(*m_conn, setup);
    const NextIds next = run(curPapId, curQstId);
    QCOMPARE((QList<int>{next.papId, next.qstId, next.chcId, next.qstIdx, next.chcIdx}), expected);
}

void TestRecordNumbering::identifiersTakenBeforeTheTrim() {
    // The orphans hold the largest identifiers; they still count this run.
    sql(QStringLiteral("insert into paper (PapID) values (1)"));
    sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx) values (1, 1, 1), (9, 4, 1)"));
    sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx) values (1, 1, 1), (7, 8, 1)"));
    NextIds next = run(1, 1);
    QCOMPARE(next.qstId, 10);
    QCOMPARE(next.chcId, 8);
    next = run(1, 1);
    QCOMPARE(next.qstId, 2);
    QCOMPARE(next.chcId, 2);
}

void TestRecordNumbering::trimRemovesOrphansInTwoRuns() {
    sql(QStringLiteral("insert into paper (PapID) values (1)"));
    // Question 10 is owned; question 20's paper 9 is gone; question 99 does not exist.
    sql(QStringLiteral(
        "insert into question (QstID, PapIdx, QstIdx) values (10, 1, 1), (20, 9, 1)"));
    sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx) values (100, 10, 1), (200, 20, "
                       "1), (300, 99, 1)"));

    run(1, 10);
    // The choices go first, so choice 200 outlives its question by one run.
    QCOMPARE(count(QStringLiteral("question")), 1);
    QCOMPARE(count(QStringLiteral("choice where ChcID in (100, 200)")), 2);
    QCOMPARE(count(QStringLiteral("choice")), 2);

    run(1, 10);
    QCOMPARE(count(QStringLiteral("question where QstID = 10")), 1);
    QCOMPARE(count(QStringLiteral("choice")), 1);
    QCOMPARE(count(QStringLiteral("choice where ChcID = 100")), 1);
    QCOMPARE(count(QStringLiteral("paper")), 1);
}

void TestRecordNumbering::statementsAsSent() {
    // A bank whose state is not known is trimmed by the statements as they are.
    sql(QStringLiteral("insert into orphan_owner (kind, id) values ('all', 0)"));
    const qint64 trips = tess::serverRoundTrips();
    const NextIds next = tess::readNextIds(*m_maxId, 12, -1);
    if (banktest::onServer()) {
        // Over a network every request costs a round trip: one for all of it.
        QCOMPARE(tess::serverRoundTrips() - trips, 1);
    } else {
        // The last max statement stays as it was sent.
        QCOMPARE(m_maxId->sql(),
                 QStringLiteral("select max(qstidx) as maxID from question\r\nwhere papidx = 12"));
    }
    QCOMPARE(next.trim.scope, tess::TrimScope::Whole);
    const qint64 before = tess::serverRoundTrips();
    tess::trimOrphans(*m_trim, next.trim.scope);
    if (banktest::onServer()) {
        // Its transaction's start with the lock, the trim, the commit.
        QCOMPARE(tess::serverRoundTrips() - before, 3);
    } else {
        // The last trim statement stays as it was sent.
        QCOMPARE(m_trim->text(), QStringLiteral("delete from question where (select count(*) "
                                                "from paper where papid = question.papidx)=0"));
    }
    QCOMPARE(count(QStringLiteral("orphan_owner")), 0);
}

QTEST_GUILESS_MAIN(TestRecordNumbering)
#include "tst_recordnumbering.moc"
