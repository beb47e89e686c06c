#include "bankhelpers.h"
#include "checklines.h"
#include "generate/papercheck.h"
#include "paperfixture.h"
#include "store/engineerror.h"
#include "store/query.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tess;
using namespace checklines;

namespace {

const QString kTF = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");
const QString kMulti = QStringLiteral("多选题");

// Builds the paper named by the case on a fresh bank and returns the id to check.
// Unless a case says otherwise the full mark is 100 and the marks add up to it.
int buildCase(PaperFixture& f, const QString& name) {
    // Another paper in the bank, full of defects, must never count.
    const int other = f.addPaper(QStringLiteral("别的试卷"), 5);
    const int o1 = f.addQuestion(other, 1, kSingle, 50, QString());
    f.addQuestion(other, 1, kMulti, 50, QStringLiteral("x"));
    f.addChoice(o1, 1, QString(), false);

    if (name == QLatin1String("missing paper"))
        return 99;
    const int pap = f.addPaper(QStringLiteral("期中考试"), 100);
    if (name == QLatin1String("no questions"))
        return pap;
    if (name == QLatin1String("no numbered question")) {
        // count() skips them, distinct lists the empty number once.
        f.addQuestion(pap, QVariant(), kTF, 50, QStringLiteral("a"));
        f.addQuestion(pap, QVariant(), kTF, 50, QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("duplicate numbers")) {
        f.addQuestion(pap, 1, kTF, 50, QStringLiteral("a"));
        f.addQuestion(pap, 1, kTF, 50, QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("marks over")) {
        f.addQuestion(pap, 1, kTF, 60, QStringLiteral("a"));
        f.addQuestion(pap, 2, kTF, 60, QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("marks under, null mark")) {
        f.addQuestion(pap, 1, kTF, 90, QStringLiteral("a"));
        f.addQuestion(pap, 2, kTF, QVariant(), QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("null question text") ||
        name == QLatin1String("empty text after a warning")) {
        const int mark = name.startsWith(QLatin1String("empty")) ? 40 : 50;
        f.addQuestion(pap, 1, kTF, 50, QStringLiteral("a"));
        f.addQuestion(pap, 2, kTF, mark,
                      name.startsWith(QLatin1String("empty")) ? QVariant(QString()) : QVariant());
        return pap;
    }
    if (name == QLatin1String("one choice before no correct")) {
        const int q = f.addQuestion(pap, 1, kMulti, 100, QStringLiteral("a"));
        f.addChoice(q, 1, QStringLiteral("c"), false);
        return pap;
    }
    if (name == QLatin1String("unknown type word has few choices")) {
        f.addQuestion(pap, 1, QStringLiteral("填空题"), 100, QStringLiteral("a"));
        return pap;
    }
    if (name == QLatin1String("single with two correct")) {
        const int q = f.addQuestion(pap, 1, kSingle, 100, QStringLiteral("a"));
        f.addChoices(q, 3, {1, 2});
        return pap;
    }
    if (name == QLatin1String("single two correct, then multi none correct")) {
        const int q1 = f.addQuestion(pap, 1, kSingle, 50, QStringLiteral("a"));
        f.addChoices(q1, 3, {1, 3});
        const int q2 = f.addQuestion(pap, 2, kMulti, 50, QStringLiteral("b"));
        f.addChoices(q2, 3, {});
        return pap;
    }
    if (name == QLatin1String("empty choice text of a true/false question")) {
        // Steps 6 to 8 leave true/false questions alone; step 9 looks at every question.
        const int q = f.addQuestion(pap, 1, kTF, 100, QStringLiteral("a"));
        f.addChoice(q, 1, QString(), true);
        return pap;
    }
    if (name == QLatin1String("empty choice text")) {
        const int q = f.addQuestion(pap, 1, kSingle, 100, QStringLiteral("a"));
        f.addChoice(q, 1, QStringLiteral("c"), true);
        f.addChoice(q, 2, QVariant(QString()), false);
        return pap;
    }
    if (name == QLatin1String("passing paper")) {
        f.addQuestion(pap, 1, kTF, 20, QStringLiteral("<b>地球是圆的</b>"));
        const int q2 = f.addQuestion(pap, 2, kSingle, 40, QStringLiteral("选一个"));
        f.addChoices(q2, 2, {2});
        const int q3 = f.addQuestion(pap, 7, kMulti, 40, QStringLiteral("选几个"));
        f.addChoices(q3, 4, {1, 3});
        return pap;
    }
    qFatal("unknown case");
}

// The lines of the last step, by what they say about a text or flag.
QString swallowed(const QString& where, const char* tag, const char* end) {
    return QStringLiteral("错误: %1中的 %2 没有结束, 试卷网页其后的题目、提交按钮和评分脚本都会被它"
                          "吞掉. 请删去它%3.")
        .arg(where, QString::fromUtf8(tag),
             *end ? QStringLiteral(", 或在其后补上 ") + QString::fromUtf8(end) : QString());
}
QString openQuote(const QString& where, const char* tag) {
    return QStringLiteral("错误: %1中的标记 %2 有一个引号没有结束, 试卷网页其后的选择控件都会被它"
                          "吞掉. 请补上结束的引号.")
        .arg(where, QString::fromUtf8(tag));
}
QString formTag(const QString& where, const char* tag) {
    return QStringLiteral("错误: %1中有表单标记 %2, 它会把其后的选择控件移出试卷的表单, "
                          "批改结果会出错. 请删去它.")
        .arg(where, QString::fromUtf8(tag));
}
QString nameClash(const QString& where, const char* name) {
    return QStringLiteral("错误: %1中有名为 \"%2\" 的元素, 与试卷网页自己的控件或脚本同名, "
                          "批改结果会出错. 请删去这个 name 或 id, 或者改名.")
        .arg(where, QString::fromUtf8(name));
}
QString script(const QString& where) {
    return QStringLiteral("警告: %1中有脚本 <script>, 它会在学生的浏览器里运行, 可能改变批改结果. "
                          "如果不是有意加入的, 请删去它.")
        .arg(where);
}
QString control(const QString& where, const char* tag) {
    return QStringLiteral("警告: %1中有输入控件 %2, 学生在其中的作答不会被批改. "
                          "如果不是有意加入的, 请删去它.")
        .arg(where, QString::fromUtf8(tag));
}
QString tableParts(const QString& where, const char* tag) {
    return QStringLiteral("警告: %1中的表格标记 %2 不成对, 会打乱试卷网页的版面. "
                          "请检查这段文字中的 <table>、<tr>、<td> 标记.")
        .arg(where, QString::fromUtf8(tag));
}
QString badFlag(const QString& where, const QString& shown, bool choice) {
    return QStringLiteral("错误: %1的正确标记是 %2, 既不是\"正确\"也不是\"错误\", "
                          "试卷网页会把它当作\"错误\"批改. 请在%3中重新选择它.")
        .arg(where, shown,
             choice ? QStringLiteral("选项表格的\"正确选项\"一栏")
                    : QStringLiteral("题目表格的\"是否正确\"一栏"));
}

const QString kQuestion2 = QStringLiteral("第 2 题的题目内容");
const QString kChoice2 = QStringLiteral("第 2 题的选项 2 的内容");
const QString kName = QStringLiteral("试卷名称");

// Where a case puts its value in the passing paper of pageTexts().
// NameOnly and Unnumbered: a paper whose questions have no number, which the
// check otherwise passes with a warning.
enum class Part { Name, QuestionText, ChoiceText, QuestionFlag, ChoiceFlag, NameOnly, Unnumbered };

} // namespace

Q_DECLARE_METATYPE(Part)

class TestPaperCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findings_data();
    void findings();
    void engineErrorsReachTheCaller();
    void pageTexts_data();
    void pageTexts();
    void pageTextLinesBounded();
    void hugeHostileTexts_data();
    void hugeHostileTexts();
};

void TestPaperCheck::findings_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("passed");
    QTest::newRow("missing paper") << QStringList{kMissing} << false;
    QTest::newRow("no questions") << QStringList{kEmpty} << true;
    QTest::newRow("no numbered question") << QStringList{kEmpty} << true;
    QTest::newRow("duplicate numbers") << QStringList{kDuplicate} << false;
    QTest::newRow("marks over") << QStringList{kOver} << true;
    QTest::newRow("marks under, null mark") << QStringList{kUnder} << true;
    QTest::newRow("null question text") << QStringList{kNoText} << false;
    QTest::newRow("empty text after a warning") << QStringList{kUnder, kNoText} << false;
    QTest::newRow("one choice before no correct") << QStringList{kFewChoices} << false;
    QTest::newRow("unknown type word has few choices") << QStringList{kFewChoices} << false;
    QTest::newRow("single with two correct") << QStringList{kSingleMany} << true;
    QTest::newRow("single two correct, then multi none correct")
        << QStringList{kSingleMany, kNoCorrect} << false;
    QTest::newRow("empty choice text of a true/false question")
        << QStringList{kNoChoiceText} << false;
    QTest::newRow("empty choice text") << QStringList{kNoChoiceText} << false;
    QTest::newRow("passing paper") << QStringList{} << true;
}

void TestPaperCheck::findings() {
    QFETCH(QStringList, lines);
    QFETCH(bool, passed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PaperFixture f(dir.filePath(QStringLiteral("bank.mdb")));
    banktest::SetupTransaction rows(f.conn);
    const int papId = buildCase(f, QString::fromUtf8(QTest::currentDataTag()));
    rows.commit();

    Query query(f.conn);
    QStringList written;
    const bool result = checkPaper(query, papId, [&](const QString& line) { written << line; });
    QCOMPARE(written, lines);
    QCOMPARE(result, passed);
}

void TestPaperCheck::engineErrorsReachTheCaller() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    PaperFixture f(bank);
    banktest::SetupTransaction rows(f.conn);
    const int papId = buildCase(f, QStringLiteral("passing paper"));
    rows.commit();
    f.conn.close();
    QVERIFY(QFile::remove(bank));

    Query query(f.conn);
    QStringList written;
    QVERIFY_THROWS_EXCEPTION(
        EngineError, checkPaper(query, papId, [&](const QString& line) { written << line; }));
    QVERIFY(written.isEmpty());
}

// Texts and flags that another program may have written into the bank reach
// the page unescaped. The check names the question (by its number in the
// grid) and fails where the page could not be marked.
void TestPaperCheck::pageTexts_data() {
    QTest::addColumn<Part>("part");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("passed");
    const auto row = [](const char* tag, Part part, const QVariant& value, const QStringList& lines,
                        bool passed) { QTest::newRow(tag) << part << value << lines << passed; };
    const auto text = [](const char* s) { return QVariant(QString::fromUtf8(s)); };
    const Part q = Part::QuestionText, c = Part::ChoiceText;

    // What teachers write: markup that opens and closes within the text.
    row("markup, pictures, a table", q,
        text("<b>看图</b><IMG SRC=\"images\\a.jpg\"><table><tr><td>1</td></tr></table>"), {}, true);
    row("closed comments", q, text("a<!-- 注释 -->b<!---->c<!-->d<!--->e<!-- x --!>f"), {}, true);
    row("lone less-than signs", q, text("a < b, c<d, 1<2>0 </ x> <!x> <?php ?>"), {}, true);
    row("quotes of both kinds", c, text("<a title='it\"s' href=\"x'y\">链接</a>"), {}, true);
    row("names of its own", q, text("<a name=\"sel_1\" id=Select>x</a><p id=Paper2>"), {}, true);
    row("closed raw texts", q,
        text("<style>p{}</style ><title>t</TITLE><xmp><!--</xmp><noscript></noscript>"), {}, true);
    row("old script hiding", q, text("<script><!-- x = 1; --></script>"), {script(kQuestion2)},
        true);

    // Texts that swallow the rest of the page: the grader and the submit button.
    row("unclosed comment", q, text("a<!-- b"), {swallowed(kQuestion2, "<!--", "\"-->\"")}, false);
    row("comment closed at once in a choice", c, text("<!--->"), {}, true);
    row("comment of dashes only", c, text("<!---"), {swallowed(kChoice2, "<!--", "\"-->\"")},
        false);
    row("unclosed script", q, text("<script>var x = 1;"),
        {swallowed(kQuestion2, "<script>", "</script>")}, false);
    row("script tag cut short", q, text("x<script "),
        {swallowed(kQuestion2, "<script>", "</script>")}, false);
    row("script carried past its end", q, text("<script><!--<script></script>x"),
        {swallowed(kQuestion2, "<script>", "</script>")}, false);
    row("end tag glued to the page", q, text("<style>p{}</style"),
        {swallowed(kQuestion2, "<style>", "</style>")}, false);
    row("unclosed textarea", c, text("<TEXTAREA rows=2>"),
        {swallowed(kChoice2, "<textarea>", "</textarea>")}, false);
    row("unclosed title", q, text("<title>x"), {swallowed(kQuestion2, "<title>", "</title>")},
        false);
    row("plaintext, even closed", q, text("<plaintext>x</plaintext>"),
        {swallowed(kQuestion2, "<plaintext>", "")}, false);
    row("unclosed template", q, text("<template><b>x</b>"),
        {swallowed(kQuestion2, "<template>", "</template>")}, false);
    row("comment inside svg style", q, text("<svg><style><!--</style></svg>"),
        {swallowed(kQuestion2, "<!--", "\"-->\"")}, false);
    row("unclosed cdata in svg", q, text("<svg><![CDATA[x</svg>"),
        {swallowed(kQuestion2, "<![CDATA[", "\"]]>\"")}, false);
    row("unclosed quote", c, text("<img alt=\"x>"), {openQuote(kChoice2, "<img>")}, false);
    row("unclosed quote of an end tag", c, text("</b title='x>"), {openQuote(kChoice2, "<b>")},
        false);

    // Texts that move controls out of the paper's form or shift its groups.
    row("form end and start in a choice", c, text("</FORM><FORM>"), {formTag(kChoice2, "<form>")},
        false);
    row("form end alone", c, text("</form>"),
        {QStringLiteral("警告: %1中有表单结束标记 </form>, 其后的文字再有 <form> 就会使批改结果"
                        "出错. 请删去它.")
             .arg(kChoice2)},
        true);
    row("a form of its own", q, text("<form name=f></form>"), {formTag(kQuestion2, "<form>")},
        false);
    row("control named after question 1", q, text("<input type=radio name=Sel_1 value=1>"),
        {nameClash(kQuestion2, "Sel_1")}, false);
    row("element named after the form", c, text("<img ID=\"PaperForm\">"),
        {nameClash(kChoice2, "PaperForm")}, false);
    row("submit handler shadowed", q, text("<input name='OnJudge'>"),
        {nameClash(kQuestion2, "OnJudge")}, false);
    row("name spelled with references", q, text("<b name=&#83;el&#x5f;1>"),
        {nameClash(kQuestion2, "Sel_1")}, false);
    row("name after a lowbar reference", q, text("<b id=Sel&lowbar;3>"),
        {nameClash(kQuestion2, "Sel_3")}, false);
    row("names of the script's own objects", q,
        text("<b id=Qst_2 name=Chc_1>x</b><img name=Paper>"), {}, true);

    // Harmless to the marking: warnings only.
    row("closed script", q, text("<script>alert(1)</script>"), {script(kQuestion2)}, true);
    row("control of its own", c, text("<input type=text size=3>"), {control(kChoice2, "<input>")},
        true);
    row("closed textarea", q, text("<textarea></textarea>"), {control(kQuestion2, "<textarea>")},
        true);
    row("stray table end", q, text("x</table>"), {tableParts(kQuestion2, "</table>")}, true);
    row("stray cell", c, text("<td>x"), {tableParts(kChoice2, "<td>")}, true);
    row("table left open", q, text("<table><tr><td>x"), {tableParts(kQuestion2, "<table>")}, true);

    // The paper's name stands in the page's head and above its form.
    row("name with a script", Part::Name, text("期中</title><script>x"),
        {swallowed(kName, "<script>", "</script>")}, false);
    row("name with a form", Part::Name, text("期中<form>"), {formTag(kName, "<form>")}, false);
    row("name of a paper without numbered questions", Part::NameOnly, text("期中<!--"),
        {kEmpty, swallowed(kName, "<!--", "\"-->\"")}, false);
    row("text of an unnumbered question", Part::Unnumbered, text("<textarea>"),
        {kEmpty,
         swallowed(QStringLiteral("一道没有题号的题目的题目内容"), "<textarea>", "</textarea>")},
        false);

    // Flags: the page writes true or false only; anything else is reported.
    const Part f = Part::QuestionFlag, cf = Part::ChoiceFlag;
    const QString tf1 = QStringLiteral("第 1 题"), c22 = QStringLiteral("第 2 题的选项 2 ");
    row("flag True in words", f, text("True"), {}, true);
    row("flag false in small letters", cf, text("false"), {}, true);
    row("flag with script", f, text("true);window.pwnflag=1;(true"),
        {badFlag(tf1, QStringLiteral("\"true);window.pwnflag=1;(true\""), false)}, false);
    row("choice flag with script", cf, text("false);window.pwnflag=1;(false"),
        {badFlag(c22, QStringLiteral("\"false);window.pwnflag=1;(false\""), true)}, false);
    row("flag yes", f, text("yes"), {badFlag(tf1, QStringLiteral("\"yes\""), false)}, false);
    row("flag empty", f, text(""), {badFlag(tf1, QStringLiteral("空的"), false)}, false);
    row("flag a fraction", cf, QVariant(1.5), {badFlag(c22, QStringLiteral("\"1.5\""), true)},
        false);
    row("long flag shortened", f, QVariant(QString(100, QLatin1Char('x'))),
        {badFlag(tf1, QLatin1Char('"') + QString(40, QLatin1Char('x')) + QStringLiteral("...\""),
                 false)},
        false);
}

void TestPaperCheck::pageTexts() {
    QFETCH(Part, part);
    QFETCH(QVariant, value);
    QFETCH(QStringList, lines);
    QFETCH(bool, passed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PaperFixture f(dir.filePath(QStringLiteral("bank.mdb")), PaperFixture::Types::Loose);
    banktest::SetupTransaction rows(f.conn);
    const int pap = f.addPaper(QStringLiteral("期中考试"), 100);
    const bool unnumbered = part == Part::NameOnly || part == Part::Unnumbered;
    const int q1 = f.addQuestion(pap, unnumbered ? QVariant() : QVariant(1), kTF, 50,
                                 QStringLiteral("地球是圆的"), true);
    const int q2 = f.addQuestion(pap, unnumbered ? QVariant() : QVariant(2), kSingle, 50,
                                 QStringLiteral("选一个"));
    f.addChoice(q2, 1, QStringLiteral("甲"), true);
    const int c2 = f.addChoice(q2, 2, QStringLiteral("乙"), false);
    switch (part) {
    case Part::Name:
    case Part::NameOnly:
        f.set(QStringLiteral("paper"), QStringLiteral("PapID"), pap, QStringLiteral("PapNam"),
              value);
        break;
    case Part::QuestionText:
    case Part::Unnumbered:
        f.set(QStringLiteral("question"), QStringLiteral("QstID"), q2, QStringLiteral("QstCon"),
              value);
        break;
    case Part::ChoiceText:
        f.set(QStringLiteral("choice"), QStringLiteral("ChcID"), c2, QStringLiteral("ChcCon"),
              value);
        break;
    case Part::QuestionFlag:
        f.set(QStringLiteral("question"), QStringLiteral("QstID"), q1, QStringLiteral("IsTrue"),
              value);
        break;
    case Part::ChoiceFlag:
        f.set(QStringLiteral("choice"), QStringLiteral("ChcID"), c2, QStringLiteral("IsTrue"),
              value);
        break;
    }
    rows.commit();

    Query query(f.conn);
    QStringList written;
    const bool result = checkPaper(query, pap, [&](const QString& line) { written << line; });
    QCOMPARE(written, lines);
    QCOMPARE(result, passed);
}

// A paper full of broken texts gets a bounded list, not a line per text.
void TestPaperCheck::pageTextLinesBounded() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PaperFixture f(dir.filePath(QStringLiteral("bank.mdb")));
    banktest::SetupTransaction rows(f.conn);
    const int pap = f.addPaper(QStringLiteral("期中考试"), 100);
    for (int i = 1; i <= 50; ++i)
        f.addQuestion(pap, i, kTF, 2, i % 2 ? QStringLiteral("x</table>") : QStringLiteral("<!--"));
    rows.commit();

    Query query(f.conn);
    QStringList written;
    QVERIFY(!checkPaper(query, pap, [&](const QString& line) { written << line; }));
    QCOMPARE(written.size(), 21);
    QCOMPARE(written.at(0), tableParts(QStringLiteral("第 1 题的题目内容"), "</table>"));
    QCOMPARE(written.at(1), swallowed(QStringLiteral("第 2 题的题目内容"), "<!--", "\"-->\""));
    QCOMPARE(written.last(),
             QStringLiteral("错误: 还有 30 处题目文字或正确标记有上面这样的问题没有列出, "
                            "请改正上面列出的之后再检查一次."));
}

// Texts of megabytes built to make a scan go back over them again and again:
// the check finishes and judges them as it judges short ones.
void TestPaperCheck::hugeHostileTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passed");
    const qsizetype n = 200000;
    QTest::newRow("svg styles ended at the very end")
        << QStringLiteral("<svg>") + QStringLiteral("<style>").repeated(n) +
               QStringLiteral("</style>")
        << true;
    QTest::newRow("cdata sections in svg")
        << QStringLiteral("<svg>") + QStringLiteral("<![CDATA[x>").repeated(n) +
               QStringLiteral("]]>")
        << true;
    QTest::newRow("comment starts of dashes")
        << QStringLiteral("<!--") + QStringLiteral("-!-").repeated(n) << false;
    QTest::newRow("tags without end") << QStringLiteral("<a b c d ").repeated(n) << true;
    QTest::newRow("scripts inside escaped scripts")
        << QStringLiteral("<script><!--") + QStringLiteral("<script>").repeated(n) << false;
}

void TestPaperCheck::hugeHostileTexts() {
    QFETCH(QString, text);
    QFETCH(bool, passed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PaperFixture f(dir.filePath(QStringLiteral("bank.mdb")));
    banktest::SetupTransaction rows(f.conn);
    const int pap = f.addPaper(QStringLiteral("期中考试"), 10);
    f.addQuestion(pap, 1, kTF, 10, text);
    rows.commit();

    Query query(f.conn);
    const bool result = checkPaper(query, pap, [](const QString&) {});
    QCOMPARE(result, passed);
}

QTEST_GUILESS_MAIN(TestPaperCheck)
#include "tst_papercheck.moc"
