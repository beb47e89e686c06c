// Which paper bank the program works on: the command line's --bank, then the
// settings file's [Bank] Server=, then the file beside the program; and the
// server addresses refused before any connection is tried.
#include "settings/bankchoice.h"
#include "settings/programfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using tess::BankChoice;
using Source = tess::BankChoice::Source;

Q_DECLARE_METATYPE(BankChoice::Source)

namespace {

// Ways of passing a password the message must name.
const QStringList kPasswordWays{QStringLiteral("~/.pgpass"), QStringLiteral("PGPASSFILE"),
                                QStringLiteral("pg_service.conf"), QStringLiteral("PGPASSWORD")};

QByteArray serverLine(const QByteArray& value) {
    return "[Default]\r\nDefPapScr=90\r\n\r\n[Bank]\r\nServer=" + value + "\r\n";
}

} // namespace

class TestBankChoice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void decision_data();
    void decision();
    void serverForms_data();
    void serverForms();
    void chosenFollowsTheProgram();

private:
    std::optional<QTemporaryDir> m_dir;
};

void TestBankChoice::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    tess::ProgramFiles::SetExecutablePath(m_dir->filePath(QStringLiteral("tessaloom")));
}

void TestBankChoice::cleanup() {
    tess::ProgramFiles::SetExecutablePath(QString());
    tess::clearChosenBank();
    m_dir.reset();
}

void TestBankChoice::decision_data() {
    QTest::addColumn<QStringList>("arguments"); // after the program's own name
    QTest::addColumn<QByteArray>("settings");   // empty: no settings file
    QTest::addColumn<Source>("source");
    QTest::addColumn<QString>(
        "name"); // BESIDE: the file beside the program; CWD/: the current folder
    QTest::addColumn<QStringList>("problem"); // all of these in it; empty: no problem
    QTest::addColumn<QString>("neverShown");

    const QString beside = QStringLiteral("BESIDE");
    const QByteArray server = serverLine("postgresql://db.school/bank");
    const QString bank = QStringLiteral("--bank");

    QTest::newRow("nothing named") << QStringList{} << QByteArray() << Source::BesideProgram
                                   << beside << QStringList{} << QString();
    QTest::newRow("settings without [Bank]")
        << QStringList{} << QByteArray("[Default]\r\nDefPapScr=90\r\n") << Source::BesideProgram
        << beside << QStringList{} << QString();
    QTest::newRow("empty Server=") << QStringList{} << serverLine("  ") << Source::BesideProgram
                                   << beside << QStringList{} << QString();
    QTest::newRow("Server=") << QStringList{} << server << Source::Settings
                             << QStringLiteral("postgresql://db.school/bank") << QStringList{}
                             << QString();
    QTest::newRow("other letter case, quoted, postgres://")
        << QStringList{}
        << QByteArray("[bank]\nSERVER = \"Postgres://db.school:5433/bank?sslmode=require\"\n")
        << Source::Settings << QStringLiteral("Postgres://db.school:5433/bank?sslmode=require")
        << QStringList{} << QString();
    QTest::newRow("two hosts, read-write one")
        << QStringList{}
        << serverLine("postgresql://db1:5432,db2:5432/bank?target_session_attrs=read-write")
        << Source::Settings
        << QStringLiteral("postgresql://db1:5432,db2:5432/bank?target_session_attrs=read-write")
        << QStringList{} << QString();
    QTest::newRow("user, no password, passfile")
        << QStringList{} << serverLine("postgresql://wang@db/bank?passfile=%2Fhome%2Fw%2Fpg")
        << Source::Settings << QStringLiteral("postgresql://wang@db/bank?passfile=%2Fhome%2Fw%2Fpg")
        << QStringList{} << QString();

    QTest::newRow("--bank file wins over Server=")
        << QStringList{bank, QStringLiteral("/srv/题库/学校.mdb")} << server << Source::Argument
        << QStringLiteral("/srv/题库/学校.mdb") << QStringList{} << QString();
    QTest::newRow("--bank= relative file")
        << QStringList{QStringLiteral("--bank=banks/x.mdb")} << QByteArray() << Source::Argument
        << QStringLiteral("CWD/banks/x.mdb") << QStringList{} << QString();
    QTest::newRow("--bank file through ..")
        << QStringList{bank, QStringLiteral("/srv/a/../b.mdb")} << QByteArray() << Source::Argument
        << QStringLiteral("/srv/b.mdb") << QStringList{} << QString();
    QTest::newRow("--bank URI") << QStringList{bank, QStringLiteral("postgresql://[::1]:5432/bank")}
                                << QByteArray() << Source::Argument
                                << QStringLiteral("postgresql://[::1]:5432/bank") << QStringList{}
                                << QString();
    // Typed by the teacher for one start, not kept in a file for all to read.
    QTest::newRow("--bank URI with password")
        << QStringList{bank, QStringLiteral("postgresql://wang:secret@db/bank")} << QByteArray()
        << Source::Argument << QStringLiteral("postgresql://wang:secret@db/bank") << QStringList{}
        << QString();
    QTest::newRow("the last --bank wins, other arguments left alone")
        << QStringList{bank,
                       QStringLiteral("/a.mdb"),
                       QStringLiteral("-style"),
                       QStringLiteral("fusion"),
                       QStringLiteral("--bank=/b.mdb"),
                       QStringLiteral("extra")}
        << QByteArray() << Source::Argument << QStringLiteral("/b.mdb") << QStringList{}
        << QString();
    QTest::newRow("--bank without a name")
        << QStringList{bank} << server << Source::Argument << QString()
        << QStringList{QStringLiteral("--bank 后面缺少试题库"), QStringLiteral("postgresql://")}
        << QString();
    QTest::newRow("--bank= empty")
        << QStringList{QStringLiteral("--bank=")} << QByteArray() << Source::Argument << QString()
        << QStringList{QStringLiteral("--bank 后面缺少试题库")} << QString();
    QTest::newRow("--bank malformed URI, password kept out")
        << QStringList{bank, QStringLiteral("postgresql://wang:secret@db:99999/bank")}
        << QByteArray() << Source::Argument
        << QStringLiteral("postgresql://wang:secret@db:99999/bank")
        << QStringList{QStringLiteral("命令行参数 --bank"), QStringLiteral("写得不对"),
                       QStringLiteral("99999"), QStringLiteral("wang@db:99999/bank")}
        << QStringLiteral("secret");

    // A refused name is not kept either, so that it is never shown.
    QStringList passwordRefused{QStringLiteral("Server="), QStringLiteral("写有密码")};
    passwordRefused << kPasswordWays;
    QTest::newRow("password after the user")
        << QStringList{} << serverLine("postgresql://wang:secret@db/bank") << Source::Settings
        << QString() << passwordRefused << QStringLiteral("secret");
    QTest::newRow("empty password after the user")
        << QStringList{} << serverLine("postgresql://wang:@db/bank") << Source::Settings
        << QString() << passwordRefused << QString();
    QTest::newRow("password as a parameter")
        << QStringList{} << serverLine("postgresql://db/bank?sslmode=require&password=secret")
        << Source::Settings << QString() << passwordRefused << QStringLiteral("secret");
    QTest::newRow("password parameter written with escapes")
        << QStringList{} << serverLine("postgresql://db/bank?pass%77ord=secret") << Source::Settings
        << QString() << passwordRefused << QStringLiteral("secret");
    // Said first: the address of a malformed one would carry the password.
    QTest::newRow("password in a malformed URI")
        << QStringList{} << serverLine("postgresql://wang:secret@db:x/bank") << Source::Settings
        << QString() << passwordRefused << QStringLiteral("secret");
    QTest::newRow("Server= holding a file path")
        << QStringList{} << serverLine("/srv/bank.mdb") << Source::Settings << QString()
        << QStringList{QStringLiteral("Server="), QStringLiteral("应是服务器试题库的地址"),
                       QStringLiteral("/srv/bank.mdb")}
        << QString();
    QTest::newRow("Server= malformed URI")
        << QStringList{} << serverLine("postgresql://db/bank?sslmode") << Source::Settings
        << QStringLiteral("postgresql://db/bank?sslmode")
        << QStringList{QStringLiteral("[Bank] 一节中 Server="), QStringLiteral("写得不对"),
                       QStringLiteral("sslmode"), QStringLiteral("postgresql://[用户名@]主机")}
        << QString();
}

void TestBankChoice::decision() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, settings);
    QFETCH(Source, source);
    QFETCH(QString, name);
    QFETCH(QStringList, problem);
    QFETCH(QString, neverShown);
    const QString settingsPath = tess::ProgramFiles::SettingsPath();
    if (!settings.isEmpty()) {
        QFile file(settingsPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
    }
    if (name == QStringLiteral("BESIDE"))
        name = tess::ProgramFiles::PaperBankPath();
    else if (name.startsWith(QStringLiteral("CWD/")))
        name = QDir::current().filePath(name.mid(4));

    const BankChoice choice = tess::chooseBank(
        QStringList{QStringLiteral("/usr/bin/tessaloom")} + arguments, settingsPath);
    QCOMPARE(choice.source, source);
    QCOMPARE(choice.name, name);
    QCOMPARE(choice.problem.isEmpty(), problem.isEmpty());
    for (const QString& part : std::as_const(problem))
        QVERIFY2(choice.problem.contains(part), qPrintable(choice.problem));
    if (!neverShown.isEmpty())
        QVERIFY2(!choice.problem.contains(neverShown), qPrintable(choice.problem));
}

void TestBankChoice::serverForms_data() {
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("problem"); // in the message; empty: the form is right
    QTest::addColumn<bool>("password");

    QTest::newRow("host and database")
        << QStringLiteral("postgresql://db/bank") << QString() << false;
    QTest::newRow("only the scheme") << QStringLiteral("postgresql://") << QString() << false;
    QTest::newRow("socket folder")
        << QStringLiteral("postgresql://%2Fvar%2Frun%2Fpostgresql/bank") << QString() << false;
    QTest::newRow("socket by parameter")
        << QStringLiteral("postgresql:///bank?host=/var/run/postgresql") << QString() << false;
    QTest::newRow("IPv6 and port")
        << QStringLiteral("postgresql://[2001:db8::1]:5433/bank") << QString() << false;
    QTest::newRow("hosts, one without port")
        << QStringLiteral("postgresql://a:5432,b,[::1]/bank?target_session_attrs=read-write")
        << QString() << false;
    QTest::newRow("user with escaped @")
        << QStringLiteral("postgresql://wang%40school@db/bank") << QString() << false;
    QTest::newRow("user and password")
        << QStringLiteral("postgresql://wang:pw@db/bank") << QString() << true;
    QTest::newRow("password parameter, other case")
        << QStringLiteral("postgresql://db/bank?PASSWORD=pw") << QString() << true;

    QTest::newRow("port not a number")
        << QStringLiteral("postgresql://db:54x2/bank") << QStringLiteral("端口 \"54x2\"") << false;
    QTest::newRow("port 0") << QStringLiteral("postgresql://db:0/bank")
                            << QStringLiteral("端口 \"0\"") << false;
    QTest::newRow("port too big") << QStringLiteral("postgresql://a,db:65536/bank")
                                  << QStringLiteral("端口 \"65536\"") << false;
    QTest::newRow("IPv6 not closed")
        << QStringLiteral("postgresql://[::1/bank") << QStringLiteral("缺少 \"]\"") << false;
    QTest::newRow("after IPv6") << QStringLiteral("postgresql://[::1]x/bank")
                                << QStringLiteral("\"]\" 后面") << false;
    QTest::newRow("parameter without value")
        << QStringLiteral("postgresql://db/bank?sslmode") << QStringLiteral("缺少 \"=\"") << false;
    QTest::newRow("empty parameter")
        << QStringLiteral("postgresql://db/bank?a=1&&b=2") << QStringLiteral("缺少 \"=\"") << false;
    QTest::newRow("parameter without name")
        << QStringLiteral("postgresql://db/bank?=1") << QStringLiteral("缺少名称") << false;
    QTest::newRow("two = in a parameter") << QStringLiteral("postgresql://db/bank?options=a=b")
                                          << QStringLiteral("多余的 \"=\"") << false;
    QTest::newRow("blank") << QStringLiteral("postgresql://db/my bank") << QStringLiteral("空格")
                           << false;
    QTest::newRow("line break") << QStringLiteral("postgresql://db/bank\n")
                                << QStringLiteral("控制字符") << false;
    QTest::newRow("bad escape") << QStringLiteral("postgresql://db/bank%zz")
                                << QStringLiteral("十六进制") << false;
    QTest::newRow("cut escape") << QStringLiteral("postgresql://db/bank%4")
                                << QStringLiteral("十六进制") << false;
}

void TestBankChoice::serverForms() {
    QFETCH(QString, uri);
    QFETCH(QString, problem);
    QFETCH(bool, password);
    const QString said = tess::serverNameProblem(uri);
    if (problem.isEmpty())
        QVERIFY2(said.isEmpty(), qPrintable(said));
    else
        QVERIFY2(said.contains(problem), qPrintable(said));
    if (problem.isEmpty())
        QCOMPARE(tess::serverNameHasPassword(uri), password);
}

// Without a decision, and after one for the file beside the program, the bank
// is the file beside the program wherever that is at the time; a named bank stays.
void TestBankChoice::chosenFollowsTheProgram() {
    QCOMPARE(tess::chosenBank().source, Source::BesideProgram);
    QCOMPARE(tess::chosenBank().name, m_dir->filePath(QStringLiteral("tessaloom.mdb")));
    tess::setChosenBank(tess::chooseBank({QStringLiteral("tessaloom")}, QString()));
    // A folder that exists and may be written: the program's files stay beside it.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("other")));
    tess::ProgramFiles::SetExecutablePath(m_dir->filePath(QStringLiteral("other/prog")));
    QCOMPARE(tess::chosenBank().name, m_dir->filePath(QStringLiteral("other/prog.mdb")));

    tess::setChosenBank(tess::chooseBank(
        {QStringLiteral("tessaloom"), QStringLiteral("--bank"), QStringLiteral("postgres://db/b")},
        QString()));
    QCOMPARE(tess::chosenBank().source, Source::Argument);
    QCOMPARE(tess::chosenBank().name, QStringLiteral("postgres://db/b"));
    tess::clearChosenBank();
    QCOMPARE(tess::chosenBank().name, m_dir->filePath(QStringLiteral("other/prog.mdb")));
}

QTEST_GUILESS_MAIN(TestBankChoice)
#include "tst_bankchoice.moc"
