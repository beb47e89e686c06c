// A paper read for printing: its sections, numbering, marks and choices as
// the page has them, what the check says of it, and a bank left as it was.
#include "bankhelpers.h"
#include "checklines.h"
#include "generate/papercheck.h"
#include "print/printedpaper.h"
#include "store/engineerror.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace tess;
using namespace checklines;
using namespace tess::print;

namespace {

const QString kTF = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");
const QString kMulti = QStringLiteral("多选题");

// One question of a table row. choices: one character a choice, in stored
// order: '+' right, '-' wrong, 'e' wrong with an empty text. Questions are
// numbered 1, 2, ... in their order unless number says otherwise.
struct Q {
    QString type;
    int mark = 0;
    QVariant text; // null for a null text
    QByteArray choices;
    std::optional<QVariant> number{}; // a default, so that rows need not name it
};

QString sqlValue(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("null");
    if (value.typeId() == QMetaType::Int)
        return QString::number(value.toInt());
    return banktest::quoted(value.toString());
}

// Rows of papers written as statements, so that they go into a bank of this
// program and into one made by another program alike.
struct BankRows {
    QStringList statements;
    int nextPap = 1, nextQst = 1, nextChc = 1;

    int addPaper(const QString& name, const QVariant& fullMark, const QList<Q>& questions) {
        const int pap = nextPap++;
        statements << QStringLiteral(
                          "insert into paper (PapID, PapNam, PapScr) values (%1, %2, %3)")
                          .arg(pap)
                          .arg(banktest::quoted(name), sqlValue(fullMark));
        int number = 0;
        for (const Q& q : questions) {
            const int id = nextQst++;
            statements << QStringLiteral(
                              "insert into question (QstID, PapIdx, QstIdx, QstTyp, "
                              "QstScr, QstCon, IsTrue) values (%1, %2, %3, %4, %5, %6, 1)")
                              .arg(id)
                              .arg(pap)
                              .arg(sqlValue(q.number.value_or(++number)))
                              .arg(banktest::quoted(q.type))
                              .arg(q.mark)
                              .arg(sqlValue(q.text));
            for (int i = 0; i < q.choices.size(); ++i)
                statements << QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, "
                                             "ChcCon) values (%1, %2, %3, %4, %5)")
                                  .arg(nextChc++)
                                  .arg(id)
                                  .arg(i + 1)
                                  .arg(q.choices[i] == '+' ? 1 : 0)
                                  .arg(q.choices[i] == 'e' ? QStringLiteral("''")
                                                           : QStringLiteral("'选项%1'").arg(i + 1));
        }
        return pap;
    }
};

// A bank whose tables take any type, as another program may have made it.
// Its rows go in after kLoose.
const QString kLoose = QStringLiteral("pragma ignore_check_constraints = on");
bool makeLooseBank(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const QByteArray schema =
        paperBankSchema().replace(QStringLiteral(") STRICT;"), QStringLiteral(");")).toUtf8();
    const int rc = sqlite3_exec(db, schema.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

// A section as "一、判断题 5: 2 4", its questions by their place in the stored
// order (from 1), each numbered in turn from 1 and checked to be that question.
QStringList sectionsOf(const PrintedPaper& paper, const QList<Q>& stored) {
    QStringList lines;
    for (const PrintedSection& s : paper.sections) {
        QString line = s.title + QLatin1Char(' ') + QString::number(s.marks) + QLatin1Char(':');
        int expected = 0;
        for (const PrintedQuestion& q : s.questions) {
            int place = 0;
            for (int i = 0; i < stored.size(); ++i)
                if (stored[i].text.toString() == q.content.html)
                    place = i + 1;
            line += QLatin1Char(' ') + QString::number(place);
            if (q.number != ++expected || q.content.kind != s.kind ||
                (place > 0 && q.content.mark != stored[place - 1].mark))
                line += QStringLiteral("(wrong number, part or mark)");
        }
        lines << line;
    }
    return lines;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(QList<Q>)

class TestPrintedPaper : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sections_data();
    void sections();
    void pageOrderAndChoices();
    void checkFindings_data();
    void checkFindings();
    void choiceLetter_data();
    void choiceLetter();
    void refused_data();
    void refused();
    void engineErrorsStayEngineErrors();
    void readingNeverWritesTheBank();
};

void TestPrintedPaper::sections_data() {
    QTest::addColumn<QList<Q>>("stored");
    QTest::addColumn<QStringList>("expected");
    const auto tf = [](const char* text, int mark) {
        return Q{kTF, mark, QString::fromLatin1(text), {}};
    };
    const auto single = [](const char* text, int mark) {
        return Q{kSingle, mark, QString::fromLatin1(text), "+-"};
    };
    const auto multi = [](const char* text, int mark) {
        return Q{kMulti, mark, QString::fromLatin1(text), "++-"};
    };

    QTest::newRow("all three, stored mixed")
        << QList<Q>{multi("m1", 10), tf("t1", 5), single("s1", 20), tf("t2", 7), multi("m2", 3)}
        << QStringList{QStringLiteral("一、判断题 12: 2 4"), QStringLiteral("二、单选题 20: 3"),
                       QStringLiteral("三、多选题 13: 1 5")};
    QTest::newRow("no true/false: the numerals start at one")
        << QList<Q>{multi("m1", 10), single("s1", 20), single("s2", 1)}
        << QStringList{QStringLiteral("一、单选题 21: 2 3"), QStringLiteral("二、多选题 10: 1")};
    QTest::newRow("true/false and multiple only")
        << QList<Q>{multi("m1", 4), tf("t1", 6)}
        << QStringList{QStringLiteral("一、判断题 6: 2"), QStringLiteral("二、多选题 4: 1")};
    QTest::newRow("one section") << QList<Q>{single("s1", 50), single("s2", 50)}
                                 << QStringList{QStringLiteral("一、单选题 100: 1 2")};
    // The page shows every other type word as multiple choice.
    QTest::newRow("unknown type word is multiple choice")
        << QList<Q>{Q{QStringLiteral("填空题"), 8, QStringLiteral("x1"), "+-"}, tf("t1", 2)}
        << QStringList{QStringLiteral("一、判断题 2: 2"), QStringLiteral("二、多选题 8: 1")};
    QTest::newRow("zero marks") << QList<Q>{tf("t1", 0), tf("t2", 0)}
                                << QStringList{QStringLiteral("一、判断题 0: 1 2")};
}

void TestPrintedPaper::sections() {
    QFETCH(QList<Q>, stored);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    BankRows rows;
    // Another paper's questions never show.
    rows.addPaper(QStringLiteral("别的试卷"), 10, {{kTF, 10, QStringLiteral("t1"), {}}});
    const int pap = rows.addPaper(QStringLiteral("期中考试"), 100, stored);
    banktest::BankConnection conn(bank);
    banktest::executeInOneTransaction(conn, rows.statements);

    const PrintedPaper paper = readPrintedPaper(conn, pap);
    QCOMPARE(paper.papId, pap);
    QCOMPARE(paper.name, QStringLiteral("期中考试"));
    QCOMPARE(sectionsOf(paper, stored), expected);
    QCOMPARE(paper.questionCount(), stored.size());
    int sum = 0;
    for (const Q& q : stored)
        sum += q.mark;
    QCOMPARE(paper.markSum(), sum);
}

void TestPrintedPaper::pageOrderAndChoices() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    // The page goes by the questions' and choices' identifiers, whatever
    // numbers they carry; the choices keep their stored numbers, gaps and all.
    banktest::executeInOneTransaction(
        conn,
        {QStringLiteral("insert into paper (PapID, PapNam, PapScr) values (5, '顺序', 15)"),
         QStringLiteral(
             "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) "
             "values (1, 5, 3, '多选题', 5, '<b>选出</b>偶数', 1), "
             "(3, 5, 1, '判断题', 5, '月亮是方的', 1), (2, 5, 9, '判断题', 5, '地球是圆的', 0)"),
         QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
                        "(12, 1, 7, 1, '<i>四</i>'), (10, 1, 3, 1, '二'), (11, 1, 1, 0, '一')")});

    const PrintedPaper paper = readPrintedPaper(conn, 5);
    QCOMPARE(paper.sections.size(), 2);
    const PrintedSection& tf = paper.sections[0];
    QCOMPARE(tf.questions.size(), 2);
    QCOMPARE(tf.questions[0].number, 1);
    QCOMPARE(tf.questions[0].content.html, QStringLiteral("地球是圆的"));
    QCOMPARE(tf.questions[0].content.answer, false);
    QVERIFY(tf.questions[0].content.choices.isEmpty());
    QCOMPARE(tf.questions[1].number, 2);
    QCOMPARE(tf.questions[1].content.html, QStringLiteral("月亮是方的"));
    QCOMPARE(tf.questions[1].content.answer, true);
    const PageQuestion& m = paper.sections[1].questions.at(0).content;
    QCOMPARE(m.html, QStringLiteral("<b>选出</b>偶数"));
    QStringList seen;
    for (const PageChoice& c : m.choices)
        seen << c.number + QLatin1Char(':') + c.html + QLatin1Char(c.correct ? '+' : '-');
    QCOMPARE(seen, (QStringList{QStringLiteral("3:二+"), QStringLiteral("1:一-"),
                                QStringLiteral("7:<i>四</i>+")}));
}

// One table of papers for the check that publishing runs and for the key:
// the key lists the check's lines, word for word, and nothing else.
void TestPrintedPaper::checkFindings_data() {
    QTest::addColumn<QVariant>("fullMark");
    QTest::addColumn<QList<Q>>("stored");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("passed");
    const QString a = QStringLiteral("a");

    QTest::newRow("clean paper") << QVariant(100)
                                 << QList<Q>{{kTF, 20, a, {}},
                                             {kSingle, 40, a, "-+-"},
                                             {kMulti, 40, a, "++-"}}
                                 << QStringList{} << true;
    QTest::newRow("marks over the full mark")
        << QVariant(50) << QList<Q>{{kTF, 30, a, {}}, {kTF, 30, a, {}}} << QStringList{kOver}
        << true;
    QTest::newRow("marks under the full mark")
        << QVariant(100) << QList<Q>{{kTF, 30, a, {}}} << QStringList{kUnder} << true;
    // The check reads the full mark as a whole number: 99.5 as 99, none as 0.
    QTest::newRow("full mark a fraction")
        << QVariant(QStringLiteral("99.5")) << QList<Q>{{kTF, 100, a, {}}} << QStringList{kOver}
        << true;
    QTest::newRow("full mark empty")
        << QVariant() << QList<Q>{{kTF, 100, a, {}}} << QStringList{kOver} << true;
    QTest::newRow("two questions numbered alike")
        << QVariant(100) << QList<Q>{{kTF, 50, a, {}, 1}, {kSingle, 50, a, "+-", 1}}
        << QStringList{kDuplicate} << false;
    // count() skips them, distinct lists the missing number once.
    QTest::newRow("no question numbered")
        << QVariant(100) << QList<Q>{{kTF, 50, a, {}, QVariant()}, {kTF, 50, a, {}, QVariant()}}
        << QStringList{kEmpty} << true;
    QTest::newRow("single with several right, in the second section")
        << QVariant(100) << QList<Q>{{kTF, 50, a, {}}, {kSingle, 50, a, "+-+"}}
        << QStringList{kSingleMany} << true;
    QTest::newRow("multiple with several right is fine")
        << QVariant(100) << QList<Q>{{kMulti, 100, a, "+++"}} << QStringList{} << true;
    QTest::newRow("no right choice")
        << QVariant(100) << QList<Q>{{kMulti, 50, a, "+-"}, {kMulti, 50, a, "--"}}
        << QStringList{kNoCorrect} << false;
    QTest::newRow("single two right, then multiple none right")
        << QVariant(100) << QList<Q>{{kSingle, 50, a, "++-"}, {kMulti, 50, a, "--"}}
        << QStringList{kSingleMany, kNoCorrect} << false;
    // The check stops at the first error.
    QTest::newRow("fewer than two choices")
        << QVariant(100) << QList<Q>{{kSingle, 50, a, "+"}, {kSingle, 50, a, {}}}
        << QStringList{kFewChoices} << false;
    QTest::newRow("unknown type word without choices")
        << QVariant(100) << QList<Q>{{QStringLiteral("填空题"), 100, a, {}}}
        << QStringList{kFewChoices} << false;
    QTest::newRow("empty question texts in two sections")
        << QVariant(100)
        << QList<Q>{{kTF, 25, QVariant(), {}},
                    {kTF, 25, QStringLiteral(" \t"), {}},
                    {kSingle, 25, a, "+-"},
                    {kSingle, 25, QString(), "+-"}}
        << QStringList{kNoText} << false;
    QTest::newRow("empty choice text") << QVariant(100) << QList<Q>{{kMulti, 100, a, "+e-"}}
                                       << QStringList{kNoChoiceText} << false;
    // The page never shows a true/false question's choices; the check looks at them.
    QTest::newRow("empty choice text of a true/false question")
        << QVariant(100) << QList<Q>{{kTF, 100, a, "e"}} << QStringList{kNoChoiceText} << false;
    QTest::newRow("true/false questions have no choices to check")
        << QVariant(100) << QList<Q>{{kTF, 50, a, {}}, {kTF, 50, a, {}}} << QStringList{} << true;
    QTest::newRow("every finding, in one order") << QVariant(10)
                                                 << QList<Q>{{kMulti, 5, a, "ee"},
                                                             {kSingle, 5, a, "++"},
                                                             {kSingle, 5, QString(), "+"},
                                                             {kTF, 5, QString(), {}}}
                                                 << QStringList{kOver, kNoText} << false;
}

void TestPrintedPaper::checkFindings() {
    QFETCH(QVariant, fullMark);
    QFETCH(QList<Q>, stored);
    QFETCH(QStringList, expected);
    QFETCH(bool, passed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    bool whole = false;
    const int full = fullMark.toString().toInt(&whole);
    // This program's banks take whole full marks only; another program's take anything.
    if (whole || fullMark.isNull())
        banktest::freshBank(bank);
    else
        QVERIFY(makeLooseBank(bank));
    BankRows rows;
    rows.statements << kLoose;
    const int pap = rows.addPaper(QStringLiteral("期中考试"), fullMark, stored);
    banktest::BankConnection conn(bank);
    banktest::executeInOneTransaction(conn, rows.statements);

    Query query(conn);
    QStringList lines;
    QCOMPARE(checkPaper(query, pap, [&](const QString& line) { lines << line; }), passed);
    QCOMPARE(lines, expected);
    const PrintedPaper paper = readPrintedPaper(conn, pap);
    QCOMPARE(paper.findings, lines);
    QCOMPARE(paper.fullMark.has_value(), whole);
    if (whole)
        QCOMPARE(*paper.fullMark, full);
    else
        QCOMPARE(paper.fullMarkText, fullMark.toString());
}

void TestPrintedPaper::choiceLetter_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("label");
    QTest::newRow("first") << 0 << QStringLiteral("A");
    QTest::newRow("second") << 1 << QStringLiteral("B");
    QTest::newRow("last single letter") << 25 << QStringLiteral("Z");
    QTest::newRow("first of two letters") << 26 << QStringLiteral("AA");
    QTest::newRow("second of two letters") << 27 << QStringLiteral("AB");
    QTest::newRow("end of the A row") << 51 << QStringLiteral("AZ");
    QTest::newRow("start of the B row") << 52 << QStringLiteral("BA");
    QTest::newRow("last of two letters") << 701 << QStringLiteral("ZZ");
    QTest::newRow("first of three letters") << 702 << QStringLiteral("AAA");
}

void TestPrintedPaper::choiceLetter() {
    QFETCH(int, index);
    QFETCH(QString, label);
    QCOMPARE(tess::print::choiceLetter(index), label);
}

void TestPrintedPaper::refused_data() {
    QTest::addColumn<bool>("withPaper");
    QTest::addColumn<QString>("named");
    QTest::newRow("no such paper") << false << QStringLiteral("42");
    // The other paper's questions are not this paper's.
    QTest::newRow("paper without questions") << true << QStringLiteral("空白试卷");
}

void TestPrintedPaper::refused() {
    QFETCH(bool, withPaper);
    QFETCH(QString, named);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    BankRows rows;
    rows.addPaper(QStringLiteral("别的试卷"), 10, {{kTF, 10, QStringLiteral("t1"), {}}});
    const int pap = withPaper ? rows.addPaper(QStringLiteral("空白试卷"), 100, {}) : 42;
    banktest::BankConnection conn(bank);
    banktest::executeInOneTransaction(conn, rows.statements);

    try {
        readPrintedPaper(conn, pap);
        QFAIL("the paper was read");
    } catch (const PrintError& e) {
        QVERIFY2(e.message().contains(named), qPrintable(e.message()));
        // Says what to do, not only what went wrong.
        QVERIFY2(e.message().contains(QStringLiteral("请")), qPrintable(e.message()));
        QCOMPARE(QString::fromStdString(e.what()), e.message());
    }
}

void TestPrintedPaper::engineErrorsStayEngineErrors() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    QVERIFY(makeLooseBank(bank));
    BankRows rows;
    rows.statements << kLoose;
    // A mark the page cannot read is the engine's to report, as it is for the page.
    const int pap =
        rows.addPaper(QStringLiteral("期中"), 10, {{kTF, 10, QStringLiteral("t1"), {}}});
    rows.statements << QStringLiteral("update question set QstScr = '十分'");
    // A full mark the check cannot read, as it is when publishing.
    const int word = rows.addPaper(QStringLiteral("期末"), QStringLiteral("满分"),
                                   {{kTF, 10, QStringLiteral("t1"), {}}});
    banktest::BankConnection conn(bank);
    banktest::executeInOneTransaction(conn, rows.statements);
    QVERIFY_THROWS_EXCEPTION(EngineError, readPrintedPaper(conn, pap));
    Query query(conn);
    QVERIFY_THROWS_EXCEPTION(EngineError, checkPaper(query, word, [](const QString&) {}));
    QVERIFY_THROWS_EXCEPTION(EngineError, readPrintedPaper(conn, word));
    conn.close();
    QVERIFY(QFile::remove(bank));
    QVERIFY_THROWS_EXCEPTION(EngineError, readPrintedPaper(conn, pap));
}

void TestPrintedPaper::readingNeverWritesTheBank() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    BankRows rows;
    const int pap =
        rows.addPaper(QStringLiteral("期中考试"), 7,
                      {{kTF, 5, QString(), {}}, {kSingle, 5, QStringLiteral("a"), "++e"}});
    const int empty = rows.addPaper(QStringLiteral("空白试卷"), 100, {});
    {
        banktest::BankConnection conn(bank);
        banktest::executeInOneTransaction(conn, rows.statements);
    }
    const QByteArray before = fileBytes(bank);
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files);
    banktest::BankConnection watcher(bank);
    const qint64 version = watcher.dataVersion();
    {
        banktest::BankConnection reader(bank);
        const PrintedPaper paper = readPrintedPaper(reader, pap);
        // Findings only: nothing is mended on the way.
        QCOMPARE(paper.findings, (QStringList{kOver, kNoText}));
        QVERIFY_THROWS_EXCEPTION(PrintError, readPrintedPaper(reader, empty));
        QVERIFY_THROWS_EXCEPTION(PrintError, readPrintedPaper(reader, 99));
    }
    QCOMPARE(watcher.dataVersion(), version);
    watcher.close();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), filesBefore);
    QVERIFY(fileBytes(bank) == before);
}

QTEST_GUILESS_MAIN(TestPrintedPaper)
#include "tst_printedpaper.moc"
