// Drawing questions at random by type, mark and source, no text twice, and
// making a new paper of the draw, all of it or nothing.
#include "exchange/compose.h"
#include "bank/plaintext.h"
#include "bankhelpers.h"
#include "exchange/exchangemodel.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using tess::ComposeDraw;
using tess::ComposeRequest;
using tess::ComposeRow;

class TestCompose : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void draws_data();
    void draws();
    void severalRows_data();
    void severalRows();
    void sameSeedSameDraw();
    void redrawOne();
    void makesPaper();
    void allOrNothing_data();
    void allOrNothing();

private:
    QString copyOfBank(const QString& name);
    QTemporaryDir m_dir;
    QString m_bank;
};

namespace {

const QString kSingle = QStringLiteral("单选题");

// Single choice worth 2 in the whole bank: eight texts. 101 and 102 read
// alike (tags aside), so do 201 and 302, and 301 and 401; 104 and 105 show
// only pictures, different ones. 108 has no text; 901 has no paper.
const QSet<int> kSingleTwo{101, 102, 103, 104, 105, 201, 202, 301, 302, 401, 402};

QSet<int> ids(const ComposeDraw& draw) {
    QSet<int> found;
    for (const tess::DrawnQuestion& q : draw.questions)
        found.insert(q.qstId);
    return found;
}

// Whether no two drawn questions read alike.
bool textsDiffer(const ComposeDraw& draw) {
    QSet<QString> keys;
    for (const tess::DrawnQuestion& q : draw.questions)
        keys.insert(q.key);
    return keys.size() == draw.questions.size();
}

} // namespace

void TestCompose::initTestCase() {
    m_bank = m_dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(m_bank);
    banktest::BankConnection conn(m_bank);
    const auto q = [](int id, int paper, int number, const char* type, int mark,
                      const QString& text) {
        return QStringLiteral("(%1, %2, %3, '%4', %5, %6)")
            .arg(id)
            .arg(paper)
            .arg(number)
            .arg(QString::fromUtf8(type))
            .arg(mark)
            .arg(banktest::quoted(text));
    };
    const QStringList questions{
        q(101, 1, 1, "单选题", 2, QStringLiteral("光的折射")),
        q(102, 1, 2, "单选题", 2, QStringLiteral("<b>光的</b>折射")),
        q(103, 1, 3, "单选题", 2, QStringLiteral("力的合成")),
        q(104, 1, 4, "单选题", 2, QStringLiteral("<IMG SRC=\"images\\a.png\">")),
        q(105, 1, 5, "单选题", 2, QStringLiteral("<IMG SRC=\"images\\b.png\">")),
        q(106, 1, 6, "单选题", 3, QStringLiteral("电压")),
        q(107, 1, 7, "判断题", 2, QStringLiteral("地球是圆的")),
        q(108, 1, 8, "单选题", 2, QString()),
        q(201, 2, 1, "单选题", 2, QStringLiteral("速度")),
        q(202, 2, 2, "单选题", 2, QStringLiteral("加速度")),
        q(203, 2, 3, "多选题", 4, QStringLiteral("能量守恒")),
        q(301, 3, 1, "单选题", 2, QStringLiteral("酸碱")),
        q(302, 3, 2, "单选题", 2, QStringLiteral("速度 ")),
        q(401, 4, 1, "单选题", 2, QStringLiteral("酸碱")),
        q(402, 4, 2, "单选题", 2, QStringLiteral("氧化")),
        q(901, 99, 1, "单选题", 2, QStringLiteral("没有试卷的题")),
    };
    banktest::executeInOneTransaction(
        conn,
        {QStringLiteral("insert into paper (PapID, PapNam, PapScr, PapCtg) values (1, '物理期中', "
                        "100, '物理'), (2, '物理期末', 100, '物理'), (3, '化学期中', 100, '化学'), "
                        "(4, '当前试卷', 100, '化学')"),
         QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon) "
                        "values ") +
             questions.join(QLatin1Char(',')),
         QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values (1, "
                        "101, 1, True, '入射角'), (2, 101, 2, False, '反射角'), (3, 203, 1, True, "
                        "'动能'), (4, 999, 1, False, '没有题的选项')")});
}

QString TestCompose::copyOfBank(const QString& name) {
    static int copies = 0;
    const QString path = m_dir.filePath(QString::number(++copies) + name);
    banktest::copyBank(m_bank, path);
    return path;
}

void TestCompose::draws_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("mark");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QList<int>>("papers");
    QTest::addColumn<int>("exclude");
    QTest::addColumn<QList<int>>("pool"); // the questions a draw may take
    QTest::addColumn<int>("drawn");
    QTest::addColumn<QString>("shortfall"); // empty: complete

    const QList<int> single(kSingleTwo.begin(), kSingleTwo.end());
    const QStringList anyCategory;
    const QList<int> anyPaper;
    QTest::newRow("every text of the bank once")
        << kSingle << 2 << 8 << anyCategory << anyPaper << 0 << single << 8 << QString();
    QTest::newRow("one more than the bank's texts")
        << kSingle << 2 << 9 << anyCategory << anyPaper << 0 << single << 8
        << QStringLiteral("单选题 每题 2 分: 要 9 道, 所选的类别和试卷里只有 8 道 (文字相同的题只算"
                          "一道). 请减少题数, 或多选几个类别和试卷.");
    QTest::newRow("a category") << kSingle << 2 << 4 << QStringList{QStringLiteral("物理")}
                                << anyPaper << 0 << QList<int>{101, 102, 103, 104, 105, 201, 202}
                                << 4 << QString();
    QTest::newRow("a paper") << kSingle << 2 << 2 << anyCategory << QList<int>{3} << 0
                             << QList<int>{301, 302} << 2 << QString();
    QTest::newRow("a category or a paper")
        << kSingle << 2 << 7 << QStringList{QStringLiteral("物理")} << QList<int>{3} << 0
        << QList<int>{101, 102, 103, 104, 105, 201, 202, 301, 302} << 7 << QString();
    QTest::newRow("two categories")
        << kSingle << 2 << 8 << QStringList{QStringLiteral("物理"), QStringLiteral("化学")}
        << anyPaper << 0 << single << 8 << QString();
    // Paper 4's texts are out, 301's too, which reads as 401.
    QTest::newRow("the current paper's texts left out")
        << kSingle << 2 << 6 << anyCategory << anyPaper << 4
        << QList<int>{101, 102, 103, 104, 105, 201, 202, 302} << 6 << QString();
    QTest::newRow("left out, one too many")
        << kSingle << 2 << 7 << anyCategory << anyPaper << 4
        << QList<int>{101, 102, 103, 104, 105, 201, 202, 302} << 6
        << QStringLiteral("单选题 每题 2 分: 要 7 道, 所选的类别和试卷里只有 6 道 (文字相同的题只算"
                          "一道). 请减少题数, 或多选几个类别和试卷.");
    QTest::newRow("the mark") << kSingle << 3 << 1 << anyCategory << anyPaper << 0
                              << QList<int>{106} << 1 << QString();
    QTest::newRow("true/false") << QStringLiteral("判断题") << 2 << 1 << anyCategory << anyPaper
                                << 0 << QList<int>{107} << 1 << QString();
    QTest::newRow("multiple choice") << QStringLiteral("多选题") << 4 << 1 << anyCategory
                                     << anyPaper << 0 << QList<int>{203} << 1 << QString();
    QTest::newRow("none of that mark")
        << QStringLiteral("多选题") << 2 << 3 << anyCategory << anyPaper << 0 << QList<int>{} << 0
        << QStringLiteral(
               "多选题 每题 2 分: 要 3 道, 所选的类别和试卷里没有这样的题. 请换一个分值, "
               "或多选几个类别和试卷.");
    QTest::newRow("a category no paper has")
        << kSingle << 2 << 1 << QStringList{QStringLiteral("生物'")} << anyPaper << 0
        << QList<int>{} << 0
        << QStringLiteral(
               "单选题 每题 2 分: 要 1 道, 所选的类别和试卷里没有这样的题. 请换一个分值, "
               "或多选几个类别和试卷.");
}

void TestCompose::draws() {
    QFETCH(QString, type);
    QFETCH(int, mark);
    QFETCH(int, count);
    QFETCH(QStringList, categories);
    QFETCH(QList<int>, papers);
    QFETCH(int, exclude);
    QFETCH(QList<int>, pool);
    QFETCH(int, drawn);
    QFETCH(QString, shortfall);
    banktest::BankConnection conn(m_bank);
    ComposeRequest request{{{type, count, mark}}, categories, papers, exclude};
    const QSet<int> allowed(pool.begin(), pool.end());
    QSet<int> seen;
    for (quint32 seed = 1; seed <= 12; ++seed) {
        const ComposeDraw draw = tess::drawQuestions(conn, request, seed);
        QCOMPARE(int(draw.questions.size()), drawn);
        QVERIFY(textsDiffer(draw));
        QVERIFY2(allowed.contains(ids(draw)), qPrintable(QString::number(seed)));
        QCOMPARE(draw.shortfalls, shortfall.isEmpty() ? QStringList() : QStringList{shortfall});
        QCOMPARE(draw.complete(), shortfall.isEmpty());
        for (const tess::DrawnQuestion& q : draw.questions) {
            QCOMPARE(q.type, type);
            QCOMPARE(q.mark, mark);
            QCOMPARE(q.row, 0);
        }
        seen += ids(draw);
    }
    // Drawn at random: over a dozen draws every text turns up when some are left out.
    if (drawn > 0 && drawn < allowed.size())
        QVERIFY(seen.size() > drawn);
}

// Rows draw from the same questions; no text is drawn twice over all of them.
void TestCompose::severalRows_data() {
    QTest::addColumn<QList<int>>("counts"); // single choice worth 2, one row each
    QTest::addColumn<int>("drawn");
    QTest::addColumn<int>("shortRows");
    QTest::newRow("all texts over two rows") << QList<int>{5, 3} << 8 << 0;
    QTest::newRow("the second row short") << QList<int>{5, 4} << 8 << 1;
    QTest::newRow("rows of other types") << QList<int>{8, 0} << 8 << 0;
}

void TestCompose::severalRows() {
    QFETCH(QList<int>, counts);
    QFETCH(int, drawn);
    QFETCH(int, shortRows);
    banktest::BankConnection conn(m_bank);
    ComposeRequest request;
    for (const int count : counts)
        request.rows << ComposeRow{kSingle, count, 2};
    request.rows << ComposeRow{QStringLiteral("判断题"), 1, 2};
    for (quint32 seed = 1; seed <= 8; ++seed) {
        const ComposeDraw draw = tess::drawQuestions(conn, request, seed);
        QCOMPARE(int(draw.questions.size()), drawn + 1);
        QVERIFY(textsDiffer(draw));
        QCOMPARE(int(draw.shortfalls.size()), shortRows);
        // Row after row, in the request's order.
        QCOMPARE(draw.questions.constLast().qstId, 107);
        for (int i = 1; i < draw.questions.size(); ++i)
            QVERIFY(draw.questions[i - 1].row <= draw.questions[i].row);
        QCOMPARE(draw.fullMark(), 2 * (drawn + 1));
    }
}

void TestCompose::sameSeedSameDraw() {
    banktest::BankConnection conn(m_bank);
    const ComposeRequest request{{{kSingle, 4, 2}}, {}, {}, 0};
    QList<int> first;
    for (const tess::DrawnQuestion& q : tess::drawQuestions(conn, request, 7).questions)
        first << q.qstId;
    QList<int> again;
    for (const tess::DrawnQuestion& q : tess::drawQuestions(conn, request, 7).questions)
        again << q.qstId;
    QCOMPARE(again, first);
    // And other seeds other orders.
    QSet<QList<int>> orders;
    for (quint32 seed = 1; seed <= 10; ++seed) {
        QList<int> order;
        for (const tess::DrawnQuestion& q : tess::drawQuestions(conn, request, seed).questions)
            order << q.qstId;
        orders.insert(order);
    }
    QVERIFY(orders.size() > 1);
    // What the draw shows of a question.
    const ComposeDraw draw = tess::drawQuestions(conn, {{{kSingle, 1, 3}}, {}, {}, 0}, 1);
    QCOMPARE(int(draw.questions.size()), 1);
    QCOMPARE(draw.questions[0].text, QStringLiteral("电压"));
    QCOMPARE(draw.questions[0].paperName, QStringLiteral("物理期中"));
    QCOMPARE(draw.questions[0].papId, 1);
}

void TestCompose::redrawOne() {
    banktest::BankConnection conn(m_bank);
    const ComposeRequest request{{{QStringLiteral("判断题"), 1, 2}, {kSingle, 7, 2}}, {}, {}, 0};
    ComposeDraw draw = tess::drawQuestions(conn, request, 3);
    QVERIFY(draw.complete());
    QCOMPARE(int(draw.questions.size()), 8);
    // The one text of the eight not drawn comes in for the question replaced.
    const QString replaced = draw.questions[3].key;
    QSet<QString> before;
    for (const tess::DrawnQuestion& q : std::as_const(draw.questions))
        before.insert(q.key);
    QVERIFY(tess::redrawOne(conn, request, draw, 3, 11));
    QCOMPARE(int(draw.questions.size()), 8);
    QVERIFY(textsDiffer(draw));
    QVERIFY(!before.contains(draw.questions[3].key));
    QCOMPARE(draw.questions[3].row, 1);
    QVERIFY(kSingleTwo.contains(draw.questions[3].qstId));
    // And back again: the text replaced is free once more.
    QVERIFY(tess::redrawOne(conn, request, draw, 3, 12));
    QCOMPARE(draw.questions[3].key, replaced);
    // The true/false row has no other question: the draw stays.
    const ComposeDraw kept = draw;
    QVERIFY(!tess::redrawOne(conn, request, draw, 0, 13));
    QCOMPARE(ids(draw), ids(kept));
    QCOMPARE(draw.questions[0].qstId, 107);
    QVERIFY(!tess::redrawOne(conn, request, draw, 8, 13));
    QVERIFY(!tess::redrawOne(conn, request, draw, -1, 13));
}

void TestCompose::makesPaper() {
    const QString path = copyOfBank(QStringLiteral("made.mdb"));
    banktest::BankConnection conn(path);
    const ComposeRequest request{
        {{kSingle, 3, 2}, {QStringLiteral("多选题"), 1, 4}}, {QStringLiteral("物理")}, {}, 0};
    const ComposeDraw draw = tess::drawQuestions(conn, request, 5);
    QVERIFY(draw.complete());
    QCOMPARE(draw.fullMark(), 10);
    // What each drawn question has, to compare its copy with.
    QList<int> choices;
    for (const tess::DrawnQuestion& q : draw.questions)
        choices << banktest::count(conn, QStringLiteral("choice where QstIdx = %1").arg(q.qstId));
    const int papId =
        tess::makeComposedPaper(conn, draw, QStringLiteral("单元测验 '一'"), QStringLiteral("物理"),
                                QStringLiteral("/tmp/p.html"));
    // The next paper identifier; the paper as the teacher named it, its full mark the sum.
    QCOMPARE(papId, 5);
    const auto paper = [&conn](const char* column) {
        return banktest::scalar(conn, QStringLiteral("select %1 as v from paper where PapID = 5")
                                          .arg(QLatin1String(column)))
            .toString();
    };
    QCOMPARE(paper("PapNam"), QStringLiteral("单元测验 '一'"));
    QCOMPARE(paper("PapScr"), QStringLiteral("10"));
    QCOMPARE(paper("PapCtg"), QStringLiteral("物理"));
    QCOMPARE(paper("PapSav"), QStringLiteral("/tmp/p.html"));
    // Copies in the draw's order, numbered from 1, each with as many choices
    // as the question drawn. The new paper's numbering removed question 901,
    // which had no paper, so the copies' identifiers follow 402.
    tess::Query copies(conn);
    copies.setSql(QStringLiteral("select QstID, QstIdx, QstTyp, QstScr, QstCon from question "
                                 "where PapIdx = 5 order by QstID"));
    copies.open();
    int number = 0;
    for (copies.first(); !copies.eof(); copies.next()) {
        QVERIFY(number < draw.questions.size());
        const tess::DrawnQuestion& drawn = draw.questions[number];
        const int qstId = copies.asInteger(QStringLiteral("QstID"));
        QCOMPARE(qstId, 403 + number);
        QCOMPARE(copies.asInteger(QStringLiteral("QstIdx")), number + 1);
        QCOMPARE(copies.asString(QStringLiteral("QstTyp")), drawn.type);
        QCOMPARE(copies.asInteger(QStringLiteral("QstScr")), drawn.mark);
        QCOMPARE(tess::plainTextOf(copies.asString(QStringLiteral("QstCon"))).trimmed(),
                 drawn.text);
        QCOMPARE(banktest::count(conn, QStringLiteral("choice where QstIdx = %1").arg(qstId)),
                 choices[number]);
        ++number;
    }
    QCOMPARE(number, 4);
    // The originals stay; the orphans are gone, as before any new record.
    QCOMPARE(banktest::count(conn, QStringLiteral("question where PapIdx in (1, 2)")), 11);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice where QstIdx in (101, 203)")), 3);
    QCOMPARE(banktest::count(conn, QStringLiteral("question where QstID = 901")), 0);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice where QstIdx = 999")), 0);
}

void TestCompose::allOrNothing_data() {
    QTest::addColumn<QString>("change"); // made to the bank after the draw
    QTest::addColumn<QString>("refuse"); // a table that refuses inserts
    QTest::addColumn<QString>("message");
    QTest::newRow("a drawn question deleted")
        << QStringLiteral("delete from question where QstID = 101") << QString()
        << QStringLiteral("抽到的题中有 1 道在抽题之后被删除或改了题型、分值, 试卷没有生成. "
                          "请重新抽题.");
    QTest::newRow("a drawn question's mark changed")
        << QStringLiteral("update question set QstScr = 5 where QstID = 101") << QString()
        << QStringLiteral("抽到的题中有 1 道在抽题之后被删除或改了题型、分值, 试卷没有生成. "
                          "请重新抽题.");
    QTest::newRow("the bank refuses a choice")
        << QString() << QStringLiteral("choice") << QStringLiteral("refused");
}

void TestCompose::allOrNothing() {
    QFETCH(QString, change);
    QFETCH(QString, refuse);
    QFETCH(QString, message);
    const QString path = copyOfBank(QStringLiteral("refused.mdb"));
    banktest::BankConnection conn(path);
    ComposeDraw draw;
    tess::DrawnQuestion q;
    q.qstId = 101;
    q.type = kSingle;
    q.mark = 2;
    q.key = QStringLiteral("光的折射");
    draw.questions << q;
    q.qstId = 103;
    q.key = QStringLiteral("力的合成");
    draw.questions << q;
    if (!change.isEmpty())
        conn.execute(change);
    if (!refuse.isEmpty())
        banktest::refuseInserts(conn, refuse);
    const int papers = banktest::count(conn, QStringLiteral("paper"));
    const int questions = banktest::count(conn, QStringLiteral("question"));
    const int choices = banktest::count(conn, QStringLiteral("choice"));
    try {
        tess::makeComposedPaper(conn, draw, QStringLiteral("测验"), QStringLiteral("物理"),
                                QStringLiteral("/tmp/p.html"));
        QFAIL("made a paper");
    } catch (const tess::exchange::ExchangeError& e) {
        QCOMPARE(e.message(), message);
    } catch (const tess::EngineError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
    }
    QVERIFY(!conn.inTransaction());
    QCOMPARE(banktest::count(conn, QStringLiteral("paper")), papers);
    QCOMPARE(banktest::count(conn, QStringLiteral("question")), questions);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice")), choices);
}

QTEST_GUILESS_MAIN(TestCompose)
#include "tst_compose.moc"
