// The page style a paper keeps in the bank (on both engines, including banks
// made before the styles), and the page for phones as the writer writes it.
// How the page behaves in a browser is tested in tests/browser/phone.test.mjs.
#include "bankhelpers.h"
#include "generate/generateerror.h"
#include "generate/paperwriter.h"
#include "generate/phonepage.h"
#include "paperfixture.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/orphanwatch.h"
#include "store/pagestyle.h"
#include "store/schema.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tess;

namespace {

const QString kTF = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPhonePage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(m_dir.emplace().isValid()); }
    void cleanup() { m_dir.reset(); }
    void styleNames();
    void styleRecord();
    void styleFollowsItsPaper();
    void bankBeforeStylesReadsClassic();
    void phonePageContent();
    void classicStyleIsTheClassicPage();
    void fullMarkRefused();

private:
    QString bankPath() const { return m_dir->filePath(QStringLiteral("bank.mdb")); }
    std::optional<QTemporaryDir> m_dir;
};

void TestPhonePage::styleNames() {
    QCOMPARE(pageStyleName(PageStyle::Classic), QStringLiteral("经典"));
    QCOMPARE(pageStyleName(PageStyle::Phone), QStringLiteral("手机友好"));
    QCOMPARE(pageStyleFromName(QStringLiteral("手机友好")), std::optional(PageStyle::Phone));
    QCOMPARE(pageStyleFromName(QStringLiteral("经典")), std::optional(PageStyle::Classic));
    QVERIFY(!pageStyleFromName(QStringLiteral("phone")));
    QVERIFY(!pageStyleFromName(QString()));
}

// Written and read back; classic without options leaves no record; values
// another program wrote that this one does not know read as classic.
void TestPhonePage::styleRecord() {
    PaperFixture bank(bankPath());
    const int papId = bank.addPaper(QStringLiteral("甲"), 100);
    QVERIFY(canKeepPaperStyle(bank.conn));
    QCOMPARE(readPaperStyle(bank.conn, papId), PaperStyle{});
    const PaperStyle phone{PageStyle::Phone, true, false, 30};
    writePaperStyle(bank.conn, papId, phone);
    QCOMPARE(readPaperStyle(bank.conn, papId), phone);
    writePaperStyle(bank.conn, papId, PaperStyle{PageStyle::Phone, false, true, 0});
    QCOMPARE(readPaperStyle(bank.conn, papId), (PaperStyle{PageStyle::Phone, false, true, 0}));
    writePaperStyle(bank.conn, papId, PaperStyle{});
    QCOMPARE(banktest::count(bank.conn, QStringLiteral("paper_style")), 0);
    // The bank itself refuses what no page could use.
    QVERIFY_THROWS_EXCEPTION(
        EngineError, bank.conn.execute(QStringLiteral(
                         "insert into paper_style (PapID, style, time_limit) values (7, 1, -5)")));
    QVERIFY_THROWS_EXCEPTION(
        EngineError,
        bank.conn.execute(QStringLiteral("insert into paper_style (PapID, style) values (7, 2)")));
}

// Deleted with its paper (a later paper with the same identifier starts
// classic), carried along when the paper is renumbered.
void TestPhonePage::styleFollowsItsPaper() {
    PaperFixture bank(bankPath());
    const int a = bank.addPaper(QStringLiteral("甲"), 100);
    const int b = bank.addPaper(QStringLiteral("乙"), 100);
    writePaperStyle(bank.conn, a, PaperStyle{PageStyle::Phone, true, true, 10});
    writePaperStyle(bank.conn, b, PaperStyle{PageStyle::Phone});
    bank.conn.execute(QStringLiteral("update paper set PapID = 40 where PapID = %1").arg(a));
    QCOMPARE(readPaperStyle(bank.conn, 40), (PaperStyle{PageStyle::Phone, true, true, 10}));
    QCOMPARE(readPaperStyle(bank.conn, a), PaperStyle{});
    bank.conn.execute(QStringLiteral("delete from paper where PapID = %1").arg(b));
    QCOMPARE(readPaperStyle(bank.conn, b), PaperStyle{});
    bank.conn.execute(QStringLiteral("delete from paper"));
    QCOMPARE(banktest::count(bank.conn, QStringLiteral("paper_style")), 0);
}

// A bank of the version before the styles: every paper reads as classic, a
// style cannot be written, and opening it for work brings the table.
void TestPhonePage::bankBeforeStylesReadsClassic() {
    if (banktest::onServer())
        QSKIP("the file bank's upgrade; the server's is tested with its pictures");
    {
        PaperFixture bank(bankPath());
        bank.addPaper(QStringLiteral("甲"), 100);
        bank.conn.execute(QStringLiteral(
            "drop trigger paper_style_paper_deleted; drop trigger paper_style_paper_renumbered; "
            "drop table paper_style; pragma user_version = 3"));
    }
    {
        // Read as it is, before the program has opened it for work.
        Connection reading;
        reading.setDataSource(bankPath());
        reading.openForReading();
        QVERIFY(!canKeepPaperStyle(reading));
        QCOMPARE(readPaperStyle(reading, 1), PaperStyle{});
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 writePaperStyle(reading, 1, PaperStyle{PageStyle::Phone}));
    }
    banktest::BankConnection conn(bankPath());
    QCOMPARE(addOrphanWatch(conn), QString());
    QVERIFY(canKeepPaperStyle(conn));
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select user_version as v from "
                                                   "pragma_user_version()"))
                 .toInt(),
             kPaperBankVersion);
    writePaperStyle(conn, 1, PaperStyle{PageStyle::Phone});
    QCOMPARE(readPaperStyle(conn, 1).style, PageStyle::Phone);
}

// The texts as the classic page has them (question HTML as stored, picture
// tags pointed at the page pictures folder), names escaped, the options in
// the page, nothing fetched from elsewhere.
void TestPhonePage::phonePageContent() {
    PaperFixture bank(bankPath());
    const int papId = bank.addPaper(QStringLiteral("<b>期中</b> & \"A\""), 30);
    bank.addQuestion(papId, 1, kTF, 10,
                     QStringLiteral("<i>地球</i>是圆的<IMG SRC=\"images\\a b.png\">"), true);
    const int q = bank.addQuestion(papId, 2, kSingle, 20, QStringLiteral("选一个"));
    bank.addChoice(q, 1, QStringLiteral("<u>甲</u>"), false);
    bank.addChoice(q, 2, QStringLiteral("乙"), true);
    const QString out = m_dir->filePath(QStringLiteral("mid.html"));
    writeStyledPage(bank.conn,
                    PageSource{papId, QStringLiteral("<b>期中</b> & \"A\""), QStringLiteral("30")},
                    PaperStyle{PageStyle::Phone, true, false, 25}, out);
    const QByteArray bytes = readFile(out);
    QVERIFY(bytes.startsWith("<!DOCTYPE html>"));
    const QString page = QString::fromUtf8(bytes);
    QVERIFY(page.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    QVERIFY(
        page.contains(QStringLiteral("Content-Security-Policy\" content=\"default-src 'none'")));
    QVERIFY(page.contains(
        QStringLiteral("<title>&lt;b&gt;期中&lt;/b&gt; &amp; &quot;A&quot;</title>")));
    QVERIFY(page.contains(QStringLiteral("<h1>&lt;b&gt;期中&lt;/b&gt; &amp; &quot;A&quot;</h1>")));
    QVERIFY(page.contains(QStringLiteral("<i>地球</i>是圆的<IMG SRC=\"mid.files\\a b.png\">")));
    QVERIFY(page.contains(QStringLiteral("<u>甲</u>")));
    QVERIFY(
        page.contains(QStringLiteral("data-full=\"30\" data-time-limit=\"25\" "
                                     "data-shuffle-choices=\"1\" data-shuffle-questions=\"0\"")));
    QVERIFY(page.contains(QStringLiteral("限时 25 分钟")));
    QVERIFY(page.contains(QStringLiteral("value=\"0\" data-right=\"true\"><span>对</span>")));
    QVERIFY(page.contains(QStringLiteral("value=\"1\" data-right=\"false\"><span>错</span>")));
    QCOMPARE(page.count(QStringLiteral("type=\"radio\" name=\"q2\"")), 2);
    // The classic grader, whole, drives the marking.
    for (const QString& line : graderScriptLines())
        QVERIFY2(page.contains(line), qPrintable(line));
    // Nothing from elsewhere.
    QVERIFY(!page.contains(QStringLiteral("http://")));
    QVERIFY(!page.contains(QStringLiteral("https://")));
    QVERIFY(!page.contains(QStringLiteral(" src=\"")));
}

// The classic style writes the classic page, byte for byte.
void TestPhonePage::classicStyleIsTheClassicPage() {
    PaperFixture bank(bankPath());
    const int papId = bank.addPaper(QStringLiteral("期中"), 10);
    bank.addQuestion(papId, 1, kTF, 10, QStringLiteral("对吗"), false);
    const PageSource source{papId, QStringLiteral("期中"), QStringLiteral("10")};
    const QString styled = m_dir->filePath(QStringLiteral("styled.html"));
    const QString classic = m_dir->filePath(QStringLiteral("classic.html"));
    // Options belong to the phone page: the classic one ignores them.
    writeStyledPage(bank.conn, source, PaperStyle{PageStyle::Classic, true, true, 5}, styled);
    writePaperPage(bank.conn, source, classic);
    QCOMPARE(readFile(styled), readFile(classic));
}

void TestPhonePage::fullMarkRefused() {
    PaperFixture bank(bankPath());
    const int papId = bank.addPaper(QStringLiteral("期中"), QVariant());
    const QString out = m_dir->filePath(QStringLiteral("x.html"));
    QVERIFY_THROWS_EXCEPTION(
        GenerateError, writeStyledPage(bank.conn, PageSource{papId, QStringLiteral("期中"), {}},
                                       PaperStyle{PageStyle::Phone}, out));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestPhonePage)
#include "tst_phonepage.moc"
