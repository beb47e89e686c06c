// Which reader a question file goes to, files without a usable question, and
// an import the bank refuses taking its pictures away again.
#include "bankhelpers.h"
#include "exchange/bankexchange.h"
#include "exchange/importfile.h"
#include "store/engineerror.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tess::exchange;

class TestImportFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readers_data();
    void readers();
    void refusedImportTakesItsPictures();

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
    conn.execute(QStringLiteral("create trigger refuse before insert on paper begin "
                                "select raise(abort, 'refused'); end"));
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
    conn.execute(QStringLiteral("drop trigger refuse"));
    QVector<int> ids;
    importQuestionFile(conn, xml, pictures, QString(), &ids);
    QCOMPARE(ids.size(), 1);
    QVERIFY(QFileInfo::exists(QDir(pictures).filePath(QStringLiteral("a.png"))));
    QVERIFY(readPaper(conn, ids.first())
                .questions.first()
                .html.contains(QStringLiteral("images\\a.png")));
}

QTEST_GUILESS_MAIN(TestImportFile)
#include "tst_importfile.moc"
