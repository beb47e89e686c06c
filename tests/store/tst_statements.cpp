// Every statement the program sends, run on a small bank with known contents.
#include "storefixture.h"

#include "store/engineerror.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tess;
using namespace storetest;
using namespace Qt::StringLiterals;

class TestStatements : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_filled; // the small bank, filled once; each test gets a copy
    QString m_bank;
    Connection m_conn;

    void fill();

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void readsOneValue_data();
    void readsOneValue();
    void rowCounts_data();
    void rowCounts();
    void deletions_data();
    void deletions();
    void orphanTrimInTwoSteps();
    void queryReadsColumnsByNameIgnoringCase();
    void queryRefusesUnknownColumnAndMissingRow();
    void queryKeepsTextsUnchanged();
};

void TestStatements::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_filled = m_dir.filePath(QStringLiteral("filled.mdb"));
    banktest::freshBank(m_filled);
    openConnection(m_conn, m_filled);
    banktest::SetupTransaction rows(m_conn);
    fill();
    rows.commit();
    m_conn.close();
}

void TestStatements::init() {
    m_bank = m_dir.filePath(QStringLiteral("bank.mdb"));
    QFile::remove(m_bank);
    banktest::copyBank(m_filled, m_bank);
    openConnection(m_conn, m_bank);
}

void TestStatements::cleanup() {
    m_conn.close();
    QFile::remove(m_bank);
}

void TestStatements::fill() {
    const QStringList paper{u"PapID"_s, u"PapNam"_s, u"PapScr"_s, u"PapSav"_s, u"PapCtg"_s};
    addRecord(m_conn, u"paper"_s, paper, {1, u"期中"_s, 100, u"/tmp/a.html"_s, u"数学"_s});
    addRecord(m_conn, u"paper"_s, paper, {2, u"O'Neil"_s, 10, u""_s, u"O'Neil"_s});
    addRecord(m_conn, u"paper"_s, paper, {3, u"空卷"_s, QVariant(), QVariant(), QVariant()});
    addRecord(m_conn, u"paper"_s, paper, {4, u"英语"_s, 20, u""_s, u"数学"_s});

    const QStringList question{u"QstID"_s,  u"PapIdx"_s, u"QstIdx"_s, u"QstTyp"_s,
                               u"QstScr"_s, u"QstCon"_s, u"IsTrue"_s};
    addRecord(m_conn, u"question"_s, question, {1, 1, 1, u"判断题"_s, 40, u"q1"_s, true});
    addRecord(m_conn, u"question"_s, question, {2, 1, 2, u"单选题"_s, 30, u"q2"_s, false});
    addRecord(m_conn, u"question"_s, question, {3, 1, 7, u"多选题"_s, QVariant(), u"q3"_s, false});
    addRecord(m_conn, u"question"_s, question, {4, 2, 1, u"单选题"_s, 10, u""_s, false});
    addRecord(m_conn, u"question"_s, question,
              {5, 9, 1, u"判断题"_s, 5, u"paper 9 is gone"_s, false});
    addRecord(m_conn, u"question"_s, question, {6, 4, 1, u"判断题"_s, 20, u"ok"_s, true});
    addRecord(m_conn, u"question"_s, question,
              {7, 4, 1, u"判断题"_s, QVariant(), u"same number"_s, true});

    const QStringList choice{u"ChcID"_s, u"QstIdx"_s, u"ChcIdx"_s, u"IsTrue"_s, u"ChcCon"_s};
    addRecord(m_conn, u"choice"_s, choice, {1, 2, 1, true, u"a"_s});
    addRecord(m_conn, u"choice"_s, choice, {2, 2, 2, true, u"b"_s});
    addRecord(m_conn, u"choice"_s, choice, {3, 3, 1, false, u"c"_s});
    addRecord(m_conn, u"choice"_s, choice, {4, 3, 2, false, QVariant()});
    addRecord(m_conn, u"choice"_s, choice, {5, 4, 1, true, u"d"_s});
    addRecord(m_conn, u"choice"_s, choice, {6, 99, 1, false, u"question 99 is gone"_s});
    addRecord(m_conn, u"choice"_s, choice, {7, 5, 1, false, u"of the orphaned question"_s});

    const QStringList users{u"acount"_s, u"password"_s};
    addRecord(m_conn, u"users"_s, users, {u"O'Neil"_s, u"p'w"_s});
    addRecord(m_conn, u"users"_s, users, {u" blank "_s, u"Secret"_s});
}

namespace {

const QString kCheck6 = QStringLiteral(
    "select count(QstID) as CntAll from question  where (question.QstTyp <> '判断题')  and "
    "(select count(chcid) from choice where choice.qstidx = Qstid) <2  and (question.papidx = ");
const QString kCheck7 = QStringLiteral(
    "select count(QstID) as CntAll from question  where (question.QstTyp = '单选题')  and "
    "(select count(chcid) from choice where(choice.qstidx = Qstid)and(choice.IsTrue = True)) >1  "
    "and (question.papidx = ");
const QString kCheck8 = QStringLiteral(
    "select count(QstID) as CntAll from question  where (question.QstTyp <> '判断题')  and "
    "(select count(chcid) from choice where(choice.qstidx = Qstid)and(choice.IsTrue = True)) =0  "
    "and (question.papidx = ");
const QString kCheck9 = QStringLiteral(
    "select count(ChcID) as CntAll from choice, question  where ((ChcCon = '')or(ChcCon is "
    "null)) and (choice.qstidx = question.qstid) and  (question.papidx = ");
const QString kCheck5 = QStringLiteral(
    "select count(QstID) as CntAll from question where ((QstCon = '')or(QstCon is null)) and "
    "(PapIdx = ");

QString login(const QString& account, const QString& password) {
    auto quote = [](QString t) {
        return QLatin1Char('\'') + t.replace(u"'"_s, u"''"_s) + QLatin1Char('\'');
    };
    return QStringLiteral("select count(*) as validuser from users where \r\n (acount = ") +
           quote(account) + QStringLiteral(") \r\nand (password = ") + quote(password) +
           QStringLiteral(") \r\n");
}

} // namespace

void TestStatements::readsOneValue_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected"); // an invalid QVariant: the value is null

    // The login check: account names ignore case, passwords do not.
    QTest::newRow("login Admin") << login(u"Admin"_s, u""_s) << u"validuser"_s << QVariant(1);
    QTest::newRow("login admin") << login(u"admin"_s, u""_s) << u"validuser"_s << QVariant(1);
    QTest::newRow("login wrong password")
        << login(u"Admin"_s, u"x"_s) << u"validuser"_s << QVariant(0);
    QTest::newRow("login quotes") << login(u"O'Neil"_s, u"p'w"_s) << u"validuser"_s << QVariant(1);
    QTest::newRow("login blanks kept")
        << login(u" blank "_s, u"Secret"_s) << u"validuser"_s << QVariant(1);
    QTest::newRow("login blanks trimmed")
        << login(u"blank"_s, u"Secret"_s) << u"validuser"_s << QVariant(0);
    QTest::newRow("login password case")
        << login(u" blank "_s, u"secret"_s) << u"validuser"_s << QVariant(0);

    // The record counters.
    QTest::newRow("max PapID") << u"select max(PapID) as maxID from paper"_s << u"maxID"_s
                               << QVariant(4);
    QTest::newRow("max QstID") << u"select max(QstID) as maxID from question"_s << u"maxID"_s
                               << QVariant(7);
    QTest::newRow("max ChcID") << u"select max(ChcID) as maxID from choice"_s << u"maxID"_s
                               << QVariant(7);
    QTest::newRow("max ChcIdx")
        << u"select max(chcidx) as maxID from choice \r\nwhere choice.qstidx = 2"_s << u"maxID"_s
        << QVariant(2);
    QTest::newRow("max ChcIdx of -1")
        << u"select max(chcidx) as maxID from choice \r\nwhere choice.qstidx = -1"_s << u"maxID"_s
        << QVariant();
    QTest::newRow("max QstIdx")
        << u"select max(qstidx) as maxID from question\r\nwhere papidx = 1"_s << u"maxID"_s
        << QVariant(7);
    QTest::newRow("max QstIdx of empty paper")
        << u"select max(qstidx) as maxID from question\r\nwhere papidx = 3"_s << u"maxID"_s
        << QVariant();

    // The check of a paper.
    QTest::newRow("check 1") << u"select PapScr from paper where papid = 1"_s << u"papscr"_s
                             << QVariant(100);
    QTest::newRow("check 1 null mark")
        << u"select PapScr from paper where papid = 3"_s << u"papscr"_s << QVariant();
    QTest::newRow("check 3") << u"select count(qstidx) as CntAll from question where papidx = 1"_s
                             << u"CntAll"_s << QVariant(3);
    QTest::newRow("check 3 none")
        << u"select count(qstidx) as CntAll from question where papidx = 3"_s << u"CntAll"_s
        << QVariant(0);
    QTest::newRow("check 4") << u"select sum(qstscr) as sumscr from question where papidx = 1"_s
                             << u"sumscr"_s << QVariant(70);
    QTest::newRow("check 4 none")
        << u"select sum(qstscr) as sumscr from question where papidx = 3"_s << u"sumscr"_s
        << QVariant();
    QTest::newRow("check 5 empty text") << kCheck5 + u"2)"_s << u"CntAll"_s << QVariant(1);
    QTest::newRow("check 5 texts") << kCheck5 + u"1)"_s << u"CntAll"_s << QVariant(0);
    QTest::newRow("check 6 enough choices") << kCheck6 + u"1)"_s << u"CntAll"_s << QVariant(0);
    QTest::newRow("check 6 one choice") << kCheck6 + u"2)"_s << u"CntAll"_s << QVariant(1);
    QTest::newRow("check 7 two correct") << kCheck7 + u"1)"_s << u"CntAll"_s << QVariant(1);
    QTest::newRow("check 7 one correct") << kCheck7 + u"2)"_s << u"CntAll"_s << QVariant(0);
    QTest::newRow("check 8 none correct") << kCheck8 + u"1)"_s << u"CntAll"_s << QVariant(1);
    QTest::newRow("check 8 one correct") << kCheck8 + u"2)"_s << u"CntAll"_s << QVariant(0);
    QTest::newRow("check 9 null text") << kCheck9 + u"1)"_s << u"CntAll"_s << QVariant(1);
    QTest::newRow("check 9 texts") << kCheck9 + u"2)"_s << u"CntAll"_s << QVariant(0);
    QTest::newRow("check 9 true-false only") << kCheck9 + u"4)"_s << u"CntAll"_s << QVariant(0);
}

void TestStatements::readsOneValue() {
    QFETCH(QString, sql);
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    Query q(m_conn);
    for (const QString& line : sql.split(QStringLiteral("\r\n")))
        q.addLine(line);
    q.open();
    // An aggregate without GROUP BY gives exactly one row, also over no rows.
    QCOMPARE(q.recordCount(), 1);
    if (expected.isValid()) {
        QVERIFY(!q.isNull(column));
        QCOMPARE(q.asInteger(column), expected.toInt());
    } else {
        QVERIFY(q.isNull(column));
        QCOMPARE(q.asInteger(column), 0);
        QCOMPARE(q.asString(column), QString());
    }
}

void TestStatements::rowCounts_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QStringList>("firstColumn");

    QTest::newRow("categories") << u"select distinct PapCtg from paper where PapCtg is not null"_s
                                << u"PapCtg"_s << QStringList{u"数学"_s, u"O'Neil"_s};
    QTest::newRow("check 1 no paper")
        << u"select PapScr from paper where papid = 42"_s << u"PapScr"_s << QStringList{};
    QTest::newRow("check 2 numbers") << u"select distinct qstidx from question where papidx = 1"_s
                                     << u"qstidx"_s << QStringList{u"1"_s, u"2"_s, u"7"_s};
    QTest::newRow("check 2 duplicates")
        << u"select distinct qstidx from question where papidx = 4"_s << u"qstidx"_s
        << QStringList{u"1"_s};
    QTest::newRow("quoted text") << u"select PapNam from paper where PapCtg = 'O''Neil'"_s
                                 << u"PapNam"_s << QStringList{u"O'Neil"_s};
    QTest::newRow("boolean literal")
        << u"select ChcID from choice where IsTrue = True order by ChcID"_s << u"ChcID"_s
        << QStringList{u"1"_s, u"2"_s, u"5"_s};
    QTest::newRow("names in any case")
        << u"SELECT papnam FROM PAPER WHERE PAPID = 4"_s << u"PAPNAM"_s << QStringList{u"英语"_s};
}

void TestStatements::rowCounts() {
    QFETCH(QString, sql);
    QFETCH(QString, column);
    QFETCH(QStringList, firstColumn);
    Query q(m_conn);
    q.setSql(sql);
    q.open();
    QCOMPARE(q.recordCount(), firstColumn.size());
    QStringList seen;
    for (q.first(); !q.eof(); q.next())
        seen << q.asString(column);
    seen.sort();
    firstColumn.sort();
    QCOMPARE(seen, firstColumn);
}

void TestStatements::deletions_data() {
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QList<int>>("remaining"); // paper, question, choice, users

    QTest::newRow("delete all papers")
        << QStringList{u"delete * from paper"_s, u"delete * from question"_s,
                       u"delete * from choice"_s}
        << QList<int>{0, 0, 0, 3};
    QTest::newRow("delete all questions of a paper")
        << QStringList{u"delete * from question where papidx =1"_s} << QList<int>{4, 4, 7, 3};
    QTest::newRow("delete all questions of an empty paper")
        << QStringList{u"delete * from question where papidx =3"_s} << QList<int>{4, 7, 7, 3};
    QTest::newRow("delete with several lines")
        << QStringList{u"DELETE *\r\nFROM choice\r\nwhere ChcID < 3"_s} << QList<int>{4, 7, 5, 3};
}

void TestStatements::deletions() {
    QFETCH(QStringList, statements);
    QFETCH(QList<int>, remaining);
    Command cmd(m_conn);
    for (const QString& sql : statements) {
        cmd.setText(sql);
        cmd.execute();
    }
    QCOMPARE((QList<int>{count(m_conn, u"paper"_s), count(m_conn, u"question"_s),
                         count(m_conn, u"choice"_s), count(m_conn, u"users"_s)}),
             remaining);
}

void TestStatements::orphanTrimInTwoSteps() {
    Command trim(m_conn);
    auto runTrim = [&] {
        trim.setText(u"delete from choice where (select count(*) from question where qstid = "_s
                     u"choice.qstidx)=0"_s);
        trim.execute();
        trim.setText(u"delete from question where (select count(*) from paper where papid = "_s
                     u"question.papidx)=0"_s);
        trim.execute();
    };
    runTrim();
    // Choice 6 had no question; question 5 had no paper. Choice 7 belonged to
    // question 5 and goes only in the next run.
    QCOMPARE(count(m_conn, u"question"_s), 6);
    QCOMPARE(count(m_conn, u"choice"_s), 6);
    runTrim();
    QCOMPARE(count(m_conn, u"choice"_s), 5);
    QCOMPARE(count(m_conn, u"question"_s), 6);
}

void TestStatements::queryReadsColumnsByNameIgnoringCase() {
    Query q(m_conn);
    q.clearSql();
    q.addLine(u"select QstID, QstScr as Mark, IsTrue"_s);
    q.addLine(u"from question where PapIdx = 1 order by QstID"_s);
    QCOMPARE(q.sql(), QStringLiteral("select QstID, QstScr as Mark, IsTrue\r\nfrom question where "
                                     "PapIdx = 1 order by QstID"));
    q.open();
    QVERIFY(q.isOpen());
    QCOMPARE(q.recordCount(), 3);
    QCOMPARE(q.asInteger(u"qstid"_s), 1);
    QCOMPARE(q.asInteger(u"MARK"_s), 40);
    QCOMPARE(q.asString(u"istrue"_s), QStringLiteral("True"));
    q.next();
    q.next();
    QCOMPARE(q.asInteger(u"QSTID"_s), 3);
    QVERIFY(q.isNull(u"mark"_s));
    QCOMPARE(q.asInteger(u"mark"_s), 0);
    QCOMPARE(q.asString(u"IsTrue"_s), QStringLiteral("False"));
    q.next();
    QVERIFY(q.eof());
    // Opening an open query does nothing; closing lets a new text run.
    q.open();
    QVERIFY(q.eof());
    q.close();
    QVERIFY(q.eof());
    q.setSql(u"select count(*) as n from paper"_s);
    q.open();
    QCOMPARE(q.asInteger(u"N"_s), 4);
}

void TestStatements::queryRefusesUnknownColumnAndMissingRow() {
    Query q(m_conn);
    q.setSql(u"select PapNam from paper where PapID = 1"_s);
    q.open();
    try {
        q.value(u"PapSav"_s);
        QFAIL("an unknown column was read");
    } catch (const EngineError& e) {
        QVERIFY2(e.message().contains(u"PapSav"_s), qPrintable(e.message()));
    }
    q.next();
    QVERIFY_THROWS_EXCEPTION(EngineError, q.asString(u"PapNam"_s));

    Query bad(m_conn);
    bad.setSql(u"select nothing from nowhere"_s);
    try {
        bad.open();
        QFAIL("a wrong statement ran");
    } catch (const EngineError& e) {
        QVERIFY2(e.message().contains(u"nowhere"_s), qPrintable(e.message()));
        QVERIFY2(e.message().contains(banktest::engineName()), qPrintable(e.message()));
    }
    QVERIFY(!bad.isOpen());
}

void TestStatements::queryKeepsTextsUnchanged() {
    const QString text = QStringLiteral("<IMG SRC=\"images\\a b.png\"> 甲乙'丙\"丁\r\n  end  ");
    addRecord(m_conn, u"question"_s, {u"QstID"_s, u"PapIdx"_s, u"QstCon"_s}, {50, 1, text});
    Query q(m_conn);
    q.setSql(u"select QstCon from question where QstID = 50"_s);
    q.open();
    QCOMPARE(q.asString(u"QstCon"_s), text);
}

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
