// Bringing a chosen picture into the pictures folder and the tag that names it.
#include "bank/pictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tess;
using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tagAndName_data();
    void tagAndName();
    void copies_data();
    void copies();
    void failures_data();
    void failures();
    void largePicture();
    void fileTypes();
};

void TestPictures::tagAndName_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("tag");
    QTest::newRow("plain") << u"/home/t/map.jpg"_s << uR"(<IMG SRC="images\map.jpg">)"_s;
    QTest::newRow("backslashes") << uR"(D:\pics\Map.JPG)"_s << uR"(<IMG SRC="images\Map.JPG">)"_s;
    QTest::newRow("spaces and Chinese")
        << u"/t/我的 地图.png"_s << uR"(<IMG SRC="images\我的 地图.png">)"_s;
    QTest::newRow("quote, hash, percent")
        << uR"(/t/a'b#c%20.gif)"_s << uR"(<IMG SRC="images\a'b#c%20.gif">)"_s;
}

void TestPictures::tagAndName() {
    QFETCH(QString, chosen);
    QFETCH(QString, tag);
    QCOMPARE(pictureTag(pictureFileName(chosen)), tag);
}

// Each row brings pictures in one after another; the names tagged and the
// folder's files afterwards tell what happened.
void TestPictures::copies_data() {
    QTest::addColumn<QStringList>("chosen"); // "folder/name=content"
    QTest::addColumn<QStringList>("tagged");
    QTest::addColumn<QStringList>("folder"); // "name=content", sorted by name

    QTest::newRow("first picture makes the folder")
        << QStringList{u"a/map.jpg=A"_s} << QStringList{u"map.jpg"_s}
        << QStringList{u"map.jpg=A"_s};
    QTest::newRow("same picture twice: one copy")
        << QStringList{u"a/map.jpg=A"_s, u"a/map.jpg=A"_s}
        << QStringList{u"map.jpg"_s, u"map.jpg"_s} << QStringList{u"map.jpg=A"_s};
    QTest::newRow("same content from elsewhere: the copy there is reused")
        << QStringList{u"a/map.jpg=A"_s, u"b/map.jpg=A"_s}
        << QStringList{u"map.jpg"_s, u"map.jpg"_s} << QStringList{u"map.jpg=A"_s};
    QTest::newRow("another picture of that name gets a free name")
        << QStringList{u"a/map.jpg=A"_s, u"b/map.jpg=B"_s, u"c/map.jpg=C"_s, u"d/map.jpg=B"_s}
        << QStringList{u"map.jpg"_s, u"map (2).jpg"_s, u"map (3).jpg"_s, u"map (2).jpg"_s}
        << QStringList{u"map (2).jpg=B"_s, u"map (3).jpg=C"_s, u"map.jpg=A"_s};
    QTest::newRow("a name without an extension")
        << QStringList{u"a/scan=A"_s, u"b/scan=B"_s} << QStringList{u"scan"_s, u"scan (2)"_s}
        << QStringList{u"scan=A"_s, u"scan (2)=B"_s};
    // A browser would read these as the attribute's end, a fragment, an escape.
    QTest::newRow("characters a page cannot use in a name")
        << QStringList{uR"(a/it's "#1" 100%.gif=A)"_s} << QStringList{u"it's __1_ 100_.gif"_s}
        << QStringList{u"it's __1_ 100_.gif=A"_s};
    QTest::newRow("chosen from the pictures folder itself")
        << QStringList{u"a/map.jpg=A"_s, u"images/map.jpg=A"_s}
        << QStringList{u"map.jpg"_s, u"map.jpg"_s} << QStringList{u"map.jpg=A"_s};
}

void TestPictures::copies() {
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, tagged);
    QFETCH(QStringList, folder);
    QTemporaryDir dir;
    const QString pictures = dir.filePath(QStringLiteral("images"));
    QStringList names;
    for (const QString& entry : chosen) {
        const QString path = dir.filePath(entry.section(QLatin1Char('='), 0, 0));
        if (!QFile::exists(path)) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            writeFile(path, entry.section(QLatin1Char('='), 1).toUtf8());
        }
        const PictureCopy copy = copyIntoPicturesFolder(path, pictures);
        QVERIFY2(copy.failure.isEmpty(), qPrintable(copy.failure));
        names << copy.name;
    }
    QCOMPARE(names, tagged);
    QStringList files;
    const QStringList entries = QDir(pictures).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : entries)
        files << name + QLatin1Char('=') +
                     QString::fromUtf8(readFile(QDir(pictures).filePath(name)));
    QCOMPARE(files, folder); // nothing left aside, nothing overwritten
}

void TestPictures::failures_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reason");
    QTest::newRow("typed name of no file") << u"missing"_s << u"文件不存在"_s;
    QTest::newRow("a folder chosen") << u"folder"_s << u"文件夹"_s;
    QTest::newRow("pictures folder is a file") << u"blocked"_s << u"不是文件夹"_s;
    QTest::newRow("pictures folder cannot be made") << u"no parent"_s << u"无法建立"_s;
}

void TestPictures::failures() {
    QFETCH(QString, situation);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString pictures = dir.filePath(QStringLiteral("images"));
    QString chosen = dir.filePath(QStringLiteral("map.jpg"));
    writeFile(chosen, "A");
    if (situation == QLatin1String("missing"))
        chosen = dir.filePath(QStringLiteral("nothing here.jpg"));
    else if (situation == QLatin1String("folder"))
        chosen = dir.path();
    else if (situation == QLatin1String("blocked"))
        writeFile(pictures, "not a folder");
    else
        pictures = dir.filePath(QStringLiteral("gone/images"));
    const PictureCopy copy = copyIntoPicturesFolder(chosen, pictures);
    QVERIFY2(copy.failure.contains(reason), qPrintable(copy.failure));
    QVERIFY(copy.failure.contains(chosen));
    QCOMPARE(copy.name, pictureFileName(chosen)); // the tag names what was chosen
    if (situation == QLatin1String("blocked"))
        QCOMPARE(readFile(pictures), QByteArray("not a folder"));
}

void TestPictures::largePicture() {
    QTemporaryDir dir;
    QByteArray bytes(50 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < bytes.size(); i += 4093)
        bytes[i] = char(i / 4093);
    const QString chosen = dir.filePath(QStringLiteral("big.bmp"));
    writeFile(chosen, bytes);
    const QString pictures = dir.filePath(QStringLiteral("images"));
    const PictureCopy copy = copyIntoPicturesFolder(chosen, pictures);
    QVERIFY2(copy.failure.isEmpty(), qPrintable(copy.failure));
    QVERIFY(readFile(QDir(pictures).filePath(QStringLiteral("big.bmp"))) == bytes);
}

void TestPictures::fileTypes() {
    const QStringList types = pictureFileTypes();
    QCOMPARE(types.size(), 10);
    // Chosen at first: every kind of picture, PNG and GIF among them.
    QCOMPARE(types.first(),
             QStringLiteral("所有图片文件 (*.jpg;*.jpeg;*.png;*.gif;*.bmp;*.ico;*.emf;*.wmf)|"
                            "*.jpg;*.jpeg;*.png;*.gif;*.bmp;*.ico;*.emf;*.wmf"));
    QCOMPARE(types.at(1), QStringLiteral("All (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|"
                                         "*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf"));
    QCOMPARE(types.at(8), QStringLiteral("GIF(*.gif)|*.gif"));
    QCOMPARE(types.last(), QStringLiteral("PNG Image File (*.png)|*.png"));
}

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
