#include "generate/pagepaths.h"
#include "generate/paperwriter.h"

#include <QStringDecoder>
#include <QTest>

using namespace tess;

class TestPagePaths : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void numToChinese_data();
    void numToChinese();
    void outputPath_data();
    void outputPath();
    void replaceImagePath_data();
    void replaceImagePath();
    void encodePageText_data();
    void encodePageText();
    void graderScriptIsCarried();
};

void TestPagePaths::numToChinese_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("numeral");
    QTest::newRow("zero") << 0 << QStringLiteral("零");
    QTest::newRow("one") << 1 << QStringLiteral("一");
    QTest::newRow("three") << 3 << QStringLiteral("三");
    QTest::newRow("ten") << 10 << QStringLiteral("十");
    QTest::newRow("eleven") << 11 << QString();
    QTest::newRow("negative") << -1 << QString();
    QTest::newRow("min") << std::numeric_limits<int>::min() << QString();
}

void TestPagePaths::numToChinese() {
    QFETCH(int, value);
    QFETCH(QString, numeral);
    QCOMPARE(NumToChinese(value), numeral);
}

void TestPagePaths::outputPath_data() {
    QTest::addColumn<QString>("papSav");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("folder");
    QTest::newRow("windows, no extension")
        << QStringLiteral("D:\\exams\\mid") << QStringLiteral("D:\\exams\\mid.html")
        << QStringLiteral("D:\\exams\\mid.files");
    QTest::newRow("windows, .htm kept")
        << QStringLiteral("D:\\exams\\mid.htm") << QStringLiteral("D:\\exams\\mid.htm")
        << QStringLiteral("D:\\exams\\mid.files");
    QTest::newRow("unix") << QStringLiteral("/home/t/exams/mid")
                          << QStringLiteral("/home/t/exams/mid.html")
                          << QStringLiteral("/home/t/exams/mid.files");
    QTest::newRow("dot in a folder only")
        << QStringLiteral("/home/t/v1.2/mid") << QStringLiteral("/home/t/v1.2/mid.html")
        << QStringLiteral("/home/t/v1.2/mid.files");
    QTest::newRow("drive only") << QStringLiteral("D:mid") << QStringLiteral("D:mid.html")
                                << QStringLiteral("D:mid.files");
    QTest::newRow("two dots") << QStringLiteral("/t/mid.term.html")
                              << QStringLiteral("/t/mid.term.html")
                              << QStringLiteral("/t/mid.term.files");
    QTest::newRow("empty") << QString() << QStringLiteral(".html") << QStringLiteral(".files");
    QTest::newRow("chinese name") << QStringLiteral("/t/期中考试")
                                  << QStringLiteral("/t/期中考试.html")
                                  << QStringLiteral("/t/期中考试.files");
}

void TestPagePaths::outputPath() {
    QFETCH(QString, papSav);
    QFETCH(QString, page);
    QFETCH(QString, folder);
    QCOMPARE(pageOutputPath(papSav), page);
    QCOMPARE(pagePicturesFolderPath(page), folder);
}

void TestPagePaths::replaceImagePath_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outputPath");
    QTest::addColumn<QString>("result");
    QTest::newRow("picture with a space")
        << QStringLiteral("看图<IMG SRC=\"images\\map 1.jpg\">")
        << QStringLiteral("D:\\exams\\mid.html")
        << QStringLiteral("看图<IMG SRC=\"mid.files\\map 1.jpg\">");
    QTest::newRow("twice")
        << QStringLiteral("<IMG SRC=\"images\\a.jpg\"><IMG SRC=\"images\\a.jpg\">")
        << QStringLiteral("/t/mid.html")
        << QStringLiteral("<IMG SRC=\"mid.files\\a.jpg\"><IMG SRC=\"mid.files\\a.jpg\">");
    QTest::newRow("small letters untouched")
        << QStringLiteral("<img src=\"images\\a.jpg\">") << QStringLiteral("/t/mid.html")
        << QStringLiteral("<img src=\"images\\a.jpg\">");
    QTest::newRow("name without extension")
        << QStringLiteral("<IMG SRC=\"images\\a.jpg\">") << QStringLiteral("/t/mid")
        << QStringLiteral("<IMG SRC=\"mid.files\\a.jpg\">");
    QTest::newRow("no tag") << QStringLiteral("<b>x</b>") << QStringLiteral("/t/mid.html")
                            << QStringLiteral("<b>x</b>");
    // The folder's name starts as the tag does: what was put in stays.
    QTest::newRow("page named images")
        << QStringLiteral("<IMG SRC=\"images\\a.jpg\"><IMG SRC=\"images\\b.jpg\">")
        << QStringLiteral("/t/images.html")
        << QStringLiteral("<IMG SRC=\"images.files\\a.jpg\"><IMG SRC=\"images.files\\b.jpg\">");
}

void TestPagePaths::replaceImagePath() {
    QFETCH(QString, text);
    QFETCH(QString, outputPath);
    QFETCH(QString, result);
    QCOMPARE(ReplaceImagePath(text, outputPath), result);
    // In place, after a part that is left as it stands.
    const QString before = QStringLiteral("<IMG SRC=\"images\\kept.jpg\">\r\n");
    QString page = before + text;
    replaceImageTags(page, before.size(), imageTagReplacement(outputPath));
    QCOMPARE(page, before + result);
}

void TestPagePaths::encodePageText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("<P>a</P>\r\n") << QByteArray("<P>a</P>\r\n");
    QTest::newRow("gbk") << QStringLiteral("判断题") << QByteArray("\xc5\xd0\xb6\xcf\xcc\xe2");
    QTest::newRow("emoji") << QStringLiteral("对\U0001F600了")
                           << QByteArray("\xb6\xd4&#128512;\xc1\xcb");
    QTest::newRow("rare ideograph") << QStringLiteral("\U00020000") << QByteArray("&#131072;");
    QTest::newRow("yen sign") << QStringLiteral("¥5") << QByteArray("&#165;5");
}

void TestPagePaths::encodePageText() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(tess::encodePageText(text), bytes);
}

void TestPagePaths::graderScriptIsCarried() {
    // The script is read from the program's resources; a page without it
    // cannot mark anything.
    const QStringList lines = graderScriptLines();
    QVERIFY(lines.size() > 50);
    QVERIFY(lines.contains(QStringLiteral("var Paper;")));
    const QString text = lines.join(QLatin1Char('\n'));
    for (const char* name : {"function JPaper(", "function JQuestion(", "function JChoice(",
                             "function JJudgeRes(", "function OnJudge("})
        QVERIFY2(text.contains(QLatin1String(name)), name);
    QVERIFY(!text.contains(QLatin1Char('\r')));
}

QTEST_GUILESS_MAIN(TestPagePaths)
#include "tst_pagepaths.moc"
