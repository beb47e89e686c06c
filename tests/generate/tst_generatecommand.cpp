#include "generate/papercheck.h"
#include "generate/paperwriter.h"
#include "generate/publish.h"
#include "paperfixture.h"
#include "store/engineerror.h"
#include "store/query.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

private:
    void run(int papId, const QString& papSav);
    QString pictures() const { return m_dir->filePath(QStringLiteral("images")); }

    QTemporaryDir* m_dir = nullptr;
    PaperFixture* m_bank = nullptr;
    Query* m_query = nullptr;
    TableCursor* m_genQst = nullptr;
    TableCursor* m_genChc = nullptr;
    RecordingOpener m_opener;
    QStringList m_messages;
    QStringList m_boxes;
};

void TestGenerateCommand::init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_bank = new PaperFixture(m_dir->filePath(QStringLiteral("bank.mdb")));
    m_query = new Query(m_bank->conn);
    m_genQst = new TableCursor(m_bank->conn, QStringLiteral("question"));
    m_genChc = new TableCursor(m_bank->conn, QStringLiteral("choice"));
    m_opener.opened.clear();
    m_messages = {QStringLiteral("earlier line")};
    m_boxes.clear();
    QVERIFY(QDir().mkdir(pictures()));
    writeFile(pictures() + QStringLiteral("/map 1.jpg"), "map");
    writeFile(pictures() + QStringLiteral("/b.png"), "b");
}

void TestGenerateCommand::cleanup() {
    delete m_genChc;
    delete m_genQst;
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
        writePaperPage(*m_genQst, *m_genChc,
                       PageSource{papId, QStringLiteral("p"), QStringLiteral("10")}, path);
    };
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

QTEST_GUILESS_MAIN(TestGenerateCommand)
#include "tst_generatecommand.moc"
