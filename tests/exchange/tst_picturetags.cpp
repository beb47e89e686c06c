// Picture tags of imported texts put in the program's form: what is rewritten,
// what is left as it is, and where each tag points.
#include "exchange/picturetags.h"

#include <QTest>

using namespace tess::exchange;

class TestPictureTags : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programForm_data();
    void programForm();
    void longTextStaysLinear();
};

void TestPictureTags::programForm_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");
    // One letter per <img> with a src: F folder, R remote, E embedded, X elsewhere.
    QTest::addColumn<QString>("sources");
    QTest::addColumn<QStringList>("names"); // the Folder pictures' names

    QTest::newRow("Moodle's tag as the reader leaves it")
        << QStringLiteral("<p>Flag <img src=\"images\\flag-uk.jpg\" alt=\"British Flag\" "
                          "width=\"30\" height=\"20\" /></p>")
        << QStringLiteral("<p>Flag <IMG SRC=\"images\\flag-uk.jpg\" alt=\"British Flag\" "
                          "width=\"30\" height=\"20\" /></p>")
        << QStringLiteral("F") << QStringList{QStringLiteral("flag-uk.jpg")};
    QTest::newRow("single quotes and a forward slash")
        << QStringLiteral("看 <img src='images/x.png'> 图")
        << QStringLiteral("看 <IMG SRC=\"images\\x.png\"> 图") << QStringLiteral("F")
        << QStringList{QStringLiteral("x.png")};
    QTest::newRow("unquoted, upper case, blanks around =")
        << QStringLiteral("<IMG\nSRC = IMAGES/x.png BORDER=0>")
        << QStringLiteral("<IMG SRC=\"images\\x.png\" BORDER=0>") << QStringLiteral("F")
        << QStringList{QStringLiteral("x.png")};
    QTest::newRow("src after other attributes")
        << QStringLiteral("<img alt=\"a > b\" width=3 src=\"./images/地图.png\">")
        << QStringLiteral("<IMG SRC=\"images\\地图.png\" alt=\"a > b\" width=3>")
        << QStringLiteral("F") << QStringList{QStringLiteral("地图.png")};
    QTest::newRow("percent-encoded and entity-encoded names")
        << QStringLiteral("<img src=\"images/my%20pic.png\"><img src=\"images/a&amp;b.png\">")
        << QStringLiteral("<IMG SRC=\"images\\my pic.png\"><IMG SRC=\"images\\a&b.png\">")
        << QStringLiteral("FF")
        << QStringList{QStringLiteral("my pic.png"), QStringLiteral("a&b.png")};
    QTest::newRow("already in the program's form")
        << QStringLiteral("a<IMG SRC=\"images\\map 1.jpg\">b<IMG SRC=\"images\\map 1.jpg\">")
        << QStringLiteral("a<IMG SRC=\"images\\map 1.jpg\">b<IMG SRC=\"images\\map 1.jpg\">")
        << QStringLiteral("FF")
        << QStringList{QStringLiteral("map 1.jpg"), QStringLiteral("map 1.jpg")};
    QTest::newRow("self-closing without a blank")
        << QStringLiteral("<img/src=\"images/x.gif\"/>")
        << QStringLiteral("<IMG SRC=\"images\\x.gif\"/>") << QStringLiteral("F")
        << QStringList{QStringLiteral("x.gif")};
    QTest::newRow("the first src counts")
        << QStringLiteral("<img src=\"images/a.png\" src=\"http://x/b.png\">")
        << QStringLiteral("<IMG SRC=\"images\\a.png\" src=\"http://x/b.png\">")
        << QStringLiteral("F") << QStringList{QStringLiteral("a.png")};

    QTest::newRow("on the web")
        << QStringLiteral("<img src=\"https://example.org/a.png\"><img src=//cdn/b.png>")
        << QStringLiteral("<img src=\"https://example.org/a.png\"><img src=//cdn/b.png>")
        << QStringLiteral("RR") << QStringList();
    QTest::newRow("inside the text")
        << QStringLiteral("<img src=\"data:image/png;base64,iVBORw0KGgo=\">")
        << QStringLiteral("<img src=\"data:image/png;base64,iVBORw0KGgo=\">") << QStringLiteral("E")
        << QStringList();
    QTest::newRow("other folders and files of the computer")
        << QStringLiteral("<img src=\"pics/a.png\"><img src=\"/etc/passwd\"><img "
                          "src=\"file:///C:/a.png\"><img src=\"images/../a.png\"><img "
                          "src=\"images/sub/a.png\"><img src=\"C:\\pics\\a.png\">")
        << QStringLiteral("<img src=\"pics/a.png\"><img src=\"/etc/passwd\"><img "
                          "src=\"file:///C:/a.png\"><img src=\"images/../a.png\"><img "
                          "src=\"images/sub/a.png\"><img src=\"C:\\pics\\a.png\">")
        << QStringLiteral("XXXXXX") << QStringList();
    QTest::newRow("a Moodle file the file did not carry")
        << QStringLiteral("<img src=\"@@PLUGINFILE@@/gone.png\">")
        << QStringLiteral("<img src=\"@@PLUGINFILE@@/gone.png\">") << QStringLiteral("X")
        << QStringList();
    QTest::newRow("names no page can use")
        << QStringLiteral("<img src=\"images/100%25.png\"><img src=\"images/a.png?v=2\"><img "
                          "src=\"images/\">")
        << QStringLiteral("<img src=\"images/100%25.png\"><img src=\"images/a.png?v=2\"><img "
                          "src=\"images/\">")
        << QStringLiteral("XXX") << QStringList();

    QTest::newRow("no tag, or no picture")
        << QStringLiteral("<image src=\"images/a.png\"><imgx src=images/a.png><img alt=x>a &lt;img "
                          "src=\"images/a.png\"&gt;")
        << QStringLiteral("<image src=\"images/a.png\"><imgx src=images/a.png><img alt=x>a &lt;img "
                          "src=\"images/a.png\"&gt;")
        << QString() << QStringList();
    QTest::newRow("a tag never closed ends the search")
        << QStringLiteral("<img src=images/a.png><img src=\"images/b.png")
        << QStringLiteral("<IMG SRC=\"images\\a.png\"><img src=\"images/b.png")
        << QStringLiteral("F") << QStringList{QStringLiteral("a.png")};
    QTest::newRow("a quote never closed ends the search")
        << QStringLiteral("<img alt=\"x src=images/a.png>")
        << QStringLiteral("<img alt=\"x src=images/a.png>") << QString() << QStringList();
}

void TestPictureTags::programForm() {
    QFETCH(QString, html);
    QFETCH(QString, expected);
    QFETCH(QString, sources);
    QFETCH(QStringList, names);
    QVector<PictureReference> found;
    QCOMPARE(programPictureTags(html, &found), expected);
    QString kinds;
    QStringList folderNames;
    for (const PictureReference& ref : found) {
        switch (ref.source) {
        case PictureSource::Folder:
            kinds += QLatin1Char('F');
            folderNames << ref.name;
            break;
        case PictureSource::Remote:
            kinds += QLatin1Char('R');
            break;
        case PictureSource::Embedded:
            kinds += QLatin1Char('E');
            break;
        case PictureSource::Elsewhere:
            kinds += QLatin1Char('X');
            break;
        }
    }
    QCOMPARE(kinds, sources);
    QCOMPARE(folderNames, names);
    // Once in the program's form a text stays as it is.
    QCOMPARE(programPictureTags(expected), expected);
}

// A file may hold megabytes of unclosed tags and attributes: each character is
// looked at a bounded number of times.
void TestPictureTags::longTextStaysLinear() {
    QString html;
    for (int i = 0; i < 200000; ++i)
        html += QStringLiteral("<img a=1 src=images/p.png>");
    html += QStringLiteral("<img ") + QString(2000000, QLatin1Char('a'));
    QVector<PictureReference> found;
    const QString out = programPictureTags(html, &found);
    QCOMPARE(found.size(), 200000);
    QVERIFY(out.startsWith(QStringLiteral("<IMG SRC=\"images\\p.png\" a=1>")));
}

QTEST_GUILESS_MAIN(TestPictureTags)
#include "tst_picturetags.moc"
