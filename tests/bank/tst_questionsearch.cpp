// Finding questions by a text of theirs or their choices, as the reader sees
// it, with the filters, through the bank's index and without it; the index
// following what any program writes; and tessaloom-bank search.
#include "bank/questionsearch.h"
#include "bank/textindex.h"
#include "bankhelpers.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestQuestionSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void finds_data();
    void finds();
    void paperAndMarks_data();
    void paperAndMarks();
    void indexFollowsEveryWriter();
    void indexBuiltForAnEarlierBank();
    void nextScreenful();
    void tool_data();
    void tool();

private:
    QTemporaryDir m_dir;
    QString m_bank;
    QString m_unindexed; // the same questions, its index not built yet
};

void TestQuestionSearch::initTestCase() {
    m_bank = m_dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(m_bank);
    {
        banktest::BankConnection conn(m_bank);
        banktest::executeInOneTransaction(
            conn,
            {QStringLiteral("insert into paper (PapID, PapNam, PapCtg) values (1, '期中', '物理'), "
                            "(2, '期末', '化学')"),
             QStringLiteral(
                 "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon) "
                 "values (10, 1, 2, '单选题', 3, '光的<b>折</b>射'), (11, 1, 1, '判断题', "
                 "2, '<IMG SRC=\"images\\光.png\">图中'), (20, 2, 1, '单选题', 5, '100% 的 "
                 "''O''Neil'' 溶液 AND NEAR( \"x\" *'), (21, 2, 2, '多选题', 4, '&lt;b&gt; "
                 "标记')"),
             QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon) values (1, 10, 1, "
                            "'入射角'), (2, 10, 2, 'Refraction'), (3, 21, 1, 'H<sub>2</sub>O')")});
    }
    m_unindexed = m_dir.filePath(QStringLiteral("unindexed.mdb"));
    banktest::copyBank(m_bank, m_unindexed);
    banktest::BankConnection unindexed(m_unindexed);
    unindexed.execute(QStringLiteral("insert into text_stale (id) values (null)"));
    QCOMPARE(tess::textIndexState(unindexed), tess::TextIndexState::Unbuilt);
}

void TestQuestionSearch::finds_data() {
    QTest::addColumn<bool>("indexed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QList<int>>("found"); // QstID, in the order given
    const QString none;
    bool indexed = true;
    auto row = [&](const char* name) -> QTestData& {
        return QTest::addRow("%s: %s", indexed ? "index" : "read", name) << indexed;
    };
    for (bool mode : {true, false}) {
        indexed = mode;
        row("everything, by paper and number")
            << none << none << none << 0 << QList<int>{11, 10, 20, 21};
        row("limit") << none << none << none << 2 << QList<int>{11, 10};
        row("a word across a tag") << QStringLiteral("折射") << none << none << 0 << QList<int>{10};
        row("a choice, Latin without case")
            << QStringLiteral("rEFRACTION") << none << none << 0 << QList<int>{10};
        row("a choice with tags") << QStringLiteral("H2O") << none << none << 0 << QList<int>{21};
        row("inside a tag: not matched")
            << QStringLiteral("光.png") << none << none << 0 << QList<int>{};
        row("one character") << QStringLiteral("光") << none << none << 0 << QList<int>{10};
        row("written as references")
            << QStringLiteral("<b>") << none << none << 0 << QList<int>{21};
        row("type") << none << QStringLiteral("判断题") << none << 0 << QList<int>{11};
        row("category") << none << none << QStringLiteral("化学") << 0 << QList<int>{20, 21};
        row("text within type and category") << QStringLiteral("的") << QStringLiteral("单选题")
                                             << QStringLiteral("化学") << 0 << QList<int>{20};
        row("percent") << QStringLiteral("%") << none << none << 0 << QList<int>{20};
        row("underscore") << QStringLiteral("_") << none << none << 0 << QList<int>{};
        row("quotes") << QStringLiteral("'O'Neil'") << none << none << 0 << QList<int>{20};
        row("search syntax") << QStringLiteral("AND NEAR( \"x\" *") << none << none << 0
                             << QList<int>{20};
        row("only spaces: as no text")
            << QStringLiteral("   ") << none << none << 0 << QList<int>{11, 10, 20, 21};
        row("spaces as the reader sees them")
            << QStringLiteral(" 的  \"O\"Neil\" ") << none << none << 0 << QList<int>{};
        row("runs of spaces as one")
            << QStringLiteral("100%   的") << none << none << 0 << QList<int>{20};
        row("three characters outside GBK")
            << QStringLiteral("😀😀😀") << none << none << 0 << QList<int>{};
        row("10,000 characters") << QString(10000, QChar(u'光')) << none << none << 0
                                 << QList<int>{};
        row("outside GBK") << QStringLiteral("😀") << none << none << 0 << QList<int>{};
    }
}

void TestQuestionSearch::finds() {
    QFETCH(bool, indexed);
    QFETCH(QString, text);
    QFETCH(QString, type);
    QFETCH(QString, category);
    QFETCH(int, limit);
    QFETCH(QList<int>, found);
    banktest::BankConnection conn(indexed ? m_bank : m_unindexed);
    QList<int> ids;
    for (const tess::QuestionHit& hit : tess::searchQuestions(conn, {text, type, category, limit}))
        ids << hit.qstId;
    QCOMPARE(ids, found);
    QCOMPARE(tess::textIndexState(conn),
             indexed ? tess::TextIndexState::Ready : tess::TextIndexState::Unbuilt);
}

// Marks: question 11 has 2, 10 has 3, 21 has 4, 20 has 5.
void TestQuestionSearch::paperAndMarks_data() {
    QTest::addColumn<QString>("paper");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QList<int>>("found");
    QTest::newRow("part of a paper's name")
        << QStringLiteral("末") << -1 << -1 << QList<int>{20, 21};
    QTest::newRow("from") << QString() << 3 << -1 << QList<int>{10, 20, 21};
    QTest::newRow("to") << QString() << -1 << 3 << QList<int>{11, 10};
    QTest::newRow("from and to") << QString() << 3 << 4 << QList<int>{10, 21};
    QTest::newRow("with a paper") << QStringLiteral("期中") << 3 << 4 << QList<int>{10};
    QTest::newRow("no such paper") << QStringLiteral("%") << -1 << -1 << QList<int>{};
}

void TestQuestionSearch::paperAndMarks() {
    QFETCH(QString, paper);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QList<int>, found);
    banktest::BankConnection conn(m_bank);
    tess::QuestionSearch search;
    search.paper = paper;
    search.markFrom = from;
    search.markTo = to;
    QList<int> ids;
    for (const tess::QuestionHit& hit : tess::searchQuestions(conn, search))
        ids << hit.qstId;
    QCOMPARE(ids, found);
}

namespace {

QList<int> found(tess::Connection& conn, const QString& text) {
    QList<int> ids;
    for (const tess::QuestionHit& hit : tess::searchQuestions(conn, {text}))
        ids << hit.qstId;
    return ids;
}

} // namespace

// The bank's triggers note what another program writes, and the search reads
// it anew; texts that read alike count as the same text.
void TestQuestionSearch::indexFollowsEveryWriter() {
    const QString path = m_dir.filePath(QStringLiteral("writers.mdb"));
    banktest::freshBank(path);
    banktest::BankConnection conn(path);
    banktest::executeInOneTransaction(
        conn,
        {QStringLiteral("insert into paper (PapID, PapNam) values (1, 'p')"),
         QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstCon) values (1, 1, "
                        "1, '平面镜成像'), (2, 1, 2, '<i>平面镜</i>成像'), (3, 1, 3, '凸透镜')"),
         QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon) values (1, 3, 1, "
                        "'实像'), (2, 3, 2, '虚像')")});
    QCOMPARE(found(conn, QStringLiteral("平面镜成像")), (QList<int>{1, 2}));
    const QVector<tess::QuestionHit> hits = tess::searchQuestions(conn, {QStringLiteral("镜")});
    QCOMPARE(hits.size(), 3);
    QCOMPARE(hits[0].sameText, 2);
    QCOMPARE(hits[2].sameText, 1);
    QCOMPARE(found(conn, QStringLiteral("虚像")), QList<int>{3});

    // Another program: a text changed (also in case only), a choice moved, one deleted.
    banktest::executeInOneTransaction(
        conn, {QStringLiteral("update question set QstCon = '凹面镜 Mirror' where QstID = 1"),
               QStringLiteral("update question set QstScr = 4 where QstID = 2"),
               QStringLiteral("update choice set QstIdx = 2 where ChcID = 1"),
               QStringLiteral("delete from choice where ChcID = 2")});
    QCOMPARE(found(conn, QStringLiteral("平面镜成像")), QList<int>{2});
    QCOMPARE(found(conn, QStringLiteral("凹面镜 mirror")), QList<int>{1});
    QCOMPARE(found(conn, QStringLiteral("实像")), QList<int>{2});
    QCOMPARE(found(conn, QStringLiteral("虚像")), QList<int>{});
    conn.execute(QStringLiteral("update question set QstCon = '凹面镜 MIRROR' where QstID = 1"));
    QCOMPARE(tess::searchQuestions(conn, {QStringLiteral("mirror")}).value(0).text,
             QStringLiteral("凹面镜 MIRROR"));
    QCOMPARE(banktest::count(conn, QStringLiteral("text_stale")), 0);

    // A bank that refuses the changed texts is searched all the same.
    banktest::refuseInserts(conn, QStringLiteral("text_plain"), QStringLiteral("1 = 1"));
    conn.execute(QStringLiteral("update question set QstCon = '折射率' where QstID = 2"));
    QCOMPARE(found(conn, QStringLiteral("折射率")), QList<int>{2});
    QVERIFY(banktest::count(conn, QStringLiteral("text_stale")) > 0);
    banktest::allowInserts(conn, QStringLiteral("text_plain"));
    QCOMPARE(found(conn, QStringLiteral("折射率")), QList<int>{2});
    QCOMPARE(banktest::count(conn, QStringLiteral("text_stale")), 0);

    // A bank open for reading only cannot index: it reads the changed bank instead.
    conn.execute(QStringLiteral("update question set QstCon = '反射' where QstID = 3"));
    tess::Connection reader;
    reader.setDataSource(banktest::bankName(path));
    reader.openForReading();
    QCOMPARE(found(reader, QStringLiteral("反射")), QList<int>{3});
    QCOMPARE(found(reader, QStringLiteral("凸透镜")), QList<int>{});
}

// A bank of the earlier schema gets the tables at open and its index when
// the program builds it; a cancelled build leaves the bank as it was.
void TestQuestionSearch::indexBuiltForAnEarlierBank() {
    const QString path = m_dir.filePath(QStringLiteral("earlier.mdb"));
    banktest::copyBank(m_bank, path);
    if (banktest::onServer()) {
        // A server bank of the earlier version is marked so by its upgrade.
        banktest::BankConnection conn(path);
        conn.execute(QStringLiteral("insert into text_stale (id) values (null)"));
    } else {
        banktest::BankConnection conn(path);
        conn.execute(QStringLiteral(
            "begin; drop table text_terms; drop table text_plain; drop table text_index; drop "
            "table text_stale; drop index question_order; drop trigger text_question_added; drop "
            "trigger text_question_changed; drop trigger text_question_deleted; drop trigger "
            "text_choice_added; drop trigger text_choice_changed; drop trigger "
            "text_choice_deleted; pragma user_version = 2; commit"));
    }
    banktest::BankConnection conn(path);
    QCOMPARE(conn.upgradeProblem(), QString());
    if (!banktest::onServer())
        QCOMPARE(banktest::scalar(conn, QStringLiteral("select user_version as v from "
                                                       "pragma_user_version"))
                     .toInt(),
                 tess::kPaperBankVersion);
    QCOMPARE(tess::textIndexState(conn), tess::TextIndexState::Unbuilt);
    QCOMPARE(found(conn, QStringLiteral("折射")), QList<int>{10});

    const int kept = banktest::count(conn, QStringLiteral("text_plain"));
    QList<qint64> told;
    QVERIFY(!tess::buildTextIndex(conn, [&](qint64 done, qint64 total) {
        told << done << total;
        return done == 0;
    }));
    QCOMPARE(told, (QList<qint64>{0, 7, 4, 7})); // the questions, then stopped
    QCOMPARE(tess::textIndexState(conn), tess::TextIndexState::Unbuilt);
    QCOMPARE(banktest::count(conn, QStringLiteral("text_plain")), kept);

    QVERIFY(tess::buildTextIndex(conn));
    QCOMPARE(tess::textIndexState(conn), tess::TextIndexState::Ready);
    QCOMPARE(banktest::count(conn, QStringLiteral("text_plain")), 7);
    QCOMPARE(found(conn, QStringLiteral("折射")), QList<int>{10});
    QCOMPARE(found(conn, QStringLiteral("H2O")), QList<int>{21});
}

// The next screenful starts after the last question shown.
void TestQuestionSearch::nextScreenful() {
    banktest::BankConnection conn(m_bank);
    tess::QuestionSearch search;
    search.limit = 3;
    QVector<tess::QuestionHit> hits = tess::searchQuestions(conn, search);
    QCOMPARE(hits.size(), 3);
    search.after = hits.last().key();
    hits = tess::searchQuestions(conn, search);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits[0].qstId, 21);
    search.after = hits.last().key();
    QVERIFY(tess::searchQuestions(conn, search).isEmpty());
}

void TestQuestionSearch::tool_data() {
    QTest::addColumn<QStringList>("args"); // after "search"; BANK stands for the bank
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    const QString bank = QStringLiteral("BANK");
    QTest::newRow("found") << QStringList{bank, QStringLiteral("折射")} << 0
                           << QStringLiteral("1\t10\t单选题\t3\t光的折射\n");
    QTest::newRow("type and limit") << QStringList{bank,
                                                   QStringLiteral("的"),
                                                   QStringLiteral("--type"),
                                                   QStringLiteral("单选题"),
                                                   QStringLiteral("--limit"),
                                                   QStringLiteral("1")}
                                    << 0 << QStringLiteral("1\t10\t单选题\t3\t光的折射\n");
    QTest::newRow("category") << QStringList{bank, QStringLiteral("标记"),
                                             QStringLiteral("--category"), QStringLiteral("物理")}
                              << 1 << QString();
    QTest::newRow("nothing") << QStringList{bank, QStringLiteral("不存在")} << 1 << QString();
    QTest::newRow("no text") << QStringList{bank} << 2 << QString();
    QTest::newRow("unknown type") << QStringList{bank, QStringLiteral("光"),
                                                 QStringLiteral("--type"), QStringLiteral("填空题")}
                                  << 2 << QString();
    QTest::newRow("limit not a number")
        << QStringList{bank, QStringLiteral("光"), QStringLiteral("--limit"), QStringLiteral("x")}
        << 2 << QString();
    QTest::newRow("option without value")
        << QStringList{bank, QStringLiteral("光"), QStringLiteral("--category")} << 2 << QString();
    QTest::newRow("no such bank") << QStringList{QStringLiteral("/nonexistent/bank.mdb"),
                                                 QStringLiteral("光")}
                                  << 3 << QString();
}

void TestQuestionSearch::tool() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    const QString tool = qEnvironmentVariable("TESS_BIN_DIR") + QStringLiteral("/tessaloom-bank");
    if (!QFileInfo(tool).isExecutable())
        QSKIP("the bank tool is not built");
    args.replaceInStrings(QRegularExpression(QStringLiteral("^BANK$")), banktest::bankName(m_bank));
    QProcess p;
    p.start(tool, QStringList{QStringLiteral("search")} + args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), code);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
}

QTEST_GUILESS_MAIN(TestQuestionSearch)
#include "tst_questionsearch.moc"
