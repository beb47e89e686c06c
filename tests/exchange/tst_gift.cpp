// The GIFT reader: files as the format's own documentation writes them, each
// kind of question, escapes, formats, categories, encodings and bad files.
#include "exchange/gift.h"
#include "exchange/textfile.h"

#include <QStringEncoder>
#include <QTest>

using namespace tess::exchange;
using tess::QuestionKind;

namespace {

// What a file gave, one line per paper, question and left-out question:
// "paper 数学|期中", "TF+ text", "S text | *right | wrong", "M ...", "skip ...".
QStringList digest(const Imported& imported) {
    QStringList out;
    for (const Paper& paper : imported.papers) {
        out << QStringLiteral("paper %1|%2").arg(paper.category, paper.name);
        for (const Question& q : paper.questions) {
            QString line = q.kind == QuestionKind::TrueFalse
                               ? (q.answer ? QStringLiteral("TF+ ") : QStringLiteral("TF- "))
                           : q.kind == QuestionKind::Single ? QStringLiteral("S ")
                                                            : QStringLiteral("M ");
            line += q.html;
            for (const Choice& c : q.choices)
                line += (c.correct ? QStringLiteral(" | *") : QStringLiteral(" | ")) + c.html;
            out << line;
        }
    }
    for (const QString& s : imported.skipped)
        out << QStringLiteral("skip ") + s;
    return out;
}

QStringList lines(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* line : list)
        out << QString::fromUtf8(line);
    return out;
}

QStringList read(const QByteArray& bytes) {
    return digest(readGift(bytes, QStringLiteral("/home/t/题库/quiz.gift")));
}

// The documentation's opening sample, every kind side by side.
const char* const overview =
    "// true-false\n"
    "::Q1:: 1+1=2 {T}\n"
    "\n"
    "// multiple choice with specified feedback for right and wrong answers\n"
    "::Q2:: What's between orange and green in the spectrum?\n"
    "{ =yellow # right; good! ~red # wrong, it's yellow ~blue # wrong, it's yellow }\n"
    "\n"
    "// fill-in-the-blank\n"
    "::Q3:: Two plus {=two =2} equals four.\n"
    "\n"
    "// matching\n"
    "::Q4:: Which animal eats which food? { =cat -> cat food =dog -> dog food }\n"
    "\n"
    "// math range question\n"
    "::Q5:: What is a number from 1 to 5? {#3:2}\n"
    "\n"
    "// math range specified with interval end points\n"
    "::Q6:: What is a number from 1 to 5? {#1..5}\n"
    "// translated on import to the same as Q5, but unavailable from Moodle question interface\n"
    "\n"
    "// multiple numeric answers with partial credit and feedback\n"
    "::Q7:: When was Ulysses S. Grant born? {#\n"
    "         =1822:0      # Correct! Full credit.\n"
    "         =%50%1822:2  # He was born in 1822. Half credit for being close.\n"
    "}\n"
    "\n"
    "// essay\n"
    "::Q8:: How are you? {}\n";

} // namespace

class TestGift : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void kinds_data() {
        QTest::addColumn<QByteArray>("gift");
        QTest::addColumn<QStringList>("expected");
        const char* const paper = "paper |quiz";

        QTest::newRow("documentation overview")
            << QByteArray(overview)
            << lines({paper, "TF+ 1+1=2",
                      "S What's between orange and green in the spectrum? | *yellow | red | "
                      "blue",
                      "skip 第 9 行 Q3 (简答题)", "skip 第 12 行 Q4 (匹配题)",
                      "skip 第 15 行 Q5 (数值题)", "skip 第 18 行 Q6 (数值题)",
                      "skip 第 22 行 Q7 (数值题)", "skip 第 28 行 Q8 (论述题)"});
        QTest::newRow("true/false")
            << QByteArray("Grant is buried in Grant's tomb.{F}\n\n"
                          "The sun rises in the east.{T}\n\n"
                          "Grant is buried in Grant's tomb.{FALSE#No one is buried in Grant's "
                          "tomb.}\n\n"
                          "The sun rises in the east.{TRUE#wrong#right}\n\n"
                          "lower case {true}\n")
            << lines({paper, "TF- Grant is buried in Grant's tomb.",
                      "TF+ The sun rises in the east.", "TF- Grant is buried in Grant's tomb.",
                      "TF+ The sun rises in the east.", "TF+ lower case"});
        QTest::newRow("single choice")
            << QByteArray("Who's buried in Grant's tomb?{~Grant ~Jefferson =no one}\n\n"
                          "What's the answer to this multiple-choice question? {\n"
                          "~wrong answer#feedback comment on the wrong answer\n"
                          "~another wrong answer#feedback comment on this wrong answer\n"
                          "=right answer#Very good!}\n\n"
                          "What is the capital of France? {=Paris ~London ~Berlin ####Paris is "
                          "the capital of France}\n")
            << lines({paper, "S Who's buried in Grant's tomb? | Grant | Jefferson | *no one",
                      "S What's the answer to this multiple-choice question? | wrong answer "
                      "| another wrong answer | *right answer",
                      "S What is the capital of France? | *Paris | London | Berlin"});
        QTest::newRow("answers inside the text")
            << QByteArray("Moodle costs {~lots of money =nothing ~a small amount} to download, "
                          "use, modify and distribute.\n")
            << lines({paper, "S Moodle costs _____ to download, use, modify and distribute. | lots "
                             "of money | *nothing | a small amount"});
        QTest::newRow("multiple choice")
            << QByteArray("What two people are entombed in Grant's tomb? {\n"
                          "   ~%-100%No one\n"
                          "   ~%50%Grant\n"
                          "   ~%50%Grant's wife\n"
                          "   ~%-100%Grant's father\n"
                          "}\n\n"
                          "Difficult question.{~wrong answer ~%50%half credit answer =full credit "
                          "answer}\n\n"
                          "Zero is not right.{~%0%zero ~%100%all ~%-33.333%less}\n\n"
                          "Two marked right.{=a =b ~c}\n")
            << lines({paper,
                      "M What two people are entombed in Grant's tomb? | No one | *Grant | "
                      "*Grant's wife | Grant's father",
                      "M Difficult question. | wrong answer | *half credit answer | *full "
                      "credit answer",
                      "M Zero is not right. | zero | *all | less",
                      "M Two marked right. | *a | *b | c"});
        QTest::newRow("kinds left out")
            << QByteArray("Who's buried in Grant's tomb?{=no one =nobody}\n\n"
                          "::Kanji Origins::Japanese characters originally came from what "
                          "country? {=China}\n\n"
                          "Match the following countries with their corresponding capitals. {\n"
                          "    =Canada -> Ottawa\n"
                          "    =Italy  -> Rome\n"
                          "}\n\n"
                          "When was Ulysses S. Grant born?{#1822:5}\n\n"
                          "Write a short biography of Dag Hammarskjöld. {####general feedback}\n\n"
                          "You can use your pencil and paper for these next math questions.\n\n"
                          "::Intro:: no braces here\n\n"
                          "Kept {T}\n")
            << lines({paper, "TF+ Kept", "skip 第 1 行 Who's buried in Gran… (简答题)",
                      "skip 第 3 行 Kanji Origins (简答题)",
                      "skip 第 5 行 Match the following… (匹配题)",
                      "skip 第 10 行 When was Ulysses S.… (数值题)",
                      "skip 第 12 行 Write a short biogra… (论述题)",
                      "skip 第 14 行 You can use your pen… (说明)", "skip 第 16 行 Intro (说明)"});
        QTest::newRow("escapes")
            << QByteArray("Which answer equals 5? {\n"
                          "    ~ \\= 2 + 2\n"
                          "    = \\= 2 + 3\n"
                          "    ~ \\= 2 + 4  }\n\n"
                          "Braces \\{ and \\} and \\# and \\~ and \\: and \\\\ stay.\\nNew line. "
                          "{T}\n\n"
                          "Answers {=50\\% off\\#1 ~a \\~ b#feedback \\# too}\n")
            << lines({paper, "S Which answer equals 5? | = 2 + 2 | *= 2 + 3 | = 2 + 4",
                      "TF+ Braces { and } and # and ~ and : and \\ stay.<br>New line.",
                      "S Answers | *50\\% off#1 | a ~ b"});
        QTest::newRow("formats and plain text")
            << QByteArray("::Kansas City Plan::[html]<p>Which <b>is</b> right?</p>{=<i>this</i> "
                          "~[plain]<i>that</i>}\n\n"
                          "[markdown]Is *this* <ok>? {T}\n\n"
                          "[moodle]Tom & \"Jerry\" {F}\n\n"
                          "[plain]   first line  \n   second line {T}\n\n"
                          "No marker {=[html]<b>bold</b> ~<b>plain</b>}\n")
            << lines({paper,
                      "S <p>Which <b>is</b> right?</p> | *<i>this</i> | "
                      "&lt;i&gt;that&lt;/i&gt;",
                      "TF+ Is *this* &lt;ok&gt;?", "TF- Tom &amp; &quot;Jerry&quot;",
                      "TF+ first line<br>second line",
                      "S No marker | *<b>bold</b> | &lt;b&gt;plain&lt;/b&gt;"});
        QTest::newRow("comments and line ends")
            << QByteArray("// a comment\r\nOne\r\n// inside a question\r\ntwo {T}\r\n\r\n"
                          "   // indented comment\r\n\r\nThree {F}")
            << lines({paper, "TF+ One<br>two", "TF- Three"});
        QTest::newRow("categories")
            << QByteArray("Before {T}\n\n"
                          "$CATEGORY: $course$/top/数学/期中\n\n"
                          "第一题 {T}\n\n"
                          "$CATEGORY: 语文\n"
                          "第二题 {F}\n\n"
                          "$CATEGORY: tom/dick/harry\n\n"
                          "$CATEGORY: $course$/top/数学/期中\n\n"
                          "第三题 {T}\n\n"
                          "$category: 空的\n\n"
                          "不能导入 {}\n")
            << lines({"paper |quiz", "TF+ Before", "paper 数学|期中", "TF+ 第一题", "TF+ 第三题",
                      "paper |语文", "TF- 第二题", "skip 第 18 行 不能导入 (论述题)"});
        QTest::newRow("no questions before the first category")
            << QByteArray("// 期末\n$CATEGORY: 物理/期末\n\n题 {T}\n")
            << lines({"paper 物理|期末", "TF+ 题"});
    }

    void kinds() {
        QFETCH(QByteArray, gift);
        QFETCH(QStringList, expected);
        QCOMPARE(read(gift), expected);
    }

    void questionFields() {
        const Imported imported =
            readGift(QByteArray("\n// c\n::标题 \\: 一:: 题 {T}\n\n第二题\n{=a ~b}\n"),
                     QStringLiteral("C:\\题库\\期中.v2.gift"));
        QCOMPARE(imported.papers.size(), 1);
        QCOMPARE(imported.papers[0].name, QStringLiteral("期中.v2"));
        QVERIFY(imported.papers[0].category.isEmpty());
        const QVector<Question>& qs = imported.papers[0].questions;
        QCOMPARE(qs.size(), 2);
        QCOMPARE(qs[0].name, QStringLiteral("标题 : 一"));
        QCOMPARE(qs[0].line, 3);
        QCOMPARE(qs[0].mark, 1);
        QVERIFY(qs[0].choices.isEmpty());
        QVERIFY(qs[1].name.isEmpty());
        QCOMPARE(qs[1].line, 5);
        QCOMPARE(qs[1].mark, 1);
    }

    void encodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral("$CATEGORY: 数学/期中\n\n"
                                            "::鸡兔同笼::鸡兔同笼，头 35，脚 94，鸡有几只？"
                                            "{=23 只 ~12 只 ~35 只}\n");
        QTest::newRow("UTF-8") << text.toUtf8();
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QStringEncoder gbk("GBK");
        QVERIFY(gbk.isValid());
        const QByteArray gbkBytes = gbk(text);
        QVERIFY(!gbk.hasError());
        QVERIFY(gbkBytes != text.toUtf8());
        QTest::newRow("GBK") << gbkBytes;
    }

    void encodings() {
        QFETCH(QByteArray, bytes);
        const QStringList expected = lines(
            {"paper 数学|期中", "S 鸡兔同笼，头 35，脚 94，鸡有几只？ | *23 只 | 12 只 | 35 只"});
        QCOMPARE(read(bytes), expected);
    }

    void badFiles_data() {
        QTest::addColumn<QByteArray>("gift");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("says"); // a part of the message; empty: any
        QTest::newRow("unclosed brace") << QByteArray("Q1 {T}\n\nQ2 {=a ~b\n") << 3 << QString();
        QTest::newRow("brace closed after a blank line")
            << QByteArray("Q {=a\n~b\n\n}\n") << 1 << QString();
        QTest::newRow("second question without a blank line")
            << QByteArray("Q1 {T}\nQ2 {F}\n") << 2 << QString();
        QTest::newRow("closing brace first") << QByteArray("\nQ } {T}\n") << 2 << QString();
        QTest::newRow("closing brace after the answers")
            << QByteArray("Q {T}\n}\n") << 2 << QString();
        QTest::newRow("single choice with no right answer")
            << QByteArray("Q1 {T}\n\n// c\n::无答案::\nQ {~a ~b}\n") << 4 << QString();
        QTest::newRow("answers not starting with = or ~")
            << QByteArray("Q {a ~b =c}\n") << 1 << QString();
        QTest::newRow("unknown answer") << QByteArray("Q {\nmaybe}\n") << 2 << QString();
        QTest::newRow("bad weight") << QByteArray("Q {\n=a\n~%abc%b}\n") << 3 << QString();
        QTest::newRow("unclosed weight") << QByteArray("Q {=a ~%50 b}\n") << 1 << QString();
        QTest::newRow("weights that do not add up")
            << QByteArray("Q1 {T}\n\nQ2 {~%30%a ~%30%b ~%-100%c}\n") << 3 << QString();
        QTest::newRow("weights with nothing right")
            << QByteArray("Q {~%-50%a ~%0%b}\n") << 1 << QString();
        QTest::newRow("empty choice") << QByteArray("Q {=a\n~ #feedback\n}\n") << 2 << QString();
        QTest::newRow("unclosed title") << QByteArray("\n::title Q {T}\n") << 2 << QString();
        QTest::newRow("no question text") << QByteArray("::title:: {T}\n") << 1 << QString();
        QTest::newRow("empty file") << QByteArray() << 1 << QString();
        QTest::newRow("blank file") << QByteArray(" \n\n\t\n") << 1 << QString();
        QTest::newRow("comments only") << QByteArray("// nothing\n\n// here\n") << 1 << QString();
        QTest::newRow("only kinds left out")
            << QByteArray("Essay {}\n\nShort {=a}\n") << 1 << QString();
        QTest::newRow("neither UTF-8 nor GBK")
            << QByteArray("Q {T}\n\n\xFF\xFF {F}\n") << 3 << QString();
        // Each line is fine in one of the two, so no line is named but the first.
        QTest::newRow("a UTF-8 line, then a GBK one")
            << QByteArray("Q \xE2\x82\xAC {T}\n\nQ \xD6\xD0 {F}\n") << 1 << QString();
        QTest::newRow("bad bytes after a million blank lines")
            << QByteArray(1000000, '\n') + "\xFF" << 1000001 << QString();
        QTest::newRow("NUL in a question")
            << QByteArray("Q1 {T}\n\nQ2 a\0b {F}\n", 19) << 3 << QStringLiteral("空字符");
    }

    void badFiles() {
        QFETCH(QByteArray, gift);
        QFETCH(int, line);
        QFETCH(QString, says);
        try {
            readGift(gift, QStringLiteral("bad.gift"));
            QFAIL("read without an error");
        } catch (const ExchangeError& e) {
            const QString prefix = QStringLiteral("第 %1 行: ").arg(line);
            QVERIFY2(e.message().startsWith(prefix), qPrintable(e.message()));
            QVERIFY2(e.message().size() > prefix.size(), qPrintable(e.message()));
            QVERIFY2(e.message().contains(says), qPrintable(e.message()));
        }
    }

    // Questions, those left out and choices count together up to 100,000 a
    // file; the first one past that is refused at its line, however the
    // file spreads them. A question of many answers is read in one pass.
    void tooManyRecords_data() {
        QTest::addColumn<QByteArray>("gift");
        QTest::addColumn<int>("line"); // 0: read
        QTest::newRow("100,000 questions") << QByteArray("Q {T}\n\n").repeated(100000) << 0;
        QTest::newRow("100,001 questions") << QByteArray("Q {T}\n\n").repeated(100001) << 200001;
        QTest::newRow("left out ones count")
            << QByteArray("Q {}\n\n").repeated(50000) + QByteArray("Q {T}\n\n").repeated(50001)
            << 200001;
        QTest::newRow("200,000 answers a line each")
            << "Q {\n=a\n" + QByteArray("~b\n").repeated(200000) + "}\n"
            << 100002;
        QTest::newRow("500,000 answers on one line")
            << "Q {=a" + QByteArray("~b").repeated(500000) + "}\n"
            << 1;
    }

    void tooManyRecords() {
        QFETCH(QByteArray, gift);
        QFETCH(int, line);
        QString message;
        try {
            readGift(gift, QStringLiteral("many.gift"));
        } catch (const ExchangeError& e) {
            message = e.message();
        }
        if (line == 0)
            QVERIFY2(message.isEmpty(), qPrintable(message));
        else
            QCOMPARE(
                message,
                QStringLiteral("第 %1 行: 文件里的题目和选项超过了 100000 个, 一次导入不了这么多, "
                               "请把文件分成几个再导入.")
                    .arg(line));
    }
};

QTEST_GUILESS_MAIN(TestGift)
#include "tst_gift.moc"
