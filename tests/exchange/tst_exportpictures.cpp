// The export carries pictures of the pictures folder only, each a regular
// file of the folder itself: a link out of the folder, a FIFO or a folder
// named like a picture is left as its tag and never opened, and a picture or
// a file larger than the import reads is refused with nothing written.
#include "bank/pictures.h"
#include "exchange/moodlexml.h"
#include "hostilefiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <unistd.h>

using namespace tess;
using namespace tess::exchange;

namespace {

const QByteArray kSecret("SECRET-OUTSIDE-THE-PICTURES-FOLDER");

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

Paper paperShowing(const QStringList& names) {
    Paper paper;
    paper.name = QStringLiteral("图片试卷");
    for (const QString& name : names) {
        Question q;
        q.html = QStringLiteral("看图 ") + pictureTag(name);
        paper.questions << q;
    }
    return paper;
}

} // namespace

class TestExportPictures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hostileFolder_data();
    void hostileFolder();
    void tooLarge_data();
    void tooLarge();
};

void TestExportPictures::hostileFolder_data() {
    QTest::addColumn<QString>("kind"); // what images/x.png is
    QTest::newRow("link to a file outside") << QStringLiteral("link");
    QTest::newRow("link to a file outside, by a relative path") << QStringLiteral("relative link");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("nothing") << QStringLiteral("missing");
}

void TestExportPictures::hostileFolder() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pictures = dir.filePath(QStringLiteral("images"));
    QVERIFY(QDir().mkpath(pictures));
    const QString outside = dir.filePath(QStringLiteral("secret.txt"));
    writeFile(outside, kSecret);
    writeFile(pictures + QStringLiteral("/ok.png"), "\x89PNG picture");
    const QString x = pictures + QStringLiteral("/x.png");
    std::optional<hostile::Fifo> fifo;
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(outside, x));
    else if (kind == QLatin1String("relative link"))
        QVERIFY(::symlink("../secret.txt", QFile::encodeName(x).constData()) == 0);
    else if (kind == QLatin1String("fifo"))
        QVERIFY(fifo.emplace(x).made());
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(x));
    const hostile::OpenWatch watch(fifo ? x : outside);
    QVERIFY(watch.valid());

    const QByteArray xml =
        writeMoodleXml(paperShowing({QStringLiteral("x.png"), QStringLiteral("ok.png")}), pictures);
    QVERIFY(!watch.opened());
    if (fifo)
        QVERIFY(!fifo->opened());
    QVERIFY(!xml.contains(kSecret.toBase64()));
    QCOMPARE(xml.count("<file "), 1);
    QVERIFY(xml.contains("name=\"ok.png\""));
    // Left as its tag, as a missing picture is.
    QVERIFY(xml.contains("images\\x.png"));
}

// A picture the import would refuse, or so many that the file would pass what
// the import reads: refused before anything is written, naming the picture
// and saying what to do. The pictures take no room on the disk.
void TestExportPictures::tooLarge_data() {
    QTest::addColumn<QList<qint64>>("sizes"); // of the pictures, in MB
    QTest::addColumn<QString>("named");       // in the refusal
    QTest::addColumn<QString>("limit");
    QTest::newRow("one picture of 1 GB")
        << QList<qint64>{1024} << QStringLiteral("p0.png") << QStringLiteral("32 MB");
    QTest::newRow("one picture just over 32 MB")
        << QList<qint64>{33} << QStringLiteral("p0.png") << QStringLiteral("32 MB");
    QTest::newRow("three of 30 MB")
        << QList<qint64>{30, 30, 30} << QStringLiteral("p2.png") << QStringLiteral("100 MB");
}

void TestExportPictures::tooLarge() {
    QFETCH(QList<qint64>, sizes);
    QFETCH(QString, named);
    QFETCH(QString, limit);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList names;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        names << QStringLiteral("p%1.png").arg(i);
        QVERIFY(hostile::sparseFile(dir.filePath(names.last()), sizes[i] << 20));
    }
    QString refusal;
    try {
        const QByteArray xml = writeMoodleXml(paperShowing(names), dir.path());
        QFAIL(qPrintable(QStringLiteral("written: %1 bytes").arg(xml.size())));
    } catch (const ExchangeError& e) {
        refusal = e.message();
    }
    QVERIFY2(refusal.contains(named), qPrintable(refusal));
    QVERIFY2(refusal.contains(limit), qPrintable(refusal));
    QVERIFY2(refusal.contains(QStringLiteral("请")), qPrintable(refusal));
    QVERIFY(refusal.contains(QStringLiteral("没有导出")));
}

QTEST_MAIN(TestExportPictures)
#include "tst_exportpictures.moc"
