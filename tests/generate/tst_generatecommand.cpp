#include "bankhelpers.h"
#include "generate/pagepaths.h"
#include "generate/papercheck.h"
#include "generate/paperwriter.h"
#include "generate/publish.h"
#include "generate/publishedpages.h"
#include "hostilefiles.h"
#include "immutable.h"
#include "paperfixture.h"
#include "smalldisk.h"
#include "store/engineerror.h"
#include "store/query.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace tess;

namespace {

class RecordingOpener : public PageOpener {
public:
    void open(const QString& path) override { opened << path; }
    QStringList opened;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kTF = QStringLiteral("判断题");
const QString kSuccess = QStringLiteral("试卷成功生成到:");

// Files and folders in folder, hidden ones included.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

// The command wired as the main window wires it, with the window's services
// replaced by recorders.
class TestGenerateCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void passingPaper();
    void warningsStayAboveProgress();
    void failedCheckStopsWithBox();
    void missingOutputFolder();
    void engineErrorLeavesTheCommand();
    void picturesCopiedWithoutOverwriting();
    void missingPicturesFolder();
    void onlyPlainPicturesCopied();
    void refusedWriteKeepsOldPage_data();
    void refusedWriteKeepsOldPage();
    void leftoversOfThePageRemoved();
    void pathIsAFolder_data();
    void pathIsAFolder();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void rememberedOnlyOnceWritten();
    void refusedToReplace();

private:
    void run(int papId, const QString& papSav);
    QString pictures() const { return m_dir->filePath(QStringLiteral("images")); }

    QTemporaryDir* m_dir = nullptr;
    PaperFixture* m_bank = nullptr;
    Query* m_query = nullptr;
    RecordingOpener m_opener;
    QStringList m_messages;
    QStringList m_boxes;
    std::function<bool(const QString&)> m_mayReplace;
    std::function<void(const QString&)> m_pageWritten;
};

void TestGenerateCommand::init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_bank = new PaperFixture(m_dir->filePath(QStringLiteral("bank.mdb")));
    m_query = new Query(m_bank->conn);
    m_opener.opened.clear();
    m_messages = {QStringLiteral("earlier line")};
    m_boxes.clear();
    m_mayReplace = nullptr;
    m_pageWritten = nullptr;
    QVERIFY(QDir().mkdir(pictures()));
    writeFile(pictures() + QStringLiteral("/map 1.jpg"), "map");
    writeFile(pictures() + QStringLiteral("/b.png"), "b");
}

void TestGenerateCommand::cleanup() {
    delete m_query;
    delete m_bank;
    delete m_dir;
}

void TestGenerateCommand::run(int papId, const QString& papSav) {
    GenerationSteps steps;
    steps.clearMessages = [&] { m_messages.clear(); };
    steps.addMessage = [&](const QString& line) { m_messages << line; };
    steps.messageText = [&] { return m_messages.join(QLatin1Char('\n')); };
    steps.showInformation = [&](const QString& text) { m_boxes << text; };
    steps.checkPaper = [&] {
        return checkPaper(*m_query, papId, [&](const QString& line) { m_messages << line; });
    };
    steps.paperOutputFile = [&] { return papSav; };
    steps.writePage = [&](const QString& path) {
        writePaperPage(m_bank->conn, PageSource{papId, QStringLiteral("p"), QStringLiteral("10")},
                       path);
    };
    steps.mayReplace = m_mayReplace;
    steps.pageWritten = m_pageWritten;
    steps.picturesFolder = pictures();
    steps.opener = &m_opener;
    runGeneration(steps);
}

void TestGenerateCommand::passingPaper() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString sav = m_dir->filePath(QStringLiteral("mid"));
    run(pap, sav);

    const QString page = sav + QStringLiteral(".html");
    QCOMPARE(m_messages,
             (QStringList{QStringLiteral("试卷错误性检查..."), QString(),
                          QStringLiteral("正在生成试卷..."),
                          QStringLiteral("试卷成功生成到:") + page + QLatin1Char('.')}));
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(QFile::exists(page));
    QCOMPARE(readFile(sav + QStringLiteral(".files/map 1.jpg")), QByteArray("map"));
    QCOMPARE(readFile(sav + QStringLiteral(".files/b.png")), QByteArray("b"));
    QCOMPARE(m_opener.opened, QStringList{page});
}

void TestGenerateCommand::warningsStayAboveProgress() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 100);
    m_bank->addQuestion(pap, 1, kTF, 90, QStringLiteral("a"));
    const QString page = m_dir->filePath(QStringLiteral("mid.htm"));
    run(pap, page);
    QCOMPARE(m_messages,
             (QStringList{QStringLiteral("试卷错误性检查..."),
                          QStringLiteral("警告: 当前试卷所有题目的分值之和小于试卷预定的总分."),
                          QString(), QStringLiteral("正在生成试卷..."),
                          QStringLiteral("试卷成功生成到:") + page + QLatin1Char('.')}));
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("mid.files"))).isDir());
    QCOMPARE(m_opener.opened, QStringList{page});
}

void TestGenerateCommand::failedCheckStopsWithBox() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 20);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    m_bank->addQuestion(pap, 2, kTF, 5, QString());
    const QString page = m_dir->filePath(QStringLiteral("mid.html"));
    run(pap, page);
    const QStringList lines{QStringLiteral("试卷错误性检查..."),
                            QStringLiteral("警告: 当前试卷所有题目的分值之和小于试卷预定的总分."),
                            QStringLiteral("错误: 当前试卷有题目内容为空.")};
    QCOMPARE(m_messages, lines);
    QCOMPARE(m_boxes, QStringList{QStringLiteral("未通过试卷错误性检查,发现以下严重错误:\n\n") +
                                  lines.join(QLatin1Char('\n'))});
    QVERIFY(!QFile::exists(page));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("mid.files"))));
    QVERIFY(m_opener.opened.isEmpty());
}

void TestGenerateCommand::missingOutputFolder() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString page = m_dir->filePath(QStringLiteral("gone/mid.html"));
    run(pap, page);
    QCOMPARE(m_messages.size(), 4);
    QCOMPARE(m_messages.at(2), QStringLiteral("正在生成试卷..."));
    QVERIFY2(m_messages.at(3).startsWith(QStringLiteral("无法写入试卷文件\"") + page),
             qPrintable(m_messages.at(3)));
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("gone"))));
    // The page is still handed over: an earlier page of that name would open.
    QCOMPARE(m_opener.opened, QStringList{page});
}

void TestGenerateCommand::engineErrorLeavesTheCommand() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->conn.close();
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("bank.mdb"))));
    QVERIFY_THROWS_EXCEPTION(EngineError, run(pap, m_dir->filePath(QStringLiteral("mid.html"))));
    QCOMPARE(m_messages, QStringList{QStringLiteral("试卷错误性检查...")});
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("mid.files"))));
    QVERIFY(m_opener.opened.isEmpty());
}

void TestGenerateCommand::picturesCopiedWithoutOverwriting() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString folder = m_dir->filePath(QStringLiteral("mid.files"));
    QVERIFY(QDir().mkdir(folder));
    writeFile(folder + QStringLiteral("/b.png"), "earlier copy");
    QVERIFY(QDir().mkdir(pictures() + QStringLiteral("/sub")));
    writeFile(pictures() + QStringLiteral("/sub/deep.jpg"), "deep");
    writeFile(pictures() + QStringLiteral("/notes.txt"), "any type");

    run(pap, m_dir->filePath(QStringLiteral("mid.html")));
    QCOMPARE(readFile(folder + QStringLiteral("/b.png")), QByteArray("earlier copy"));
    QCOMPARE(readFile(folder + QStringLiteral("/map 1.jpg")), QByteArray("map"));
    QCOMPARE(readFile(folder + QStringLiteral("/notes.txt")), QByteArray("any type"));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/sub")));

    // A second paper in the same folder gets its own full copy.
    run(pap, m_dir->filePath(QStringLiteral("final.html")));
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("final.files"))).entryList(QDir::Files).size(), 3);
}

// The page's folder is for the students: a link in the pictures folder does
// not put the file it points at there, and a FIFO is neither waited on nor copied.
void TestGenerateCommand::onlyPlainPicturesCopied() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString secret = m_dir->filePath(QStringLiteral("secret.txt"));
    writeFile(secret, "secret");
    QVERIFY(QFile::link(secret, pictures() + QStringLiteral("/link.png")));
    const hostile::Fifo fifo(pictures() + QStringLiteral("/pipe.png"));
    QVERIFY(fifo.made());
    const hostile::OpenWatch watch(secret);
    QVERIFY(watch.valid());

    run(pap, m_dir->filePath(QStringLiteral("mid.html")));
    QVERIFY(!watch.opened());
    QVERIFY(!fifo.opened());
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("mid.files")))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name),
             (QStringList{QStringLiteral("b.png"), QStringLiteral("map 1.jpg")}));
}

void TestGenerateCommand::missingPicturesFolder() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    QVERIFY(QDir(pictures()).removeRecursively());
    run(pap, m_dir->filePath(QStringLiteral("mid.html")));
    const QDir folder(m_dir->filePath(QStringLiteral("mid.files")));
    QVERIFY(folder.exists());
    QVERIFY(folder.isEmpty());
    QCOMPARE(m_messages.last(), QStringLiteral("试卷成功生成到:") +
                                    m_dir->filePath(QStringLiteral("mid.html")) + QLatin1Char('.'));
}

// A page the file system refuses halfway: the earlier page keeps every byte,
// nothing of the new one is left beside it, and no success is claimed.
void TestGenerateCommand::refusedWriteKeepsOldPage_data() {
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<int>("oldSize");
    QTest::addColumn<QString>("said");
    QTest::newRow("full disk, small page") << true << 500 << QStringLiteral("磁盘已满");
    QTest::newRow("full disk, 9 KB page") << true << 9000 << QStringLiteral("磁盘已满");
    QTest::newRow("full disk, 30 KB page") << true << 30000 << QStringLiteral("磁盘已满");
    QTest::newRow("folder takes no new files") << false << 9000 << QStringLiteral("不允许新建文件");
}

void TestGenerateCommand::refusedWriteKeepsOldPage() {
    QFETCH(bool, fullDisk);
    QFETCH(int, oldSize);
    QFETCH(QString, said);
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString folder = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(folder));
    RefusingFolder refusing(folder, fullDisk);
    if (!refusing.ready())
        QSKIP(qPrintable(refusing.why()));
    const QString page = folder + QStringLiteral("/mid.html");
    const QByteArray old(oldSize, 'o');
    writeFile(page, old);
    if (!refusing.refuse())
        QSKIP(qPrintable(refusing.why()));
    const QStringList before = entries(folder);

    run(pap, page);
    QCOMPARE(readFile(page), old);
    // The page pictures folder may have come; nothing else may.
    QStringList after = entries(folder);
    after.removeAll(QStringLiteral("mid.files"));
    QCOMPARE(after, before);
    QCOMPARE(m_messages.size(), 4);
    const QString line = m_messages.at(3);
    QVERIFY2(!line.startsWith(kSuccess), qPrintable(line));
    QVERIFY2(line.startsWith(QStringLiteral("无法写入试卷文件\"") + page), qPrintable(line));
    QVERIFY2(line.contains(said), qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral("没有改动")), qPrintable(line));
    if (fullDisk)
        QVERIFY(QDir(folder + QStringLiteral("/mid.files")).removeRecursively());
}

// An interrupted write leaves "<page>.tess-XXXXXX" beside the page; the next
// publish of that page clears them and nothing else.
void TestGenerateCommand::leftoversOfThePageRemoved() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString folder = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(folder));
    const QStringList leftovers{QStringLiteral("mid.html.tess-a1B2c3"),
                                QStringLiteral("mid.html.tess-ZZZZZZ"),
                                QStringLiteral("mid.html.tess-000000")};
    // The teacher's own files beside the page, "backup" among them, stay.
    const QStringList unrelated{
        QStringLiteral("mid.html.bak"),           QStringLiteral("mid.html.backup"),
        QStringLiteral("mid.html.a1B2c3"),        QStringLiteral("mid.html.tess-a1B2c"),
        QStringLiteral("mid.html.tess-a1B2c3d"),  QStringLiteral("mid.html.tess-a1-2c3"),
        QStringLiteral("final.html.tess-a1B2c3"), QStringLiteral("mid.htm.tess-a1B2c3"),
        QStringLiteral("xmid.html.tess-a1B2c3"),  QStringLiteral("notes.txt")};
    for (const QString& name : leftovers + unrelated)
        writeFile(folder + QLatin1Char('/') + name, "complete earlier page");
    // A folder of that pattern is somebody's own: left alone.
    QVERIFY(QDir(folder).mkdir(QStringLiteral("mid.html.tess-Folder")));

    const QString page = folder + QStringLiteral("/mid.html");
    run(pap, page);
    QCOMPARE(m_messages.last(), kSuccess + page + QLatin1Char('.'));
    QStringList expected = unrelated;
    expected << QStringLiteral("mid.files") << QStringLiteral("mid.html")
             << QStringLiteral("mid.html.tess-Folder");
    expected.sort();
    QCOMPARE(entries(folder), expected);
    for (const QString& name : unrelated)
        QCOMPARE(readFile(folder + QLatin1Char('/') + name), QByteArray("complete earlier page"));
}

// Publishing to a path that is a folder says so and creates nothing: no page
// inside it, no page pictures folder beside it.
void TestGenerateCommand::pathIsAFolder_data() {
    QTest::addColumn<QString>("papSav");
    QTest::newRow("with extension") << QStringLiteral("mid.html");
    QTest::newRow("extension added") << QStringLiteral("mid");
    QTest::newRow("folder with files") << QStringLiteral("full.html");
}

void TestGenerateCommand::pathIsAFolder() {
    QFETCH(QString, papSav);
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString folder = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(folder));
    const QString page = folder + QLatin1Char('/') + pageOutputPath(papSav);
    QVERIFY(QDir().mkdir(page));
    if (papSav == QStringLiteral("full.html"))
        writeFile(page + QStringLiteral("/inside.txt"), "kept");
    const QStringList before = entries(folder);
    const QStringList inside = entries(page);

    run(pap, folder + QLatin1Char('/') + papSav);
    QCOMPARE(entries(folder), before);
    QCOMPARE(entries(page), inside);
    QCOMPARE(m_messages.size(), 4);
    const QString line = m_messages.at(3);
    QVERIFY2(line.startsWith(QStringLiteral("无法写入试卷文件\"") + page), qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral("是一个文件夹")), qPrintable(line));
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(m_opener.opened.isEmpty());
}

// Paper 1 "甲卷" has published out/mid.html; then the bank or the file
// changes, and a paper asks to publish to the page under some spelling of
// its path. The question names the paper that wrote it last as the teacher
// knows it, or nothing is asked.
void TestGenerateCommand::overwriteQuestion_data() {
    QTest::addColumn<QString>("sql");        // run after the page was remembered
    QTest::addColumn<bool>("removePage");    // the page is gone meanwhile
    QTest::addColumn<QString>("spelling");   // how the path is written
    QTest::addColumn<int>("asking");         // the paper that would publish now
    QTest::addColumn<QString>("lastWriter"); // named in the question; null: none asked
    const QString same = QStringLiteral("out/mid.html");
    QTest::newRow("the same paper again") << QString() << false << same << 1 << QString();
    QTest::newRow("another paper") << QString() << false << same << 2 << QStringLiteral("甲卷");
    QTest::newRow("renamed since") << QStringLiteral("update paper set PapNam = '甲卷 (改)' "
                                                     "where PapID = 1")
                                   << false << same << 2 << QStringLiteral("甲卷 (改)");
    QTest::newRow("emptied name") << QStringLiteral(
                                         "update paper set PapNam = null where PapID = 1")
                                  << false << same << 2 << QStringLiteral("");
    QTest::newRow("deleted since") << QStringLiteral("delete from paper where PapID = 1") << false
                                   << same << 2 << QStringLiteral("甲卷");
    QTest::newRow("deleted, identifier given again")
        << QStringLiteral("delete from paper where PapID = 1; insert into paper (PapID, PapNam) "
                          "values (1, '丙卷')")
        << false << same << 1 << QStringLiteral("甲卷");
    QTest::newRow("renumbered since")
        << QStringLiteral("update paper set PapID = 7 where PapID = 1") << false << same << 7
        << QString();
    QTest::newRow("page removed since") << QString() << true << same << 2 << QString();
    QTest::newRow("another spelling of the path")
        << QString() << false << QStringLiteral("out/../out/./mid.html") << 2
        << QStringLiteral("甲卷");
    QTest::newRow("through a linked folder")
        << QString() << false << QStringLiteral("linked/mid.html") << 2 << QStringLiteral("甲卷");
}

void TestGenerateCommand::overwriteQuestion() {
    QFETCH(QString, sql);
    QFETCH(bool, removePage);
    QFETCH(QString, spelling);
    QFETCH(int, asking);
    QFETCH(QString, lastWriter);
    m_bank->addPaper(QStringLiteral("甲卷"), 10);
    m_bank->addPaper(QStringLiteral("乙卷"), 10);
    const QString folder = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::link(folder, m_dir->filePath(QStringLiteral("linked"))));
    const QString page = folder + QStringLiteral("/mid.html");
    writeFile(page, "甲卷的页面");
    rememberPublisher(m_bank->conn, page, 1, QStringLiteral("甲卷"));
    if (!sql.isEmpty())
        for (const QString& statement : sql.split(QLatin1Char(';')))
            m_bank->conn.execute(statement);
    if (removePage)
        QVERIFY(QFile::remove(page));

    const QString path = m_dir->filePath(spelling);
    const QString name =
        banktest::scalar(
            m_bank->conn,
            QStringLiteral("select PapNam as v from paper where PapID = %1").arg(asking))
            .toString();
    const QString asked = tess::overwriteQuestion(m_bank->conn, path, asking, name);
    if (lastWriter.isNull())
        QCOMPARE(asked, QString());
    else
        QCOMPARE(asked, QStringLiteral("文件 ") + path + QStringLiteral(" 是试卷 \"") + lastWriter +
                            QStringLiteral("\" 生成的, 要用试卷 \"") + name +
                            QStringLiteral("\" 覆盖它吗?"));
}

// The bank remembers a page only once it is written; a failure to remember
// only warns, the page being written and opened all the same.
void TestGenerateCommand::rememberedOnlyOnceWritten() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    QStringList remembered;
    m_pageWritten = [&](const QString& path) { remembered << path; };
    run(pap, m_dir->filePath(QStringLiteral("gone/mid.html")));
    QVERIFY(remembered.isEmpty());
    run(pap, m_dir->filePath(QStringLiteral("mid.html")));
    QCOMPARE(remembered, QStringList{m_dir->filePath(QStringLiteral("mid.html"))});

    m_pageWritten = [](const QString&) { throw EngineError(QStringLiteral("试题库被锁住了.")); };
    m_opener.opened.clear();
    const QString page = m_dir->filePath(QStringLiteral("final.html"));
    run(pap, page);
    QCOMPARE(m_messages.mid(2),
             (QStringList{QStringLiteral("正在生成试卷..."), kSuccess + page + QLatin1Char('.'),
                          QStringLiteral("警告: 试题库没能记下这个文件是哪份试卷生成的, "
                                         "以后用别的试卷生成到这里时不会先问: 试题库被锁住了.")}));
    QVERIFY(QFile::exists(page));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("final.files/b.png"))));
    QCOMPARE(m_opener.opened, QStringList{page});
}

// Told not to replace the page, the command writes nothing at all and says so.
void TestGenerateCommand::refusedToReplace() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString page = m_dir->filePath(QStringLiteral("mid.html"));
    writeFile(page, "earlier page");
    QStringList asked;
    m_mayReplace = [&](const QString& path) {
        asked << path;
        return false;
    };
    m_pageWritten = [](const QString&) { QFAIL("nothing was written"); };
    const QStringList before = entries(m_dir->path());
    run(pap, m_dir->filePath(QStringLiteral("mid")));
    QCOMPARE(asked, QStringList{page});
    QCOMPARE(m_messages, (QStringList{QStringLiteral("试卷错误性检查..."), QString(),
                                      QStringLiteral("没有生成试卷, 文件 ") + page +
                                          QStringLiteral(" 保持原样.")}));
    QCOMPARE(readFile(page), QByteArray("earlier page"));
    QCOMPARE(entries(m_dir->path()), before);
    QVERIFY(m_opener.opened.isEmpty());
    QVERIFY(m_boxes.isEmpty());
}

QTEST_GUILESS_MAIN(TestGenerateCommand)
#include "tst_generatecommand.moc"
