// Finding questions by a text of theirs or their choices, as the reader sees
// it, with the filters; and tessaloom-bank search from the command line.
#include "bank/questionsearch.h"
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
    void tool_data();
    void tool();

private:
    QTemporaryDir m_dir;
    QString m_bank;
};

void TestQuestionSearch::initTestCase() {
    m_bank = m_dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(m_bank);
    banktest::BankConnection conn(m_bank);
    banktest::executeInOneTransaction(
        conn,
        {QStringLiteral("insert into paper (PapID, PapNam, PapCtg) values (1, '期中', '物理'), "
                        "(2, '期末', '化学')"),
         QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon) "
                        "values (10, 1, 2, '单选题', 3, '光的<b>折</b>射'), (11, 1, 1, '判断题', "
                        "2, '<IMG SRC=\"images\\光.png\">图中'), (20, 2, 1, '单选题', 5, '100% 的 "
                        "''O''Neil'' 溶液 AND NEAR( \"x\" *'), (21, 2, 2, '多选题', 4, '&lt;b&gt; "
                        "标记')"),
         QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon) values (1, 10, 1, "
                        "'入射角'), (2, 10, 2, 'Refraction'), (3, 21, 1, 'H<sub>2</sub>O')")});
}

void TestQuestionSearch::finds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QList<int>>("found"); // QstID, in the order given
    const QString none;
    QTest::newRow("everything, by paper and number")
        << none << none << none << 0 << QList<int>{11, 10, 20, 21};
    QTest::newRow("limit") << none << none << none << 2 << QList<int>{11, 10};
    QTest::newRow("a word across a tag")
        << QStringLiteral("折射") << none << none << 0 << QList<int>{10};
    QTest::newRow("a choice, Latin without case")
        << QStringLiteral("rEFRACTION") << none << none << 0 << QList<int>{10};
    QTest::newRow("a choice with tags")
        << QStringLiteral("H2O") << none << none << 0 << QList<int>{21};
    QTest::newRow("inside a tag: not matched")
        << QStringLiteral("光.png") << none << none << 0 << QList<int>{};
    QTest::newRow("one character") << QStringLiteral("光") << none << none << 0 << QList<int>{10};
    QTest::newRow("written as references")
        << QStringLiteral("<b>") << none << none << 0 << QList<int>{21};
    QTest::newRow("type") << none << QStringLiteral("判断题") << none << 0 << QList<int>{11};
    QTest::newRow("category") << none << none << QStringLiteral("化学") << 0 << QList<int>{20, 21};
    QTest::newRow("text within type and category")
        << QStringLiteral("的") << QStringLiteral("单选题") << QStringLiteral("化学") << 0
        << QList<int>{20};
    QTest::newRow("percent") << QStringLiteral("%") << none << none << 0 << QList<int>{20};
    QTest::newRow("underscore") << QStringLiteral("_") << none << none << 0 << QList<int>{};
    QTest::newRow("quotes") << QStringLiteral("'O'Neil'") << none << none << 0 << QList<int>{20};
    QTest::newRow("search syntax")
        << QStringLiteral("AND NEAR( \"x\" *") << none << none << 0 << QList<int>{20};
    QTest::newRow("only spaces") << QStringLiteral("   ") << none << none << 0 << QList<int>{};
    QTest::newRow("10,000 characters")
        << QString(10000, QChar(u'光')) << none << none << 0 << QList<int>{};
    QTest::newRow("outside GBK") << QStringLiteral("😀") << none << none << 0 << QList<int>{};
}

void TestQuestionSearch::finds() {
    QFETCH(QString, text);
    QFETCH(QString, type);
    QFETCH(QString, category);
    QFETCH(int, limit);
    QFETCH(QList<int>, found);
    banktest::BankConnection conn(m_bank);
    QList<int> ids;
    for (const tess::QuestionHit& hit : tess::searchQuestions(conn, {text, type, category, limit}))
        ids << hit.qstId;
    QCOMPARE(ids, found);
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
