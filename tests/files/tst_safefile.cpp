// Files written together (a paper and its key) with the writer killed at each
// point: no moment shows a file beside one of another write, and the next
// write finishes what was left and clears the temporaries. Files read only
// when they are regular files themselves.
#include "files/safefile.h"
#include "hostilefiles.h"
#include "killdrill.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace tess;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Large enough to be written in several steps.
QByteArray newPaper() {
    return QByteArray("new paper ") + QByteArray(300 * 1024, 'p');
}
const QByteArray kNewKey("new key");
const QByteArray kOldPaper("old paper"), kOldKey("old key");

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedPair_data();
    void killedPair();
    void killedPairFinishedAtStart_data();
    void killedPairFinishedAtStart();
    void forgedRecordMovesNothing();
    void readRegularFile_data();
    void readRegularFile();

private:
    QTemporaryDir m_dir;
};

// Killed at each point of writing a paper and its key. What the folder shows
// then: "old" the earlier pair, "paper" the new paper alone (the old key is
// gone, so that no old key lies beside it), "new" the new pair.
void TestSafeFile::killedPair_data() {
    QTest::addColumn<QString>("stage");
    QTest::addColumn<QString>("shown");    // once killed
    QTest::addColumn<QString>("finished"); // once the next writer has finished it
    QTest::newRow("paper's temporary made") << QStringLiteral("created") << "old"
                                            << "old";
    QTest::newRow("paper partly written") << QStringLiteral("part") << "old"
                                          << "old";
    QTest::newRow("paper written, not synced") << QStringLiteral("written") << "old"
                                               << "old";
    QTest::newRow("paper synced") << QStringLiteral("synced") << "old"
                                  << "old";
    QTest::newRow("both written, recorded") << QStringLiteral("recorded") << "old"
                                            << "new";
    QTest::newRow("old key removed") << QStringLiteral("cleared") << "old paper alone"
                                     << "new";
    QTest::newRow("between the two renames") << QStringLiteral("renamed") << "paper"
                                             << "new";
    QTest::newRow("both renamed, record left") << QStringLiteral("settled") << "new"
                                               << "new";
}

void TestSafeFile::killedPair() {
    QFETCH(QString, stage);
    QFETCH(QString, shown);
    QFETCH(QString, finished);
    const QString folder = m_dir.filePath(stage);
    QVERIFY(QDir().mkpath(folder));
    const QString paper = folder + QStringLiteral("/卷.pdf");
    const QString key = folder + QStringLiteral("/卷-答案.pdf");
    writeBytes(paper, kOldPaper);
    writeBytes(key, kOldKey);

    QCOMPARE(killdrill::killAt(stage, {paper, key}), stage);
    const auto pairIs = [&](const QString& state) {
        if (state == QLatin1String("old"))
            return bytesOf(paper) == kOldPaper && bytesOf(key) == kOldKey;
        if (state == QLatin1String("old paper alone"))
            return bytesOf(paper) == kOldPaper && !QFile::exists(key);
        if (state == QLatin1String("paper"))
            return bytesOf(paper) == newPaper() && !QFile::exists(key);
        return bytesOf(paper) == newPaper() && bytesOf(key) == kNewKey;
    };
    QVERIFY2(pairIs(shown), qPrintable(entries(folder).join(u' ')));

    // Finished as the next print of that paper does before it writes: the
    // pair the killed writer had made, or the earlier one; nothing else.
    finishInterruptedWrites(paper);
    finishInterruptedWrites(key);
    QVERIFY(pairIs(finished));
    QCOMPARE(entries(folder),
             (QStringList{QStringLiteral("卷-答案.pdf"), QStringLiteral("卷.pdf")}));

    // A second kill, then the next write itself finishes and replaces.
    QCOMPARE(killdrill::killAt(stage, {paper, key}), stage);
    QString failedPath;
    QCOMPARE(replaceFilesContents({{paper, "newest paper"}, {key, "newest key"}}, &failedPath),
             QString());
    QCOMPARE(bytesOf(paper), QByteArray("newest paper"));
    QCOMPARE(bytesOf(key), QByteArray("newest key"));
    QCOMPARE(entries(folder),
             (QStringList{QStringLiteral("卷-答案.pdf"), QStringLiteral("卷.pdf")}));
}

// At the program's start, the groups recorded in the folder where the
// teacher last printed are finished without knowing their names.
void TestSafeFile::killedPairFinishedAtStart_data() {
    QTest::addColumn<QString>("stage");
    QTest::newRow("recorded") << QStringLiteral("recorded");
    QTest::newRow("old key removed") << QStringLiteral("cleared");
    QTest::newRow("between the two renames") << QStringLiteral("renamed");
    QTest::newRow("both renamed") << QStringLiteral("settled");
}

void TestSafeFile::killedPairFinishedAtStart() {
    QFETCH(QString, stage);
    const QString folder = m_dir.filePath(QStringLiteral("start-") + stage);
    QVERIFY(QDir().mkpath(folder));
    const QString paper = folder + QStringLiteral("/卷.pdf");
    const QString key = folder + QStringLiteral("/卷-答案.pdf");
    writeBytes(paper, kOldPaper);
    writeBytes(key, kOldKey);
    writeBytes(folder + QStringLiteral("/other.pdf"), "other");
    QCOMPARE(killdrill::killAt(stage, {paper, key}), stage);
    finishInterruptedWritesIn(folder);
    QCOMPARE(bytesOf(paper), newPaper());
    QCOMPARE(bytesOf(key), kNewKey);
    QCOMPARE(entries(folder),
             (QStringList{QStringLiteral("other.pdf"), QStringLiteral("卷-答案.pdf"),
                          QStringLiteral("卷.pdf")}));
}

// A record this program did not write (or another program changed) never
// moves a file that is not a temporary beside its own target.
void TestSafeFile::forgedRecordMovesNothing() {
    const QString folder = m_dir.filePath(QStringLiteral("forged"));
    QVERIFY(QDir().mkpath(folder));
    const QString paper = folder + QStringLiteral("/paper.pdf");
    const QString secret = folder + QStringLiteral("/secret.txt");
    writeBytes(paper, kOldPaper);
    writeBytes(secret, "secret");
    writeBytes(paper + QStringLiteral(".tess-pair"),
               "tess-pair 1\n" + QFile::encodeName(secret).toPercentEncoding() + ' ' +
                   QFile::encodeName(paper).toPercentEncoding() + '\n');
    finishInterruptedWrites(paper);
    QCOMPARE(bytesOf(paper), kOldPaper);
    QCOMPARE(bytesOf(secret), QByteArray("secret"));
    QCOMPARE(entries(folder),
             (QStringList{QStringLiteral("paper.pdf"), QStringLiteral("secret.txt")}));

    // A link in the record's place: the next record is not written through it.
    QVERIFY(QFile::link(secret, paper + QStringLiteral(".tess-pair")));
    const QString key = folder + QStringLiteral("/key.pdf");
    QCOMPARE(replaceFilesContents({{paper, "new paper"}, {key, "new key"}}), QString());
    QCOMPARE(bytesOf(secret), QByteArray("secret"));
    QCOMPARE(bytesOf(paper), QByteArray("new paper"));
    QCOMPARE(bytesOf(key), QByteArray("new key"));
    QCOMPARE(entries(folder), (QStringList{QStringLiteral("key.pdf"), QStringLiteral("paper.pdf"),
                                           QStringLiteral("secret.txt")}));
}

void TestSafeFile::readRegularFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("result"); // a FileRead
    QTest::newRow("regular file") << QStringLiteral("file") << int(FileRead::Read);
    QTest::newRow("nothing there") << QStringLiteral("missing") << int(FileRead::Missing);
    QTest::newRow("link to a regular file") << QStringLiteral("link") << int(FileRead::NotAFile);
    QTest::newRow("link to nothing") << QStringLiteral("dangling") << int(FileRead::NotAFile);
    QTest::newRow("folder") << QStringLiteral("folder") << int(FileRead::NotAFile);
    QTest::newRow("FIFO") << QStringLiteral("fifo") << int(FileRead::NotAFile);
    QTest::newRow("device") << QStringLiteral("device") << int(FileRead::NotAFile);
    QTest::newRow("1 GB, sparse") << QStringLiteral("large") << int(FileRead::TooLarge);
}

void TestSafeFile::readRegularFile() {
    QFETCH(QString, kind);
    QFETCH(int, result);
    const QString folder = m_dir.filePath(QStringLiteral("read-") + kind);
    QVERIFY(QDir().mkpath(folder));
    const QString outside = m_dir.filePath(QStringLiteral("outside-") + kind);
    writeBytes(outside, "outside");
    QString path = folder + QStringLiteral("/x.png");
    std::optional<hostile::Fifo> fifo;
    if (kind == QLatin1String("file"))
        writeBytes(path, "picture");
    else if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(outside, path));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(folder + QStringLiteral("/none"), path));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QLatin1String("fifo"))
        QVERIFY(fifo.emplace(path).made());
    else if (kind == QLatin1String("device"))
        path = QStringLiteral("/dev/zero");
    else if (kind == QLatin1String("large"))
        QVERIFY(hostile::sparseFile(path, qint64(1) << 30));
    // What a link points at, and a FIFO, are never opened at all.
    const bool watched = kind == QLatin1String("link") || kind == QLatin1String("fifo");
    const hostile::OpenWatch watch(kind == QLatin1String("link") ? outside : path);
    QVERIFY(watch.valid());

    QByteArray bytes("before");
    qint64 size = -1;
    QCOMPARE(int(tess::readRegularFile(path, 1 << 20, bytes, &size)), result);
    QCOMPARE(bytes, result == int(FileRead::Read) ? QByteArray("picture") : QByteArray());
    if (kind == QLatin1String("large"))
        QCOMPARE(size, qint64(1) << 30);
    if (watched)
        QVERIFY(!watch.opened());
    if (fifo)
        QVERIFY(!fifo->opened());
}

// The child of killedPair(): writes the new paper and key.
int writePair(const QStringList& args) {
    return replaceFilesContents({{args.value(0), newPaper()}, {args.value(1), kNewKey}}).isEmpty()
               ? 0
               : 1;
}

QTEST_MAIN_WRAPPER(TestSafeFile, if (int code = 0; killdrill::runChildIfAsked(argc, argv, writePair,
                                                                              code)) return code;
                   QTEST_QAPP_SETUP(QCoreApplication))
#include "tst_safefile.moc"
