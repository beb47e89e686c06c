// Papers from other tools' files into the bank and out of it, through the
// program's own numbering.
#include "bankhelpers.h"
#include "exchange/bankexchange.h"
#include "store/engineerror.h"
#include "store/query.h"
#include "store/schema.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tess::exchange;

namespace {

Paper fixturePaper() {
    Paper paper;
    paper.category = QStringLiteral("物理");
    paper.name = QStringLiteral("力学单元测验");
    Question tf;
    tf.kind = QuestionKind::TrueFalse;
    tf.mark = 2;
    tf.html = QStringLiteral("<b>力</b>是物体间的相互作用.");
    tf.answer = true;
    Question single;
    single.kind = QuestionKind::Single;
    single.mark = 3;
    single.html = QStringLiteral("单位是? <IMG SRC=\"images\\n.png\">");
    single.choices = {{QStringLiteral("牛顿"), true}, {QStringLiteral("焦耳"), false}};
    Question multiple;
    multiple.kind = QuestionKind::Multiple;
    multiple.mark = 5;
    multiple.html = QStringLiteral("哪些是矢量?");
    multiple.choices = {{QStringLiteral("速度"), true},
                        {QStringLiteral("质量"), false},
                        {QStringLiteral("力"), true}};
    // Out of the page's order on purpose: the page puts true/false first.
    paper.questions = {multiple, tf, single};
    return paper;
}

QStringList rows(tess::Connection& conn, const QString& sql) {
    tess::Query q(conn);
    q.setSql(sql);
    q.open();
    QStringList out;
    for (q.first(); !q.eof(); q.next())
        out << q.asString(QStringLiteral("v"));
    return out;
}

} // namespace

class TestBankExchange : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void addedThroughTheNumbering();
    void readInPageOrder();
    void roundTrip();
    void allOrNothing();

private:
    QTemporaryDir m_dir;
    QString m_bank;
};

void TestBankExchange::init() {
    m_bank =
        m_dir.filePath(QString::fromUtf8(QTest::currentTestFunction()) + QStringLiteral(".mdb"));
    QFile::remove(m_bank);
    banktest::freshBank(m_bank);
}

// Identifiers after the bank's largest, numbers from 1 within each owner, and
// the orphans a new record may not inherit trimmed first.
void TestBankExchange::addedThroughTheNumbering() {
    banktest::BankConnection conn(m_bank);
    conn.execute(QStringLiteral(
        "insert into paper (PapID, PapNam) values (7, '旧');"
        "insert into question (QstID, PapIdx, QstIdx) values (40, 7, 1), (41, 99, 1);"
        "insert into choice (ChcID, QstIdx, ChcIdx) values (300, 40, 1), (301, 42, 1)"));
    const QVector<int> ids = addPapers(conn, {fixturePaper()}, QStringLiteral("/tmp/x.html"));
    QCOMPARE(ids, QVector<int>{8});
    QCOMPARE(rows(conn, QStringLiteral("select PapNam || '|' || PapCtg || '|' || PapScr || '|' || "
                                       "PapSav as v from paper where PapID = 8")),
             QStringList{QStringLiteral("力学单元测验|物理|10|/tmp/x.html")});
    // Question 41 (no paper) and choice 301 (no question) went before the first new record.
    QCOMPARE(rows(conn, QStringLiteral("select QstID || ':' || QstIdx || ':' || QstTyp || ':' || "
                                       "QstScr || ':' || IsTrue as v from question where PapIdx "
                                       "= 8 order by QstID")),
             (QStringList{QStringLiteral("41:1:多选题:5:0"), QStringLiteral("42:2:判断题:2:1"),
                          QStringLiteral("43:3:单选题:3:0")}));
    // The trimmed identifiers are given again, as the window gives them.
    QCOMPARE(banktest::count(conn, QStringLiteral("question where PapIdx = 99")), 0);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice where ChcCon is null")), 1);
    QCOMPARE(rows(conn, QStringLiteral("select ChcID || ':' || QstIdx || ':' || ChcIdx || ':' || "
                                       "IsTrue || ':' || ChcCon as v from choice where ChcID > "
                                       "300 order by ChcID")),
             (QStringList{QStringLiteral("301:41:1:1:速度"), QStringLiteral("302:41:2:0:质量"),
                          QStringLiteral("303:41:3:1:力"), QStringLiteral("304:43:1:1:牛顿"),
                          QStringLiteral("305:43:2:0:焦耳")}));
}

void TestBankExchange::readInPageOrder() {
    banktest::BankConnection conn(m_bank);
    conn.execute(QStringLiteral(
        "insert into paper (PapID, PapNam, PapCtg) values (1, '卷', null);"
        "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) values "
        "(5, 1, 1, '多选题', 4, 'm', 0), (3, 1, 2, '单选题', null, 's', 0), "
        "(9, 1, 3, '判断题', 1, 't', 1), (2, 1, 4, '判断题', 1, 'u', 0), (8, 2, 1, '判断题', 1, "
        "'x', 0);"
        "insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
        "(20, 3, 2, 1, 'b'), (10, 3, 1, 0, 'a'), (30, 5, 1, 1, 'c')"));
    const Paper paper = readPaper(conn, 1);
    QCOMPARE(paper.name, QStringLiteral("卷"));
    QVERIFY(paper.category.isEmpty());
    QStringList order;
    for (const Question& q : paper.questions) {
        QString line = q.html + QLatin1Char(' ') + QString::number(q.mark);
        for (const Choice& c : q.choices)
            line += QLatin1Char(' ') + c.html + (c.correct ? QStringLiteral("+") : QString());
        order << line;
    }
    QCOMPARE(order, (QStringList{QStringLiteral("u 1"), QStringLiteral("t 1"),
                                 QStringLiteral("s 0 a b+"), QStringLiteral("m 4 c+")}));
    QVERIFY(paper.questions[1].answer);
    QVERIFY_THROWS_EXCEPTION(ExchangeError, readPaper(conn, 77));
}

void TestBankExchange::roundTrip() {
    banktest::BankConnection conn(m_bank);
    const Paper paper = fixturePaper();
    const int id = addPapers(conn, {paper}, QString()).value(0);
    const Paper back = readPaper(conn, id);
    QCOMPARE(back.name, paper.name);
    QCOMPARE(back.category, paper.category);
    QCOMPARE(back.questions.size(), 3);
    // The page's order: true/false, single, multiple.
    const Question* expected[] = {&paper.questions[1], &paper.questions[2], &paper.questions[0]};
    for (int i = 0; i < 3; ++i) {
        const Question& a = *expected[i];
        const Question& b = back.questions[i];
        QCOMPARE(int(b.kind), int(a.kind));
        QCOMPARE(b.mark, a.mark);
        QCOMPARE(b.html, a.html);
        QCOMPARE(b.answer, a.answer);
        QCOMPARE(b.choices.size(), a.choices.size());
        for (int c = 0; c < a.choices.size(); ++c) {
            QCOMPARE(b.choices[c].html, a.choices[c].html);
            QCOMPARE(b.choices[c].correct, a.choices[c].correct);
        }
    }
}

// A record the bank refuses halfway leaves nothing of the import behind.
void TestBankExchange::allOrNothing() {
    banktest::BankConnection conn(m_bank);
    conn.execute(QStringLiteral("create trigger refuse before insert on choice when new.ChcCon = "
                                "'力' begin select raise(abort, 'refused'); end"));
    Paper first = fixturePaper();
    first.questions.removeFirst(); // the refused choice is in the second paper only
    QVERIFY_THROWS_EXCEPTION(tess::EngineError,
                             addPapers(conn, {first, fixturePaper()}, QString()));
    QCOMPARE(banktest::count(conn, QStringLiteral("paper")), 0);
    QCOMPARE(banktest::count(conn, QStringLiteral("question")), 0);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice")), 0);
    // The connection is usable again afterwards.
    conn.execute(QStringLiteral("drop trigger refuse"));
    QCOMPARE(addPapers(conn, {first}, QString()).size(), 1);
}

QTEST_GUILESS_MAIN(TestBankExchange)
#include "tst_bankexchange.moc"
