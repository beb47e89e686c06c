#include "app/banner.h"
#include "app/taboutdlg.h"
#include "app/tformhelp.h"
#include "appfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTextBrowser>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray encode(const char* encoding, const QString& text) {
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}

QString longPage(const QString& head) {
    QString body;
    for (int i = 1; i <= 300; ++i)
        body += QStringLiteral("<p>第%1段 使用指南的内容</p>\n").arg(i);
    return QStringLiteral("<html><head>") + head + QStringLiteral("</head><body>") + body +
           QStringLiteral("</body></html>");
}

} // namespace

class TestHelpAbout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noGuide();
    void pageDecoded_data();
    void pageDecoded();
    void linkedPageDecoded();
    void closingKeepsThePlace();
    void suppliedGuide();
    void aboutBox();
    void aboutFromMainWindow();
};

// Without a guide the window opens empty, and nothing is reported.
void TestHelpAbout::noGuide() {
    AppFolder folder;
    TMainForm form;
    TFormHelp help(tess::ProgramFiles::GuidePath());
    form.SetHelpWindow(&help);
    QVERIFY(help.isHidden());
    QCOMPARE(help.windowTitle(), QStringLiteral("使用指南"));
    form.OnHelp->trigger();
    QVERIFY(help.isVisible());
    QVERIFY(help.windowState() & Qt::WindowMaximized);
    QVERIFY(help.WebBrowser1->toPlainText().isEmpty());
    QVERIFY(messageArea(form)->toPlainText().isEmpty());
    QVERIFY(tess::Prompts::instance().shownTexts().isEmpty());
    QVERIFY(!(help.windowFlags() & Qt::WindowMinimizeButtonHint));
}

void TestHelpAbout::pageDecoded_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QString text = QStringLiteral("老师们好, 请用帐号Admin登陆");
    const QString page = QStringLiteral("<html><head>%1</head><body><p>") + text +
                         QStringLiteral("</p></body></html>");
    QTest::newRow("gb2312 declared") << encode(
        "GBK", page.arg(QStringLiteral(
                   "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">")));
    QTest::newRow("nothing declared: GBK") << encode("GBK", page.arg(QString()));
    QTest::newRow("utf-8 declared")
        << page.arg(QStringLiteral("<meta charset=\"utf-8\">")).toUtf8();
    QTest::newRow("unknown charset: GBK")
        << encode("GBK", page.arg(QStringLiteral("<meta charset=\"x-nonsense\">")));
}

void TestHelpAbout::pageDecoded() {
    QFETCH(QByteArray, bytes);
    AppFolder folder(false);
    writeFile(tess::ProgramFiles::GuidePath(), bytes);
    TFormHelp help(tess::ProgramFiles::GuidePath());
    QCOMPARE(help.WebBrowser1->toPlainText(), QStringLiteral("老师们好, 请用帐号Admin登陆"));
}

// Pages the guide links to are decoded the same way.
void TestHelpAbout::linkedPageDecoded() {
    AppFolder folder(false);
    writeFile(
        tess::ProgramFiles::GuidePath(),
        encode("GBK", QStringLiteral("<html><body><a href=\"more.htm\">更多</a></body></html>")));
    writeFile(
        folder.dir.filePath(QStringLiteral("more.htm")),
        encode("GBK", QStringLiteral(
                          "<html><head><meta charset=gb2312></head><body>第二页</body></html>")));
    TFormHelp help(tess::ProgramFiles::GuidePath());
    help.WebBrowser1->setSource(
        QUrl::fromLocalFile(folder.dir.filePath(QStringLiteral("more.htm"))));
    QCOMPARE(help.WebBrowser1->toPlainText(), QStringLiteral("第二页"));
}

// Closing only hides; showing again finds the page where the user left it,
// read once at creation.
void TestHelpAbout::closingKeepsThePlace() {
    AppFolder folder;
    writeFile(tess::ProgramFiles::GuidePath(), encode("GBK", longPage(QString())));
    TMainForm form;
    TFormHelp help(tess::ProgramFiles::GuidePath());
    form.SetHelpWindow(&help);
    form.OnHelp->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    help.showNormal();
    help.resize(500, 300);
    QScrollBar* bar = help.WebBrowser1->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum() / 2);
    const int place = bar->value();
    const QRect geometry = help.geometry();
    writeFile(tess::ProgramFiles::GuidePath(), encode("GBK", QStringLiteral("<p>换过的指南</p>")));

    QVERIFY(help.close() == false || help.isHidden());
    QVERIFY(help.isHidden());
    form.OnHelp->trigger();
    QVERIFY(help.isVisible());
    QCOMPARE(bar->value(), place);
    QCOMPARE(help.geometry(), geometry);
    QVERIFY(help.WebBrowser1->toPlainText().startsWith(QStringLiteral("第1段")));
}

// The guide that comes with the program is GBK and readable.
void TestHelpAbout::suppliedGuide() {
    const QString source = qEnvironmentVariable("TESS_SOURCE_DIR");
    if (source.isEmpty())
        QSKIP("TESS_SOURCE_DIR not set");
    QFile file(source + QStringLiteral("/resources/tessaloom.htm"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("charset=gb2312"));
    QStringDecoder strict("GBK");
    const QString text = strict.decode(bytes);
    QVERIFY(!strict.hasError());
    QCOMPARE(tess::decodeHtmlPage(bytes), text);
    for (const QString& topic :
         {QStringLiteral("Admin"), QStringLiteral("修改用户密码"), QStringLiteral("新建试卷"),
          QStringLiteral("生成试卷"), QStringLiteral(".files"), QStringLiteral("系统设置")})
        QVERIFY2(text.contains(topic), qPrintable(topic));
    // Where an installed program keeps each teacher's files, and how to open another bank.
    for (const QString& topic :
         {QStringLiteral("~/.local/share/tessaloom"), QStringLiteral("~/.config/tessaloom"),
          QStringLiteral("tessaloom --bank"), QStringLiteral("tessaloom --version")})
        QVERIFY2(text.contains(topic), qPrintable(topic));
    // The administrator's part: what a school needs to set up a shared bank.
    for (const QString& topic :
         {QStringLiteral("学校共享试题库 (PostgreSQL)"), QStringLiteral("tessaloom-newbank"),
          QStringLiteral("tessaloom-bank copy"), QStringLiteral("[Bank]"),
          QStringLiteral("Server=postgresql://"), QStringLiteral("chmod 600 ~/.pgpass"),
          QStringLiteral("PGPASSFILE"), QStringLiteral("service=tessbank"),
          QStringLiteral("PGPASSWORD"), QStringLiteral("sslmode=verify-full"),
          QStringLiteral("hostssl"), QStringLiteral("target_session_attrs=read-write"),
          QStringLiteral("pg_basebackup"), QStringLiteral("pg_dump"), QStringLiteral("pg_restore")})
        QVERIFY2(text.contains(topic), qPrintable(topic));
    // Every entry of the contents leads to a place in the guide.
    static const QRegularExpression link(QStringLiteral("<a href=\"#([^\"]+)\">"));
    int links = 0;
    for (const QRegularExpressionMatch& match : link.globalMatch(text)) {
        ++links;
        const QString anchor = QStringLiteral("<a name=\"%1\">").arg(match.captured(1));
        QVERIFY2(text.count(anchor) == 1, qPrintable(anchor));
    }
    QVERIFY(links >= 10);
}

void TestHelpAbout::aboutBox() {
    AppFolder folder(false);
    TAboutDlg about(nullptr);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.windowTitle(), QStringLiteral("关于Tessaloom"));
    QCOMPARE(about.size(), QSize(501, 320));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QCOMPARE(about.Panel1->height(), 65);
    QCOMPARE(about.ProductName->text(), QStringLiteral("Tessaloom"));
    QCOMPARE(about.Version->text(), QStringLiteral("版本 " TESS_PROJECT_VERSION));
    // Which bank and which settings file this run uses.
    QCOMPARE(about.FilesInUse->text(),
             QStringLiteral("试题库: %1\n设置文件: %2")
                 .arg(QDir::toNativeSeparators(tess::ProgramFiles::PaperBankPath()),
                      QDir::toNativeSeparators(tess::ProgramFiles::SettingsPath())));
    QVERIFY(about.ProductName->font().underline() && about.ProductName->font().bold());
    QCOMPARE(about.OKButton->text(), QStringLiteral("确　定"));
    QVERIFY(about.OKButton->isFlat());
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        about.grab().save(dir + QStringLiteral("/about.png"));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QTest::mouseClick(about.OKButton, Qt::LeftButton);
    QVERIFY(about.isHidden());
}

// F2 in the main window opens a modal About box owned by it, discarded after.
void TestHelpAbout::aboutFromMainWindow() {
    AppFolder folder;
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget* owner = nullptr;
    bool modal = false;
    onNextModal<TAboutDlg>([&](TAboutDlg* about) {
        owner = about->parentWidget();
        modal = about->isModal();
        about->close();
    });
    messageArea(form)->setFocus();
    QTest::keyClick(messageArea(form), Qt::Key_F2);
    QCOMPARE(owner, &form);
    QVERIFY(modal);
    QVERIFY(form.findChildren<TAboutDlg*>().isEmpty());
}

QTEST_MAIN(TestHelpAbout)
#include "tst_helpabout.moc"
