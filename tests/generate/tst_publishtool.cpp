// tessaloom-publish from the command line: the same files the window's
// command writes, the style chosen by the paper or by --style, the check's
// refusal with its errors and exit code 1, and a bank that is only read.
#include "bankhelpers.h"
#include "generate/paperwriter.h"
#include "generate/phonepage.h"
#include "paperfixture.h"
#include "store/pagestyle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace tess;

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Run {
    int code = -1;
    QString out;
};

} // namespace

class TestPublishTool : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup() { m_dir.reset(); }
    void style_data();
    void style();
    void refusedByTheCheck();
    void unknownPaper();

private:
    Run run(const QStringList& args) const;
    QString path(const QString& name) const { return m_dir->filePath(name); }

    QString m_tool;
    std::optional<QTemporaryDir> m_dir;
    int m_good = 0, m_bad = 0;
};

void TestPublishTool::initTestCase() {
    m_tool = qEnvironmentVariable("TESS_BIN_DIR") + QStringLiteral("/tessaloom-publish");
    QVERIFY2(QFileInfo(m_tool).isExecutable(), qPrintable(m_tool));
}

// A bank with a paper that passes the check and shows a picture (1) and one
// whose question has no text (2); the picture lies in "images" beside it.
void TestPublishTool::init() {
    QVERIFY(m_dir.emplace().isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("images")));
    QFile picture(path(QStringLiteral("images/dot.png")));
    QVERIFY(picture.open(QIODevice::WriteOnly));
    picture.write("not really a png, copied as it is");
    picture.close();
    PaperFixture bank(path(QStringLiteral("bank.mdb")));
    m_good = bank.addPaper(QStringLiteral("期中测验"), 20);
    bank.addQuestion(m_good, 1, QStringLiteral("判断题"), 10,
                     QStringLiteral("<IMG SRC=\"images\\dot.png\">是点."), true);
    const int q = bank.addQuestion(m_good, 2, QStringLiteral("单选题"), 10, QStringLiteral("选"));
    bank.addChoices(q, 3, {2});
    m_bad = bank.addPaper(QStringLiteral("坏试卷"), 10);
    bank.addQuestion(m_bad, 1, QStringLiteral("判断题"), 10, QString(), true);
}

Run TestPublishTool::run(const QStringList& args) const {
    QProcess p;
    p.setWorkingDirectory(m_dir->path());
    p.start(m_tool, args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput())};
}

void TestPublishTool::style_data() {
    QTest::addColumn<int>("paperStyle"); // what the paper keeps
    QTest::addColumn<QString>("option"); // --style, or none
    QTest::addColumn<int>("written");
    const int c = int(PageStyle::Classic), p = int(PageStyle::Phone);
    QTest::newRow("classic paper") << c << QString() << c;
    QTest::newRow("phone paper") << p << QString() << p;
    QTest::newRow("phone paper, --style 经典") << p << QStringLiteral("经典") << c;
    QTest::newRow("classic paper, --style 手机友好") << c << QStringLiteral("手机友好") << p;
}

// Exactly what the window's command writes: the page of the style, its
// pictures folder filled, and nothing in the bank changed.
void TestPublishTool::style() {
    QFETCH(int, paperStyle);
    QFETCH(QString, option);
    QFETCH(int, written);
    const PaperStyle kept{PageStyle(paperStyle), true, false, 15};
    {
        banktest::BankConnection conn(path(QStringLiteral("bank.mdb")));
        writePaperStyle(conn, m_good, kept);
    }
    const QByteArray bankBefore = readFile(path(QStringLiteral("bank.mdb")));
    QStringList args{path(QStringLiteral("bank.mdb")), QString::number(m_good),
                     path(QStringLiteral("out/mid"))};
    if (!option.isEmpty())
        args << QStringLiteral("--style") << option;
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out")));
    const Run r = run(args);
    QCOMPARE(r.code, 0);
    QVERIFY2(
        r.out.contains(QStringLiteral("试卷成功生成到:") + path(QStringLiteral("out/mid.html"))),
        qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral("页面样式: ") + pageStyleName(PageStyle(written))));
    QCOMPARE(readFile(path(QStringLiteral("out/mid.files/dot.png"))),
             QByteArray("not really a png, copied as it is"));
    // The same bytes as the window's writer gives for this paper and style.
    const QString expected = path(QStringLiteral("expected/mid.html"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("expected")));
    {
        banktest::BankConnection conn(path(QStringLiteral("bank.mdb")));
        PaperStyle style = kept;
        style.style = PageStyle(written);
        writeStyledPage(conn, PageSource{m_good, QStringLiteral("期中测验"), QStringLiteral("20")},
                        style, expected);
    }
    const QByteArray page = readFile(path(QStringLiteral("out/mid.html")));
    QCOMPARE(page, readFile(expected));
    QCOMPARE(page.contains("Content-Security-Policy"), written == int(PageStyle::Phone));
    QVERIFY(page.contains("mid.files\\dot.png"));
    QCOMPARE(readFile(path(QStringLiteral("bank.mdb"))), bankBefore);
}

// The check's errors, then the refusal; exit 1 and no page.
void TestPublishTool::refusedByTheCheck() {
    const Run r = run({path(QStringLiteral("bank.mdb")), QString::number(m_bad),
                       path(QStringLiteral("bad.html")), QStringLiteral("--style"),
                       QStringLiteral("手机友好")});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.contains(QStringLiteral("错误: 当前试卷有题目内容为空.")), qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral("拒绝: 试卷 \"坏试卷\" 没有通过试卷错误性检查")));
    QVERIFY(!QFile::exists(path(QStringLiteral("bad.html"))));
    QVERIFY(!QFile::exists(path(QStringLiteral("bad.files"))));
}

void TestPublishTool::unknownPaper() {
    const Run r =
        run({path(QStringLiteral("bank.mdb")), QStringLiteral("99"), path(QStringLiteral("x"))});
    QCOMPARE(r.code, 1);
    QVERIFY(r.out.contains(QStringLiteral("没有标识为 99 的试卷")));
    const Run notNumber =
        run({path(QStringLiteral("bank.mdb")), QStringLiteral("abc"), path(QStringLiteral("x"))});
    QCOMPARE(notNumber.code, 2);
    QVERIFY(!QFile::exists(path(QStringLiteral("x.html"))));
}

QTEST_GUILESS_MAIN(TestPublishTool)
#include "tst_publishtool.moc"
