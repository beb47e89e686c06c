#include "exchange/moodlexml.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace tess::exchange;
using tess::QuestionKind;

Q_DECLARE_METATYPE(tess::QuestionKind)
Q_DECLARE_METATYPE(tess::exchange::Paper)

namespace {

// Bytes that are no text in any encoding, so that a picture changed on its
// way (as text, or cut short) cannot pass for the same picture.
QByteArray pictureBytes(char seed) {
    QByteArray bytes("\x89PNG\r\n\x1a\n", 8);
    for (int i = 0; i < 600; ++i)
        bytes.append(char((i * 7 + seed) & 0xFF));
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

// Every file of a folder with its bytes, to see that nothing changed.
QMap<QString, QByteArray> folderContents(const QString& folder) {
    QMap<QString, QByteArray> result;
    const QDir dir(folder);
    if (!dir.exists())
        return result;
    for (const QString& name :
         dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        result.insert(name, readFile(dir.filePath(name)));
    return result;
}

Choice choice(const QString& html, bool correct) {
    Choice c;
    c.html = html;
    c.correct = correct;
    return c;
}

// One question of each kind, with pictures: pic.png is in the folder,
// missing.png is not.
Paper fixturePaper() {
    Paper paper;
    paper.category = QStringLiteral("数学");
    paper.name = QStringLiteral("期中测验");

    Question tf;
    tf.kind = QuestionKind::TrueFalse;
    tf.mark = 2;
    tf.html = QStringLiteral("<P>地球是<B>圆</B>的 &amp; 转动的</P>");
    tf.answer = true;
    paper.questions << tf;

    Question single;
    single.kind = QuestionKind::Single;
    single.mark = 3;
    single.html = QStringLiteral("看图 <IMG SRC=\"images\\pic.png\"> 选出三角形 <IMG "
                                 "SRC=\"images\\missing.png\">");
    single.choices << choice(QStringLiteral("甲"), false) << choice(QStringLiteral("乙"), true)
                   << choice(QStringLiteral("<img src=images/pic.png>"), false);
    paper.questions << single;

    Question multiple;
    multiple.kind = QuestionKind::Multiple;
    multiple.mark = 4;
    multiple.html = QStringLiteral("哪些是质数? a]]>b");
    multiple.choices << choice(QStringLiteral("2"), true) << choice(QStringLiteral("3"), true)
                     << choice(QStringLiteral("4"), false) << choice(QStringLiteral("5"), true);
    paper.questions << multiple;
    return paper;
}

// The export as "path=value" lines: elements by name and position among
// their same-named siblings ("quiz/question[2]/answer[1]"), their text, and
// their attributes as "element@name".
QMap<QString, QString> flatten(const QByteArray& xml) {
    QMap<QString, QString> result;
    QXmlStreamReader reader(xml);
    QStringList path;
    QVector<QMap<QString, int>> counts{{}};
    QString text;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString name = reader.name().toString();
            const int index = counts.last()[name]++;
            path << (path.isEmpty() ? name : QStringLiteral("%1[%2]").arg(name).arg(index));
            counts.append(QMap<QString, int>());
            for (const QXmlStreamAttribute& a : reader.attributes())
                result.insert(path.join(QLatin1Char('/')) + QLatin1Char('@') + a.name().toString(),
                              a.value().toString());
            text.clear();
            break;
        }
        case QXmlStreamReader::Characters:
            text += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (counts.last().isEmpty())
                result.insert(path.join(QLatin1Char('/')), text);
            text.clear();
            path.removeLast();
            counts.removeLast();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        result.insert(QStringLiteral("error"), reader.errorString());
    return result;
}

// A file as Moodle writes it: comments with the question ids, the top
// category, feedback everywhere, a picture in a question and one in a
// feedback, percent-encoded picture references, and question types this
// program has no counterpart for.
QByteArray moodleFixture(const QByteArray& pictureBase64) {
    QByteArray xml = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<quiz>
<!-- question: 0  -->
  <question type="category">
    <category>
      <text>$course$/top</text>
    </category>
    <info format="moodle_auto_format">
      <text>The default category for questions shared in context '数学'.</text>
    </info>
    <idnumber></idnumber>
  </question>

<!-- question: 0  -->
  <question type="category">
    <category>
      <text>$course$/top/初二//数学/期中</text>
    </category>
    <info format="html">
      <text></text>
    </info>
    <idnumber></idnumber>
  </question>

<!-- question: 101  -->
  <question type="multichoice">
    <name>
      <text>三角形</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p dir="ltr">哪个是三角形?</p><p><img src="@@PLUGINFILE@@/my%20pic.png" alt="" width="40" height="40" role="presentation" class="img-fluid"></p>]]></text>
<file name="my pic.png" path="/" encoding="base64">@PICTURE@</file>
    </questiontext>
    <generalfeedback format="html">
      <text><![CDATA[<p>看边的数目 <img src="@@PLUGINFILE@@/hint.png"></p>]]></text>
<file name="hint.png" path="/" encoding="base64">@PICTURE@</file>
    </generalfeedback>
    <defaultgrade>2.0000000</defaultgrade>
    <penalty>0.3333333</penalty>
    <hidden>0</hidden>
    <idnumber></idnumber>
    <single>true</single>
    <shuffleanswers>true</shuffleanswers>
    <answernumbering>abc</answernumbering>
    <showstandardinstruction>0</showstandardinstruction>
    <correctfeedback format="html">
      <text>Your answer is correct.</text>
    </correctfeedback>
    <partiallycorrectfeedback format="html">
      <text>Your answer is partially correct.</text>
    </partiallycorrectfeedback>
    <incorrectfeedback format="html">
      <text>Your answer is incorrect.</text>
    </incorrectfeedback>
    <shownumcorrect/>
    <answer fraction="0" format="html">
      <text><![CDATA[<p>正方形</p>]]></text>
      <feedback format="html">
        <text></text>
      </feedback>
    </answer>
    <answer fraction="100" format="html">
      <text><![CDATA[<p>三角形</p>]]></text>
      <feedback format="html">
        <text><![CDATA[<p>对</p>]]></text>
      </feedback>
    </answer>
    <answer fraction="0" format="html">
      <text><![CDATA[<p>圆</p>]]></text>
      <feedback format="html">
        <text></text>
      </feedback>
    </answer>
  </question>

<!-- question: 102  -->
  <question type="truefalse">
    <name>
      <text>水是液体</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>常温下水是液体.</p>]]></text>
    </questiontext>
    <generalfeedback format="html">
      <text></text>
    </generalfeedback>
    <defaultgrade>1.0000000</defaultgrade>
    <penalty>1.0000000</penalty>
    <hidden>0</hidden>
    <idnumber></idnumber>
    <answer fraction="0" format="moodle_auto_format">
      <text>true</text>
      <feedback format="html">
        <text></text>
      </feedback>
    </answer>
    <answer fraction="100" format="moodle_auto_format">
      <text>false</text>
      <feedback format="html">
        <text></text>
      </feedback>
    </answer>
  </question>

<!-- question: 103  -->
  <question type="shortanswer">
    <name>
      <text>首都</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>中国的首都是?</p>]]></text>
    </questiontext>
    <defaultgrade>1.0000000</defaultgrade>
    <usecase>0</usecase>
    <answer fraction="100" format="moodle_auto_format">
      <text>北京</text>
    </answer>
  </question>

<!-- question: 104  -->
  <question type="multichoice">
    <name>
      <text>偶数</text>
    </name>
    <questiontext format="plain_text">
      <text>哪些是偶数 &amp; 正数?
(可多选)</text>
    </questiontext>
    <defaultgrade>2.6</defaultgrade>
    <single>false</single>
    <shuffleanswers>false</shuffleanswers>
    <answernumbering>ABCD</answernumbering>
    <answer fraction="50" format="html">
      <text>2</text>
    </answer>
    <answer fraction="-50" format="html">
      <text>3</text>
    </answer>
    <answer fraction="50" format="html">
      <text>4</text>
    </answer>
  </question>

<!-- question: 105  -->
  <question type="essay">
    <name>
      <text>作文</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>写一篇作文.</p>]]></text>
<file name="../../etc/evil.png" path="/" encoding="base64">AAAA</file>
    </questiontext>
    <defaultgrade>10.0000000</defaultgrade>
  </question>

<!-- question: 0  -->
  <question type="category">
    <category>
      <text>$course$/top/物理</text>
    </category>
  </question>

<!-- question: 106  -->
  <question type="truefalse">
    <name>
      <text>光速</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>光速是有限的. <img src="@@PLUGINFILE@@/my%20pic.png"></p>]]></text>
<file name="my pic.png" path="/" encoding="base64">@OTHER@</file>
    </questiontext>
    <defaultgrade>3.0000000</defaultgrade>
    <answer fraction="100" format="moodle_auto_format">
      <text>true</text>
    </answer>
    <answer fraction="0" format="moodle_auto_format">
      <text>false</text>
    </answer>
  </question>

<!-- question: 107  -->
  <question type="description">
    <name>
      <text>说明</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>以下是物理题.</p>]]></text>
    </questiontext>
  </question>

</quiz>
)xml";
    xml.replace("@PICTURE@", pictureBase64);
    xml.replace("@OTHER@", pictureBytes(9).toBase64());
    return xml;
}

} // namespace

class TestMoodleXml : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void exportElements_data();
    void exportElements();
    void exportInSecondParser();
    void exportTakesEveryPictureSpelling();
    void exportNames_data();
    void exportNames();
    void multipleFractions_data();
    void multipleFractions();
    void singleWithSeveralCorrectShares();
    void importMoodleFile_data();
    void importMoodleFile();
    void importMoodleFilePapersAndPictures();
    void importBeforeAnyCategory();
    void roundTrip_data();
    void roundTrip();
    void roundTripIntoSameFolder();
    void badInput_data();
    void badInput();
    void nesting_data();
    void nesting();
    void attributes_data();
    void attributes();
    void tooManyRecords_data();
    void tooManyRecords();
    void oversizedFileIsRefusedUnread();

private:
    QTemporaryDir m_dir;
    QString m_pictures;
    int m_run = 0;
};

void TestMoodleXml::init() {
    QVERIFY(m_dir.isValid());
    // A fresh folder for every test and row.
    m_pictures = m_dir.filePath(QStringLiteral("images-%1").arg(++m_run));
    QVERIFY(QDir().mkpath(m_pictures));
    writeFile(m_pictures + QStringLiteral("/pic.png"), pictureBytes(1));
}

void TestMoodleXml::exportElements_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");
    const QString b64 = QString::fromLatin1(pictureBytes(1).toBase64());
    const auto row = [](const char* tag, const QString& path, const QString& value) {
        QTest::newRow(tag) << path << value;
    };
    row("root has four questions", QStringLiteral("count"), QStringLiteral("4"));
    row("category type", QStringLiteral("quiz/question[0]@type"), QStringLiteral("category"));
    row("category path", QStringLiteral("quiz/question[0]/category[0]/text[0]"),
        QStringLiteral("$course$/数学/期中测验"));

    row("tf type", QStringLiteral("quiz/question[1]@type"), QStringLiteral("truefalse"));
    row("tf name", QStringLiteral("quiz/question[1]/name[0]/text[0]"),
        QStringLiteral("地球是圆的 & 转动的"));
    row("tf text format", QStringLiteral("quiz/question[1]/questiontext[0]@format"),
        QStringLiteral("html"));
    row("tf text", QStringLiteral("quiz/question[1]/questiontext[0]/text[0]"),
        QStringLiteral("<P>地球是<B>圆</B>的 &amp; 转动的</P>"));
    row("tf grade", QStringLiteral("quiz/question[1]/defaultgrade[0]"), QStringLiteral("2"));
    row("tf true", QStringLiteral("quiz/question[1]/answer[0]/text[0]"), QStringLiteral("true"));
    row("tf true fraction", QStringLiteral("quiz/question[1]/answer[0]@fraction"),
        QStringLiteral("100"));
    row("tf false", QStringLiteral("quiz/question[1]/answer[1]/text[0]"), QStringLiteral("false"));
    row("tf false fraction", QStringLiteral("quiz/question[1]/answer[1]@fraction"),
        QStringLiteral("0"));
    row("tf has no third answer", QStringLiteral("quiz/question[1]/answer[2]/text[0]"), QString());
    row("tf has no single", QStringLiteral("quiz/question[1]/single[0]"), QString());

    row("single type", QStringLiteral("quiz/question[2]@type"), QStringLiteral("multichoice"));
    row("single single", QStringLiteral("quiz/question[2]/single[0]"), QStringLiteral("true"));
    row("single grade", QStringLiteral("quiz/question[2]/defaultgrade[0]"), QStringLiteral("3"));
    row("single shuffle", QStringLiteral("quiz/question[2]/shuffleanswers[0]"),
        QStringLiteral("0"));
    row("single numbering", QStringLiteral("quiz/question[2]/answernumbering[0]"),
        QStringLiteral("ABCD"));
    row("single name", QStringLiteral("quiz/question[2]/name[0]/text[0]"),
        QStringLiteral("看图 选出三角形"));
    row("single text", QStringLiteral("quiz/question[2]/questiontext[0]/text[0]"),
        QStringLiteral("看图 <IMG SRC=\"@@PLUGINFILE@@/pic.png\"> 选出三角形 <IMG "
                       "SRC=\"images\\missing.png\">"));
    row("single picture name", QStringLiteral("quiz/question[2]/questiontext[0]/file[0]@name"),
        QStringLiteral("pic.png"));
    row("single picture path", QStringLiteral("quiz/question[2]/questiontext[0]/file[0]@path"),
        QStringLiteral("/"));
    row("single picture encoding",
        QStringLiteral("quiz/question[2]/questiontext[0]/file[0]@encoding"),
        QStringLiteral("base64"));
    row("single picture bytes", QStringLiteral("quiz/question[2]/questiontext[0]/file[0]"), b64);
    row("single no file for missing picture",
        QStringLiteral("quiz/question[2]/questiontext[0]/file[1]@name"), QString());
    row("single A", QStringLiteral("quiz/question[2]/answer[0]/text[0]"), QStringLiteral("甲"));
    row("single A format", QStringLiteral("quiz/question[2]/answer[0]@format"),
        QStringLiteral("html"));
    row("single A fraction", QStringLiteral("quiz/question[2]/answer[0]@fraction"),
        QStringLiteral("0"));
    row("single B fraction", QStringLiteral("quiz/question[2]/answer[1]@fraction"),
        QStringLiteral("100"));
    row("single C fraction", QStringLiteral("quiz/question[2]/answer[2]@fraction"),
        QStringLiteral("0"));
    row("single C text", QStringLiteral("quiz/question[2]/answer[2]/text[0]"),
        QStringLiteral("<img src=\"@@PLUGINFILE@@/pic.png\">"));
    row("single C picture", QStringLiteral("quiz/question[2]/answer[2]/file[0]@name"),
        QStringLiteral("pic.png"));
    row("single C picture bytes", QStringLiteral("quiz/question[2]/answer[2]/file[0]"), b64);

    row("multiple type", QStringLiteral("quiz/question[3]@type"), QStringLiteral("multichoice"));
    row("multiple single", QStringLiteral("quiz/question[3]/single[0]"), QStringLiteral("false"));
    row("multiple text keeps ]]>", QStringLiteral("quiz/question[3]/questiontext[0]/text[0]"),
        QStringLiteral("哪些是质数? a]]>b"));
    row("multiple grade", QStringLiteral("quiz/question[3]/defaultgrade[0]"), QStringLiteral("4"));
    row("multiple 2", QStringLiteral("quiz/question[3]/answer[0]@fraction"),
        QStringLiteral("33.33333"));
    row("multiple 3", QStringLiteral("quiz/question[3]/answer[1]@fraction"),
        QStringLiteral("33.33333"));
    row("multiple 4 wrong", QStringLiteral("quiz/question[3]/answer[2]@fraction"),
        QStringLiteral("-100"));
    row("multiple 5", QStringLiteral("quiz/question[3]/answer[3]@fraction"),
        QStringLiteral("33.33333"));
    row("multiple 5 text", QStringLiteral("quiz/question[3]/answer[3]/text[0]"),
        QStringLiteral("5"));
    row("well-formed", QStringLiteral("error"), QString());
}

void TestMoodleXml::exportElements() {
    QFETCH(QString, path);
    QFETCH(QString, value);
    const QByteArray xml = writeMoodleXml(fixturePaper(), m_pictures);
    QVERIFY(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    const QMap<QString, QString> flat = flatten(xml);
    if (path == QStringLiteral("count")) {
        int questions = 0;
        for (auto it = flat.cbegin(); it != flat.cend(); ++it)
            questions += it.key().endsWith(QStringLiteral("]@type")) ? 1 : 0;
        QCOMPARE(QString::number(questions), value);
        return;
    }
    QCOMPARE(flat.value(path), value);
}

void TestMoodleXml::exportInSecondParser() {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    const QString path = m_dir.filePath(QStringLiteral("second.xml"));
    writeFile(path, writeMoodleXml(fixturePaper(), m_pictures));
    const QString script = QStringLiteral(R"py(
import sys, json, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
out = {"root": root.tag, "types": [], "texts": [], "fractions": [], "files": []}
for q in root.findall("question"):
    out["types"].append(q.get("type"))
    t = q.find("questiontext/text")
    out["texts"].append(t.text if t is not None else None)
    out["fractions"].append([a.get("fraction") for a in q.findall("answer")])
    out["files"].append([f.get("name") for f in q.iter("file")])
print(json.dumps(out))
)py");
    QProcess process;
    process.start(python, {QStringLiteral("-c"), script, path});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    const QJsonObject out = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    QCOMPARE(out.value(QStringLiteral("root")).toString(), QStringLiteral("quiz"));
    const QJsonArray types = out.value(QStringLiteral("types")).toArray();
    QCOMPARE(types.size(), 4);
    QCOMPARE(types.at(0).toString(), QStringLiteral("category"));
    QCOMPARE(types.at(1).toString(), QStringLiteral("truefalse"));
    QCOMPARE(types.at(2).toString(), QStringLiteral("multichoice"));
    QCOMPARE(types.at(3).toString(), QStringLiteral("multichoice"));
    const QJsonArray texts = out.value(QStringLiteral("texts")).toArray();
    QCOMPARE(texts.at(1).toString(), QStringLiteral("<P>地球是<B>圆</B>的 &amp; 转动的</P>"));
    QCOMPARE(texts.at(3).toString(), QStringLiteral("哪些是质数? a]]>b"));
    const QJsonArray fractions = out.value(QStringLiteral("fractions")).toArray();
    QCOMPARE(fractions.at(3).toArray().size(), 4);
    QCOMPARE(fractions.at(3).toArray().at(2).toString(), QStringLiteral("-100"));
    const QJsonArray files = out.value(QStringLiteral("files")).toArray();
    QCOMPARE(files.at(2).toArray().size(), 2);
    QCOMPARE(files.at(2).toArray().at(0).toString(), QStringLiteral("pic.png"));
}

void TestMoodleXml::exportTakesEveryPictureSpelling() {
    Paper paper;
    paper.name = QStringLiteral("图");
    Question q;
    q.kind = QuestionKind::TrueFalse;
    q.html = QStringLiteral("<IMG SRC=\"images\\pic.png\">|<img src='images/pic.png'>|"
                            "<Img Src=images\\pic.png width=3>|<IMG ALT=\"x\" SRC = "
                            "\"IMAGES/pic.png\">|<IMG SRC=\"images\\..\\pic.png\">|"
                            "<IMG SRC=\"other\\pic.png\">");
    paper.questions << q;
    const QMap<QString, QString> flat = flatten(writeMoodleXml(paper, m_pictures));
    QCOMPARE(flat.value(QStringLiteral("quiz/question[1]/questiontext[0]/text[0]")),
             QStringLiteral("<IMG SRC=\"@@PLUGINFILE@@/pic.png\">|<img "
                            "src=\"@@PLUGINFILE@@/pic.png\">|<Img "
                            "Src=\"@@PLUGINFILE@@/pic.png\" width=3>|<IMG ALT=\"x\" SRC = "
                            "\"@@PLUGINFILE@@/pic.png\">|<IMG SRC=\"images\\..\\pic.png\">|"
                            "<IMG SRC=\"other\\pic.png\">"));
    // The picture is carried once however often the text shows it.
    QCOMPARE(flat.value(QStringLiteral("quiz/question[1]/questiontext[0]/file[0]@name")),
             QStringLiteral("pic.png"));
    QVERIFY(!flat.contains(QStringLiteral("quiz/question[1]/questiontext[0]/file[1]@name")));
}

void TestMoodleXml::exportNames_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("一加一等于二") << QStringLiteral("一加一等于二");
    QTest::newRow("markup and entities")
        << QStringLiteral("<P>a&lt;b&nbsp;&#x4E2D;&#25991;</P>") << QStringLiteral("a<b 中文");
    QTest::newRow("long") << QString(50, QLatin1Char('x')) << QString(40, QLatin1Char('x'));
    QTest::newRow("only a picture")
        << QStringLiteral("<IMG SRC=\"images\\pic.png\">") << QStringLiteral("第 1 题");
    QTest::newRow("empty") << QString() << QStringLiteral("第 1 题");
    QTest::newRow("control characters")
        << QStringLiteral("a\x01") + QStringLiteral("b") << QStringLiteral("ab");
}

void TestMoodleXml::exportNames() {
    QFETCH(QString, html);
    QFETCH(QString, name);
    Paper paper;
    paper.name = QStringLiteral("名");
    Question q;
    q.html = html;
    paper.questions << q;
    const QMap<QString, QString> flat = flatten(writeMoodleXml(paper, m_pictures));
    QCOMPARE(flat.value(QStringLiteral("error")), QString());
    QCOMPARE(flat.value(QStringLiteral("quiz/question[1]/name[0]/text[0]")), name);
    // A paper without a category is named by itself.
    QCOMPARE(flat.value(QStringLiteral("quiz/question[0]/category[0]/text[0]")),
             QStringLiteral("$course$/名"));
}

void TestMoodleXml::multipleFractions_data() {
    QTest::addColumn<int>("correct");
    QTest::addColumn<int>("wrong");
    for (int n : {1, 2, 3, 4, 6, 7, 9, 10, 11, 15, 19, 20, 21})
        QTest::addRow("%d correct", n) << n << 2;
    QTest::addRow("all correct") << 5 << 0;
}

void TestMoodleXml::multipleFractions() {
    QFETCH(int, correct);
    QFETCH(int, wrong);
    // The grades Moodle takes on import.
    const QStringList grades = {
        QStringLiteral("100"),      QStringLiteral("90"),       QStringLiteral("80"),
        QStringLiteral("75"),       QStringLiteral("70"),       QStringLiteral("66.66667"),
        QStringLiteral("60"),       QStringLiteral("50"),       QStringLiteral("40"),
        QStringLiteral("33.33333"), QStringLiteral("30"),       QStringLiteral("25"),
        QStringLiteral("20"),       QStringLiteral("16.66667"), QStringLiteral("14.28571"),
        QStringLiteral("12.5"),     QStringLiteral("11.11111"), QStringLiteral("10"),
        QStringLiteral("5")};
    Paper paper;
    paper.name = QStringLiteral("多选");
    Question q;
    q.kind = QuestionKind::Multiple;
    for (int i = 0; i < correct + wrong; ++i)
        q.choices << choice(QString::number(i), i % 2 == 1 || i / 2 >= wrong);
    paper.questions << q;
    const QByteArray xml = writeMoodleXml(paper, m_pictures);
    const QMap<QString, QString> flat = flatten(xml);
    double sum = 0;
    for (int i = 0; i < correct + wrong; ++i) {
        const QString fraction =
            flat.value(QStringLiteral("quiz/question[1]/answer[%1]@fraction").arg(i));
        if (q.choices.at(i).correct) {
            if (correct <= 20)
                QVERIFY2(grades.contains(fraction), qPrintable(fraction));
            sum += fraction.toDouble();
        } else {
            QCOMPARE(fraction, QStringLiteral("-100"));
        }
    }
    // Moodle checks the sum to two places of the fraction (0..1).
    QVERIFY2(qAbs(sum - 100) < 0.5, qPrintable(QString::number(sum)));
    const Imported back = readMoodleXml(xml, m_pictures);
    QCOMPARE(back.papers.size(), 1);
    QCOMPARE(back.papers.at(0).questions.at(0).choices.size(), q.choices.size());
    for (int i = 0; i < q.choices.size(); ++i)
        QCOMPARE(back.papers.at(0).questions.at(0).choices.at(i).correct, q.choices.at(i).correct);
}

void TestMoodleXml::singleWithSeveralCorrectShares() {
    Paper paper;
    paper.name = QStringLiteral("单选");
    Question q;
    q.kind = QuestionKind::Single;
    q.choices << choice(QStringLiteral("a"), true) << choice(QStringLiteral("b"), false)
              << choice(QStringLiteral("c"), true);
    paper.questions << q;
    const QByteArray xml = writeMoodleXml(paper, m_pictures);
    const QMap<QString, QString> flat = flatten(xml);
    QCOMPARE(flat.value(QStringLiteral("quiz/question[1]/answer[0]@fraction")),
             QStringLiteral("50"));
    QCOMPARE(flat.value(QStringLiteral("quiz/question[1]/answer[1]@fraction")),
             QStringLiteral("0"));
    QCOMPARE(flat.value(QStringLiteral("quiz/question[1]/answer[2]@fraction")),
             QStringLiteral("50"));
    const Question back = readMoodleXml(xml, m_pictures).papers.at(0).questions.at(0);
    QCOMPARE(back.kind, QuestionKind::Single);
    QCOMPARE(back.choices.at(0).correct, true);
    QCOMPARE(back.choices.at(1).correct, false);
    QCOMPARE(back.choices.at(2).correct, true);
}

void TestMoodleXml::importMoodleFile_data() {
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("question");
    QTest::addColumn<QuestionKind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mark");
    QTest::addColumn<QString>("html");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QString>("correct"); // one letter per choice: 1 correct, 0 not

    QTest::newRow("single with picture")
        << 0 << 0 << QuestionKind::Single << QStringLiteral("三角形") << 2
        << QStringLiteral("<p dir=\"ltr\">哪个是三角形?</p><p><img src=\"images\\my pic.png\" "
                          "alt=\"\" width=\"40\" height=\"40\" role=\"presentation\" "
                          "class=\"img-fluid\"></p>")
        << false
        << QStringList{QStringLiteral("<p>正方形</p>"), QStringLiteral("<p>三角形</p>"),
                       QStringLiteral("<p>圆</p>")}
        << QStringLiteral("010");
    QTest::newRow("true/false false")
        << 0 << 1 << QuestionKind::TrueFalse << QStringLiteral("水是液体") << 1
        << QStringLiteral("<p>常温下水是液体.</p>") << false << QStringList() << QString();
    QTest::newRow("multiple plain text")
        << 0 << 2 << QuestionKind::Multiple << QStringLiteral("偶数") << 3
        << QStringLiteral("哪些是偶数 &amp; 正数?<BR>(可多选)") << false
        << QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}
        << QStringLiteral("101");
    QTest::newRow("true/false in second category, other picture of the same name")
        << 1 << 0 << QuestionKind::TrueFalse << QStringLiteral("光速") << 3
        << QStringLiteral("<p>光速是有限的. <img src=\"images\\my pic (2).png\"></p>") << true
        << QStringList() << QString();
}

void TestMoodleXml::importMoodleFile() {
    QFETCH(int, paper);
    QFETCH(int, question);
    QFETCH(QuestionKind, kind);
    QFETCH(QString, name);
    QFETCH(int, mark);
    QFETCH(QString, html);
    QFETCH(bool, answer);
    QFETCH(QStringList, choices);
    QFETCH(QString, correct);
    const Imported imported = readMoodleXml(moodleFixture(pictureBytes(1).toBase64()), m_pictures);
    QVERIFY(paper < imported.papers.size());
    QVERIFY(question < imported.papers.at(paper).questions.size());
    const Question& q = imported.papers.at(paper).questions.at(question);
    QCOMPARE(q.kind, kind);
    QCOMPARE(q.name, name);
    QCOMPARE(q.mark, mark);
    QCOMPARE(q.html, html);
    if (kind == QuestionKind::TrueFalse)
        QCOMPARE(q.answer, answer);
    QStringList texts;
    QString flags;
    for (const Choice& c : q.choices) {
        texts << c.html;
        flags += c.correct ? QLatin1Char('1') : QLatin1Char('0');
    }
    QCOMPARE(texts, choices);
    QCOMPARE(flags, correct);
    QVERIFY(q.line > 0);
}

void TestMoodleXml::importMoodleFilePapersAndPictures() {
    const QString folder = m_pictures + QStringLiteral("/made");
    const Imported imported = readMoodleXml(moodleFixture(pictureBytes(1).toBase64()), folder);
    // "top" holds no question and gives no paper.
    QCOMPARE(imported.papers.size(), 2);
    QCOMPARE(imported.papers.at(0).category, QStringLiteral("初二/数学"));
    QCOMPARE(imported.papers.at(0).name, QStringLiteral("期中"));
    QCOMPARE(imported.papers.at(0).questions.size(), 3);
    QCOMPARE(imported.papers.at(1).category, QString());
    QCOMPARE(imported.papers.at(1).name, QStringLiteral("物理"));
    QCOMPARE(imported.papers.at(1).questions.size(), 1);
    QCOMPARE(imported.skipped,
             (QStringList{QStringLiteral("首都 (shortanswer)"), QStringLiteral("作文 (essay)"),
                          QStringLiteral("说明 (description)")}));
    // The folder is made; the feedback's picture and the skipped question's are not written.
    QCOMPARE(folderContents(folder).keys(),
             (QStringList{QStringLiteral("my pic (2).png"), QStringLiteral("my pic.png")}));
    QCOMPARE(readFile(folder + QStringLiteral("/my pic.png")), pictureBytes(1));
    QCOMPARE(readFile(folder + QStringLiteral("/my pic (2).png")), pictureBytes(9));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("etc"))));

    // Read again into the same folder: the same pictures are taken as they are.
    const Imported again = readMoodleXml(moodleFixture(pictureBytes(1).toBase64()), folder);
    QCOMPARE(folderContents(folder).size(), 2);
    QCOMPARE(again.papers.at(1).questions.at(0).html, imported.papers.at(1).questions.at(0).html);
}

void TestMoodleXml::importBeforeAnyCategory() {
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<quiz>
  <question type="truefalse">
    <name><text>一</text></name>
    <questiontext format="html"><text>天是蓝的</text></questiontext>
    <answer fraction="100"><text>true</text></answer>
    <answer fraction="0"><text>false</text></answer>
  </question>
  <question type="matching"><name><text>配对</text></name></question>
  <question type="cloze"><name><text></text></name></question>
  <question type="category"><category><text>$system$/top/物理/期末</text></category></question>
  <question type="multichoice">
    <questiontext format="html"><text>选</text></questiontext>
    <answer fraction="100"><text>对</text></answer>
    <answer fraction="0"><text>错</text></answer>
  </question>
</quiz>
)";
    const Imported imported = readMoodleXml(xml, m_pictures);
    QCOMPARE(imported.papers.size(), 2);
    QCOMPARE(imported.papers.at(0).name, QStringLiteral("导入的试题"));
    QCOMPARE(imported.papers.at(0).category, QString());
    QCOMPARE(imported.papers.at(0).questions.size(), 1);
    QCOMPARE(imported.papers.at(0).questions.at(0).answer, true);
    // Without a grade Moodle gives a question 1 point.
    QCOMPARE(imported.papers.at(0).questions.at(0).mark, 1);
    QCOMPARE(imported.papers.at(1).category, QStringLiteral("物理"));
    QCOMPARE(imported.papers.at(1).name, QStringLiteral("期末"));
    // Without <single> a multiple-choice question is Moodle's single choice.
    QCOMPARE(imported.papers.at(1).questions.at(0).kind, QuestionKind::Single);
    QCOMPARE(imported.papers.at(1).questions.at(0).line, 12);
    QCOMPARE(imported.skipped, (QStringList{QStringLiteral("配对 (matching)"),
                                            QStringLiteral("第 10 行的题目 (cloze)")}));
}

void TestMoodleXml::roundTrip_data() {
    QTest::addColumn<Paper>("paper");
    QTest::newRow("one of each kind") << fixturePaper();

    Paper plain;
    plain.name = QStringLiteral("无类别/带斜杠");
    Question tf;
    tf.kind = QuestionKind::TrueFalse;
    tf.mark = 0;
    tf.html = QStringLiteral("错的 <IMG SRC=\"images\\pic.png\">");
    tf.answer = false;
    plain.questions << tf;
    Question big;
    big.kind = QuestionKind::Single;
    big.mark = std::numeric_limits<int>::max();
    big.html = QStringLiteral("<TABLE><TR><TD>&lt;</TD></TR></TABLE>");
    big.choices << choice(QStringLiteral("]]>"), true) << choice(QStringLiteral("]]]]>"), true)
                << choice(QStringLiteral("<![CDATA[x]]>"), false);
    plain.questions << big;
    Question many;
    many.kind = QuestionKind::Multiple;
    many.mark = -3;
    for (int i = 0; i < 14; ++i)
        many.choices << choice(QStringLiteral("选项 %1").arg(i), i != 5);
    plain.questions << many;
    QTest::newRow("odd marks, texts and shares") << plain;

    Paper pictures;
    pictures.category = QStringLiteral("图");
    pictures.name = QStringLiteral("名字里有空格");
    Question spaced;
    spaced.kind = QuestionKind::Multiple;
    spaced.html = QStringLiteral("<IMG SRC=\"images\\图 一.png\"><IMG SRC=\"images\\pic.png\">");
    spaced.choices << choice(QStringLiteral("<IMG SRC=\"images\\图 一.png\">"), true)
                   << choice(QStringLiteral("无"), false);
    pictures.questions << spaced;
    QTest::newRow("pictures") << pictures;
}

void TestMoodleXml::roundTrip() {
    QFETCH(Paper, paper);
    writeFile(m_pictures + QStringLiteral("/图 一.png"), pictureBytes(4));
    const QByteArray xml = writeMoodleXml(paper, m_pictures);
    const QString other = m_pictures + QStringLiteral("-back");
    const Imported back = readMoodleXml(xml, other);
    QCOMPARE(back.skipped, QStringList());
    QCOMPARE(back.papers.size(), 1);
    const Paper& got = back.papers.at(0);
    QCOMPARE(got.category, paper.category);
    QCOMPARE(got.name, paper.name);
    QCOMPARE(got.questions.size(), paper.questions.size());
    QStringList pictures;
    for (int i = 0; i < paper.questions.size(); ++i) {
        const Question& want = paper.questions.at(i);
        const Question& have = got.questions.at(i);
        QCOMPARE(have.kind, want.kind);
        QCOMPARE(have.mark, want.mark);
        QCOMPARE(have.html, want.html);
        if (want.kind == QuestionKind::TrueFalse)
            QCOMPARE(have.answer, want.answer);
        QCOMPARE(have.choices.size(), want.choices.size());
        for (int c = 0; c < want.choices.size(); ++c) {
            // An unquoted picture tag comes back quoted.
            QString html = want.choices.at(c).html;
            html.replace(QStringLiteral("<img src=images/pic.png>"),
                         QStringLiteral("<img src=\"images\\pic.png\">"));
            QCOMPARE(have.choices.at(c).html, html);
            QCOMPARE(have.choices.at(c).correct, want.choices.at(c).correct);
        }
    }
    // Every picture the texts show, and only those, with the same bytes.
    const QMap<QString, QByteArray> source = folderContents(m_pictures);
    const QMap<QString, QByteArray> written = folderContents(other);
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        QCOMPARE(it.value(), source.value(it.key()));
    for (const QString& name : source.keys()) {
        bool shown = false;
        for (const Question& q : paper.questions) {
            shown = shown || q.html.contains(name);
            for (const Choice& c : q.choices)
                shown = shown || c.html.contains(name);
        }
        QCOMPARE(written.contains(name), shown);
    }
}

void TestMoodleXml::roundTripIntoSameFolder() {
    const QByteArray xml = writeMoodleXml(fixturePaper(), m_pictures);
    const Imported same = readMoodleXml(xml, m_pictures);
    QCOMPARE(same.papers.at(0).questions.at(1).html, fixturePaper().questions.at(1).html);
    QCOMPARE(folderContents(m_pictures).size(), 1);

    // Another picture has taken the name meanwhile: the file's gets a free one.
    writeFile(m_pictures + QStringLiteral("/pic.png"), pictureBytes(2));
    const Imported other = readMoodleXml(xml, m_pictures);
    QCOMPARE(other.papers.at(0).questions.at(1).html,
             QStringLiteral("看图 <IMG SRC=\"images\\pic (2).png\"> 选出三角形 <IMG "
                            "SRC=\"images\\missing.png\">"));
    QCOMPARE(other.papers.at(0).questions.at(1).choices.at(2).html,
             QStringLiteral("<img src=\"images\\pic (2).png\">"));
    QCOMPARE(readFile(m_pictures + QStringLiteral("/pic.png")), pictureBytes(2));
    QCOMPARE(readFile(m_pictures + QStringLiteral("/pic (2).png")), pictureBytes(1));
    QCOMPARE(folderContents(m_pictures).size(), 2);
}

void TestMoodleXml::badInput_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("says");

    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    // A good question with a picture comes first, so that a refused file is
    // seen to write nothing even where part of it was fine.
    const QByteArray good = "<quiz>\n"
                            "<question type=\"truefalse\"><questiontext><text>&lt;img "
                            "src=\"@@PLUGINFILE@@/new.png\"&gt;</text>\n"
                            "<file name=\"new.png\" path=\"/\" encoding=\"base64\">" +
                            pictureBytes(3).toBase64() +
                            "</file></questiontext>\n"
                            "<answer fraction=\"100\"><text>true</text></answer></question>\n";
    const auto tf = [](const QByteArray& inside) {
        return "<question type=\"truefalse\">" + inside +
               "<answer fraction=\"100\"><text>true</text></answer></question>\n";
    };
    const auto picture = [&](const QByteArray& name, const QByteArray& content) {
        return head + good +
               tf("<questiontext><text>&lt;img src=\"@@PLUGINFILE@@/x.png\"&gt;</text>\n"
                  "<file name=\"" +
                  name + "\" path=\"/\" encoding=\"base64\">" + content +
                  "</file></questiontext>") +
               "</quiz>\n";
    };

    QTest::newRow("not XML") << QByteArray("Question: 1+1?\nA. 2\nANSWER: A\n") << 1
                             << QStringLiteral("不是正确的 XML");
    QTest::newRow("empty") << QByteArray() << 1 << QStringLiteral("没有任何 XML 元素");
    QTest::newRow("root is not quiz")
        << QByteArray(head + "<html>\n<body/></html>") << 2 << QStringLiteral("不是 <quiz>");
    QTest::newRow("truncated") << QByteArray(head + good + "<question type=\"truefalse\">\n<na")
                               << 7 << QStringLiteral("不完整");
    QTest::newRow("junk after quiz")
        << QByteArray(head + good + "</quiz>\n<quiz/>") << 7 << QStringLiteral("不是正确的 XML");
    QTest::newRow("billion laughs")
        << QByteArray(head +
                      "<!DOCTYPE quiz [\n"
                      " <!ENTITY a \"lol\">\n"
                      " <!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                      " <!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                      " <!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n"
                      " <!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
                      " <!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n"
                      " <!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
                      " <!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n"
                      " <!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">\n"
                      "]>\n" +
                      good + tf("<name><text>&i;</text></name>") + "</quiz>\n")
        << 12 << QStringLiteral("文档类型定义");
    QTest::newRow("external entity")
        << QByteArray(head + "<!DOCTYPE quiz [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n" +
                      good + tf("<name><text>&x;</text></name>") + "</quiz>\n")
        << 2 << QStringLiteral("文档类型定义");
    QTest::newRow("plain doctype") << QByteArray(head + "<!DOCTYPE quiz>\n" + good + "</quiz>\n")
                                   << 2 << QStringLiteral("文档类型定义");
    QTest::newRow("undeclared entity")
        << QByteArray(head + good + tf("<name><text>&x;</text></name>") + "</quiz>\n") << 6
        << QStringLiteral("XML");
    QTest::newRow("base64 does not decode")
        << picture("x.png", "iVBORw0KGgo*AAAA") << 7 << QStringLiteral("base64");
    QTest::newRow("base64 cut short")
        << picture("x.png", "iVBORw0KGgoA=") << 7 << QStringLiteral("base64");
    QTest::newRow("picture ../x.png")
        << picture("../x.png", "AAAA") << 7 << QStringLiteral("\"../x.png\" 不能使用");
    QTest::newRow("picture in a folder")
        << picture("sub/x.png", "AAAA") << 7 << QStringLiteral("不能使用");
    QTest::newRow("picture with a backslash")
        << picture("..\\x.png", "AAAA") << 7 << QStringLiteral("不能使用");
    QTest::newRow("picture named .") << picture(".", "AAAA") << 7 << QStringLiteral("不能使用");
    QTest::newRow("picture without a name")
        << picture("", "AAAA") << 7 << QStringLiteral("不能使用");
    QTest::newRow("picture not base64")
        << QByteArray(head + good +
                      tf("<questiontext><text>x</text>\n<file name=\"x.png\" "
                         "encoding=\"hex\">00</file></questiontext>") +
                      "</quiz>\n")
        << 7 << QStringLiteral("只能是 base64");
    QTest::newRow("question without answers")
        << QByteArray(head + good +
                      "<question type=\"multichoice\">\n<name><text>空</text></name>\n"
                      "</question>\n</quiz>\n")
        << 6 << QStringLiteral("\"空\" 没有答案");
    QTest::newRow("multichoice without a correct answer")
        << QByteArray(head + good +
                      "<question type=\"multichoice\">\n<single>false</single>\n"
                      "<answer fraction=\"0\"><text>a</text></answer>\n"
                      "<answer fraction=\"-50\"><text>b</text></answer>\n"
                      "</question>\n</quiz>\n")
        << 6 << QStringLiteral("没有正确的选项");
    QTest::newRow("true/false without a right answer")
        << QByteArray(head + good +
                      "<question type=\"truefalse\">\n"
                      "<answer fraction=\"0\"><text>true</text></answer>\n"
                      "<answer fraction=\"0\"><text>false</text></answer>\n"
                      "</question>\n</quiz>\n")
        << 6 << QStringLiteral("没有得分的答案");
    QTest::newRow("grade not a number")
        << QByteArray(head + good + tf("\n<defaultgrade>五</defaultgrade>") + "</quiz>\n") << 7
        << QStringLiteral("不是数字");
    QTest::newRow("grade beyond 32 bits")
        << QByteArray(head + good + tf("\n<defaultgrade>2147483648</defaultgrade>") + "</quiz>\n")
        << 7 << QStringLiteral("太大");
    QTest::newRow("grade infinite")
        << QByteArray(head + good + tf("\n<defaultgrade>inf</defaultgrade>") + "</quiz>\n") << 7
        << QStringLiteral("不是数字");
    QTest::newRow("fraction not a number")
        << QByteArray(head + good +
                      "<question type=\"multichoice\">\n"
                      "<answer fraction=\"all\"><text>a</text></answer>\n"
                      "</question>\n</quiz>\n")
        << 7 << QStringLiteral("不是数字");
    // Bad bytes in a comment on line 6 and in a text on line 8 of a UTF-8 file.
    QTest::newRow("bytes that are not UTF-8")
        << QByteArray(head + good + "<!-- \xD6\xD0 -->\n\n" +
                      tf("<questiontext><text>x\xFF</text></questiontext>") + "</quiz>\n")
        << 6 << QStringLiteral("这一行有不是 UTF-8 编码的字节, 而文件开头声明的编码是 UTF-8");
    // Without a declaration XML is UTF-8; a GBK file is told how to be read.
    QTest::newRow("GBK without a declaration")
        << QByteArray("<quiz>\n<question type=\"truefalse\"><name><text>" +
                      QStringEncoder("GB18030").encode(QStringLiteral("中文")) +
                      "</text></name>\n<answer fraction=\"100\"><text>true</text></answer>"
                      "</question>\n</quiz>\n")
        << 2 << QStringLiteral("文件不是 UTF-8 编码 (看来是 GBK 编码), 开头又没有声明它的编码");
    QTest::newRow("NUL in a text")
        << QByteArray(
               head + good +
               tf("\n<questiontext><text>a" + QByteArray(1, '\0') + "b</text></questiontext>") +
               "</quiz>\n")
        << 7 << QStringLiteral("空字符");
    QTest::newRow("element inside a text")
        << QByteArray(head + good + tf("<questiontext>\n<text>a <b>b</b></text></questiontext>") +
                      "</quiz>\n")
        << 7 << QStringLiteral("<text> 里只能有文字, 不能有元素 <b>");
}

void TestMoodleXml::badInput() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QFETCH(QString, says);
    const QMap<QString, QByteArray> before = folderContents(m_pictures);
    QString message;
    try {
        readMoodleXml(bytes, m_pictures);
    } catch (const ExchangeError& e) {
        message = e.message();
    }
    QVERIFY2(message.startsWith(QStringLiteral("第 %1 行: ").arg(line)), qPrintable(message));
    QVERIFY2(message.contains(says), qPrintable(message));
    QCOMPARE(folderContents(m_pictures), before);
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("x.png"))));
}

// Elements inside elements, down to 256 levels counting <quiz> as the first,
// are read whatever the element; one level more is refused at its line, before
// anything is written. Nothing deep is read by recursion, so ten thousand
// levels end in the same refusal, not in a crash.
void TestMoodleXml::nesting_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line"); // 0: read
    QTest::addColumn<QString>("name");

    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n";
    const QByteArray answer = "\n<answer fraction=\"100\"><text>true</text></answer>";
    const auto nested = [](int levels, const QByteArray& inside) {
        return QByteArray("<b>").repeated(levels) + inside + QByteArray("</b>").repeated(levels);
    };
    // quiz, question and name are three levels.
    const auto inName = [&](int levels) {
        return head + "<question type=\"truefalse\">\n<name>" + nested(levels, "深") + "</name>" +
               answer + "</question>\n</quiz>\n";
    };
    QTest::newRow("name at the limit") << inName(253) << 0 << QStringLiteral("深");
    QTest::newRow("name one deeper") << inName(254) << 4 << QString();
    QTest::newRow("name ten thousand deep") << inName(10000) << 4 << QString();
    QTest::newRow("element the reader skips")
        << QByteArray(head + "<question type=\"truefalse\">\n<name>n</name>\n<generalfeedback>" +
                      nested(10000, "") + "</generalfeedback>" + answer + "</question>\n</quiz>\n")
        << 5 << QString();
    QTest::newRow("question of a type left out")
        << QByteArray(head + "<question type=\"essay\">\n<name>" + nested(10000, "x") +
                      "</name></question>\n</quiz>\n")
        << 4 << QString();
    QTest::newRow("category") << QByteArray(head + "<question type=\"category\">\n<category>" +
                                            nested(10000, "$course$/数学") +
                                            "</category></question>\n</quiz>\n")
                              << 4 << QString();
    QTest::newRow("outside any question")
        << QByteArray(head + "\n\n" + nested(10000, "") + "\n</quiz>\n") << 5 << QString();
    // Ten thousand levels over ten thousand lines name the line of the first too many.
    QTest::newRow("one level a line")
        << QByteArray(head + "<question type=\"truefalse\">\n<name>\n" +
                      QByteArray("<b>\n").repeated(10000) + "x" +
                      QByteArray("</b>").repeated(10000) + "</name>" + answer +
                      "</question>\n</quiz>\n")
        << 258 << QString();
}

void TestMoodleXml::nesting() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QFETCH(QString, name);
    const QMap<QString, QByteArray> before = folderContents(m_pictures);
    QString message;
    Imported imported;
    try {
        imported = readMoodleXml(bytes, m_pictures);
    } catch (const ExchangeError& e) {
        message = e.message();
    }
    QCOMPARE(folderContents(m_pictures), before);
    if (line == 0) {
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QCOMPARE(imported.papers.size(), 1);
        QCOMPARE(imported.papers[0].questions[0].name, name);
        return;
    }
    QCOMPARE(message, QStringLiteral("第 %1 行: 元素一层套一层, 超过了 256 层, 正常的 Moodle XML "
                                     "文件没有这么深, 文件没有读取.")
                          .arg(line));
}

// Up to 64 attributes an element are read; more are refused before the parser,
// which compares each attribute with all before it, spends hours on them. Only
// real attributes count, in whatever encoding the file is.
void TestMoodleXml::attributes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line"); // 0: read

    const auto attributes = [](int count) {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out += " a" + QByteArray::number(i) + "='='";
        return out;
    };
    const auto file = [](const QByteArray& answer, const QByteArray& text = "x") {
        return "<?xml version=\"1.0\"?>\n<quiz>\n<question type=\"truefalse\">\n"
               "<questiontext><text>" +
               text + "</text></questiontext>\n<answer fraction=\"100\"" + answer +
               "><text>true</text></answer>\n</question>\n</quiz>\n";
    };
    const auto utf16 = [](const QByteArray& utf8) {
        const QString text = QString::fromUtf8(utf8).replace(QStringLiteral("version=\"1.0\""),
                                                             QStringLiteral("version=\"1.0\" "
                                                                            "encoding=\"UTF-16\""));
        return QByteArray("\xFF\xFE") +
               QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    QTest::newRow("64") << file(attributes(63)) << 0;
    QTest::newRow("65") << file(attributes(64)) << 5;
    QTest::newRow("forty thousand") << file(attributes(40000)) << 5;
    QTest::newRow("65 over lines") << file(attributes(64).replace(' ', '\n')) << 69;
    QTest::newRow("UTF-16, 64") << utf16(file(attributes(63))) << 0;
    QTest::newRow("UTF-16, 65") << utf16(file(attributes(64))) << 5;
    const QByteArray equals = QByteArray("=").repeated(200);
    QTest::newRow("= in a value") << file(" format=\"" + equals + "\"") << 0;
    QTest::newRow("= in text, a comment and CDATA")
        << file("", equals + "<!-- <a " + equals + "> --><![CDATA[<a " + equals + ">]]>") << 0;
}

void TestMoodleXml::attributes() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QString message;
    try {
        QCOMPARE(readMoodleXml(bytes, m_pictures).papers.size(), 1);
    } catch (const ExchangeError& e) {
        message = e.message();
    }
    if (line == 0)
        QVERIFY2(message.isEmpty(), qPrintable(message));
    else
        QCOMPARE(message,
                 QStringLiteral("第 %1 行: 一个元素有超过 64 个属性, 正常的 Moodle XML 文件没有"
                                "这么多, 文件没有读取.")
                     .arg(line));
}

// Questions of every type, answers and pictures count together up to 100,000 a
// file; the first one past that is refused at its line.
void TestMoodleXml::tooManyRecords_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line");
    // <quiz> on line 1, the n-th element on line n + 1.
    QTest::newRow("questions left out")
        << "<quiz>\n" + QByteArray("<question type=\"essay\"/>\n").repeated(100001) + "</quiz>"
        << 100002;
    QTest::newRow("categories")
        << "<quiz>\n" + QByteArray("<question type=\"category\"/>\n").repeated(100001) + "</quiz>"
        << 100002;
    QTest::newRow("answers")
        << "<quiz>\n<question type=\"multichoice\">\n" +
               QByteArray("<answer fraction=\"100\"><text>a</text></answer>\n").repeated(100000) +
               "</question></quiz>"
        << 100002;
}

void TestMoodleXml::tooManyRecords() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QString message;
    try {
        readMoodleXml(bytes, m_pictures);
    } catch (const ExchangeError& e) {
        message = e.message();
    }
    QCOMPARE(message,
             QStringLiteral("第 %1 行: 文件里的题目和选项超过了 100000 个, 一次导入不了这么多, "
                            "请把文件分成几个再导入.")
                 .arg(line));
}

void TestMoodleXml::oversizedFileIsRefusedUnread() {
    QByteArray bytes = "<quiz></quiz>";
    bytes.append(QByteArray(kMoodleXmlMaxBytes - bytes.size(), ' '));
    QCOMPARE(readMoodleXml(bytes, m_pictures).papers.size(), 0);
    bytes.append(' ');
    QString message;
    try {
        readMoodleXml(bytes, m_pictures);
    } catch (const ExchangeError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("100 MB")), qPrintable(message));
}

QTEST_GUILESS_MAIN(TestMoodleXml)
#include "tst_moodlexml.moc"
