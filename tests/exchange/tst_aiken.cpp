// The Aiken reader: the format's own documentation sample, questions over
// several lines, HTML escaping, encodings and bad files.
#include "exchange/aiken.h"

#include <QStringEncoder>
#include <QTest>

using namespace tess::exchange;
using tess::QuestionKind;

namespace {

QStringList lines(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* line : list)
        out << QString::fromUtf8(line);
    return out;
}

// One line per question: "text | *right | wrong | ...", the line it starts on first.
QStringList read(const QByteArray& bytes) {
    const Imported imported = readAiken(bytes, QStringLiteral("/home/t/题库/期中.txt"));
    QStringList out;
    if (!imported.skipped.isEmpty())
        out << QStringLiteral("skipped");
    for (const Paper& paper : imported.papers) {
        out << QStringLiteral("paper %1|%2").arg(paper.category, paper.name);
        for (const Question& q : paper.questions) {
            QString line = QString::number(q.line) + QLatin1Char(' ') + q.html;
            if (q.kind != QuestionKind::Single || q.mark != 1 || !q.name.isEmpty())
                line += QStringLiteral(" (not a plain single choice)");
            for (const Choice& c : q.choices)
                line += (c.correct ? QStringLiteral(" | *") : QStringLiteral(" | ")) + c.html;
            out << line;
        }
    }
    return out;
}

// The documentation's sample.
const char* const documented = "What is the correct answer to this question?\n"
                               "A. Is it this one?\n"
                               "B. Maybe this answer?\n"
                               "C. Possibly this one?\n"
                               "ANSWER: A\n"
                               "\n"
                               "Which LMS has the most quiz import formats?\n"
                               "A) Moodle\n"
                               "B) ATutor\n"
                               "C) Claroline\n"
                               "D) Blackboard\n"
                               "E) WebCT\n"
                               "F) Ilias\n"
                               "ANSWER: A\n";

} // namespace

class TestAiken : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void questions_data() {
        QTest::addColumn<QByteArray>("aiken");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("documentation sample")
            << QByteArray(documented)
            << lines({"paper |期中",
                      "1 What is the correct answer to this question? | *Is it this one? | Maybe "
                      "this answer? | Possibly this one?",
                      "7 Which LMS has the most quiz import formats? | *Moodle | ATutor | "
                      "Claroline | Blackboard | WebCT | Ilias"});
        QTest::newRow("text over several lines, escaped, no blank lines between")
            << QByteArray("  下列哪个数\n最大？  \n"
                          "A.  1 < 2 \n"
                          "B) \"3\" & 4\n"
                          "ANSWER:  B\n"
                          "Is A.B a choice?\n"
                          "A.\tyes\n"
                          "B. no\n"
                          "ANSWER:A\n")
            << lines({"paper |期中", "1 下列哪个数<br>最大？ | 1 &lt; 2 | *&quot;3&quot; &amp; 4",
                      "6 Is A.B a choice? | *yes | no"});
        QTest::newRow("blank lines and Windows line ends")
            << QByteArray("\r\n\r\nQ1\r\n\r\nA. a\r\n\r\nB. b\r\nANSWER: B\r\n\r\n\r\n")
            << lines({"paper |期中", "3 Q1 | a | *b"});
        QTest::newRow("choice letters up to Z")
            << QByteArray("Q\nA. a\nB. b\nC. c\nD. d\nE. e\nF. f\nG. g\nH. h\nI. i\nJ. j\nK. "
                          "k\nL. l\nM. m\nN. n\nO. o\nP. p\nQ. q\nR. r\nS. s\nT. t\nU. u\nV. "
                          "v\nW. w\nX. x\nY. y\nZ. z\nANSWER: Z\n")
            << lines({"paper |期中", "1 Q | a | b | c | d | e | f | g | h | i | j | k | l | m | "
                                     "n | o | p | q | r | s | t | u | v | w | x | y | *z"});
    }

    void questions() {
        QFETCH(QByteArray, aiken);
        QFETCH(QStringList, expected);
        QCOMPARE(read(aiken), expected);
    }

    void encodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral("中国的首都是哪里？\nA. 上海\nB. 北京\nANSWER: B\n");
        QTest::newRow("UTF-8") << text.toUtf8();
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QStringEncoder gbk("GBK");
        const QByteArray gbkBytes = gbk(text);
        QVERIFY(!gbk.hasError());
        QTest::newRow("GBK") << gbkBytes;
    }

    void encodings() {
        QFETCH(QByteArray, bytes);
        const QStringList expected = lines({"paper |期中", "1 中国的首都是哪里？ | 上海 | *北京"});
        QCOMPARE(read(bytes), expected);
    }

    void paperNamedAfterFile() {
        const QByteArray q("Q\nA. a\nANSWER: A\n");
        QCOMPARE(readAiken(q, QStringLiteral("C:\\题库\\2024.期末.txt")).papers[0].name,
                 QStringLiteral("2024.期末"));
        QCOMPARE(readAiken(q, QStringLiteral("quiz")).papers[0].name, QStringLiteral("quiz"));
    }

    void badFiles_data() {
        QTest::addColumn<QByteArray>("aiken");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("says"); // a part of the message; empty: any
        QTest::newRow("no ANSWER at the end")
            << QByteArray("Q1\nA. a\nANSWER: A\n\nQ2\nA. a\n") << 5 << QString();
        QTest::newRow("no ANSWER before the next question")
            << QByteArray("\nQ1\nA. a\nB. b\nQ2\nA. a\nANSWER: A\n") << 2 << QString();
        QTest::newRow("question without choices") << QByteArray("Q1\n") << 1 << QString();
        QTest::newRow("ANSWER names no choice")
            << QByteArray("Q\nA. a\nB. b\nANSWER: C\n") << 4 << QString();
        QTest::newRow("ANSWER names two letters")
            << QByteArray("Q\nA. a\nB. b\nANSWER: AB\n") << 4 << QString();
        QTest::newRow("ANSWER without a letter")
            << QByteArray("Q\nA. a\n\nANSWER:\n") << 4 << QString();
        QTest::newRow("ANSWER in lower case")
            << QByteArray("Q\nA. a\nB. b\nANSWER: b\n") << 4 << QString();
        QTest::newRow("ANSWER before any choice") << QByteArray("Q\nANSWER: A\n") << 2 << QString();
        QTest::newRow("letter skipped")
            << QByteArray("Q\nA. a\nC. c\nANSWER: A\n") << 3 << QString();
        QTest::newRow("letters backwards")
            << QByteArray("Q\nB. b\nA. a\nANSWER: A\n") << 2 << QString();
        QTest::newRow("choice before any question")
            << QByteArray("\n\nA. a\nANSWER: A\n") << 3 << QString();
        QTest::newRow("empty file") << QByteArray() << 1 << QString();
        QTest::newRow("blank file") << QByteArray("\n \r\n\t\n") << 1 << QString();
        QTest::newRow("neither UTF-8 nor GBK") << QByteArray("Q\n\x81\n") << 2 << QString();
        // Z is the last letter: a 27th choice is refused as such, whatever letter it has.
        QByteArray letters;
        for (char letter = 'A'; letter <= 'Z'; ++letter)
            letters += letter + QByteArray(". c\n");
        QTest::newRow("27 choices")
            << "Q\n" + letters + "A. more\nANSWER: A\n"
            << 28 << QStringLiteral("一道题最多有 26 个选项 (A 到 Z), 这是第 27 个");
        // A NUL is never typed; mostly it is a UTF-16 file.
        QTest::newRow("NUL in a choice")
            << QByteArray("Q\nA. a\0b\nANSWER: A\n", 19) << 2 << QStringLiteral("空字符");
        QTest::newRow("UTF-16 without a byte order mark")
            << QByteArray("Q\0\n\0", 4) << 1 << QStringLiteral("UTF-16");
    }

    void badFiles() {
        QFETCH(QByteArray, aiken);
        QFETCH(int, line);
        QFETCH(QString, says);
        try {
            readAiken(aiken, QStringLiteral("bad.txt"));
            QFAIL("read without an error");
        } catch (const ExchangeError& e) {
            const QString prefix = QStringLiteral("第 %1 行: ").arg(line);
            QVERIFY2(e.message().startsWith(prefix), qPrintable(e.message()));
            QVERIFY2(e.message().size() > prefix.size(), qPrintable(e.message()));
            QVERIFY2(e.message().contains(says), qPrintable(e.message()));
        }
    }

    // Questions and choices count together up to 100,000 a file; the first
    // one past that is refused at its line.
    void tooManyRecords_data() {
        QTest::addColumn<QByteArray>("aiken");
        QTest::addColumn<int>("line"); // 0: read
        const QByteArray question = "Q\nA. a\nANSWER: A\n";
        QTest::newRow("50,000 questions of one choice") << question.repeated(50000) << 0;
        // The 50,001st question's choice, on its second line.
        QTest::newRow("50,001 questions of one choice") << question.repeated(50001) << 150002;
    }

    void tooManyRecords() {
        QFETCH(QByteArray, aiken);
        QFETCH(int, line);
        QString message;
        try {
            readAiken(aiken, QStringLiteral("many.txt"));
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

QTEST_GUILESS_MAIN(TestAiken)
#include "tst_aiken.moc"
