// What only a bank on a PostgreSQL server has: its making in an empty
// database, its name without password, the server's refusals, timeouts and
// a server that stops under the program.
#include "storefixture.h"

#include "store/engineerror.h"
#include "store/statement.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>

using namespace tess;
using namespace storetest;
using namespace Qt::StringLiterals;

namespace {

// The message of what call throws, or a failure note when it does not.
template <typename Fn> QString errorOf(Fn call) {
    try {
        call();
    } catch (const EngineError& e) {
        return e.message();
    }
    return u"(no error)"_s;
}

// Runs the test server script on dir (start, halt, resume, stop); what it
// printed (the URI for start), or null when it failed.
QString serverScript(const QString& command, const QString& dir) {
    QProcess script;
    script.start(
        u"bash"_s,
        {qEnvironmentVariable("TESS_SOURCE_DIR") + u"/scripts/pg-test-server.sh"_s, command, dir});
    if (!script.waitForFinished(120000) || script.exitCode() != 0)
        return QString();
    return QString::fromUtf8(script.readAllStandardOutput()).trimmed() + u" "_s;
}

} // namespace

class TestServerBank : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void makesBankInEmptyDatabaseOnly();
    void newBankToolTakesServerName();
    void refusesDatabaseThatIsNoBank();
    void unreachableServerIsNamedWithoutPassword();
    void displayNameHidesPassword_data();
    void displayNameHidesPassword();
    void longStatementIsStopped();
    void statementsOfTheFileDialectRun();
    void readingConnectionNeverWrites();
    void stoppedServerGivesClearErrors();
    void failedStatementInTransactionIsNotCommitted();
    void programKilledInTransaction();
    void followsThePrimaryOfMultiHostName();

private:
    QTemporaryDir m_dir;
};

void TestServerBank::initTestCase() {
    if (!banktest::onServer())
        QSKIP("runs on the test server only (TESS_TEST_ENGINE=postgres)");
    QVERIFY(m_dir.isValid());
}

void TestServerBank::makesBankInEmptyDatabaseOnly() {
    const QString uri = banktest::ServerBanks::instance().makeEmpty(m_dir.filePath(u"new"_s));
    QVERIFY(Connection::isServerName(uri));
    createPaperBank(uri);
    {
        banktest::BankConnection conn(m_dir.filePath(u"new"_s));
        QVERIFY(conn.isServer());
        QCOMPARE(count(conn, u"users where acount = 'Admin' and password = ''"_s), 1);
        QCOMPARE(count(conn, u"paper"_s), 0);
        conn.execute(u"insert into paper (PapID, PapNam) values (1, 'kept')"_s);
    }
    // A database holding tables is never made a bank over.
    const QString refused = errorOf([&] { createPaperBank(uri); });
    QVERIFY2(refused.contains(u"已经有表"_s), qPrintable(refused));
    banktest::BankConnection conn(m_dir.filePath(u"new"_s));
    QCOMPARE(count(conn, u"paper where PapNam = 'kept'"_s), 1);
}

void TestServerBank::newBankToolTakesServerName() {
    const QString tool = qEnvironmentVariable("TESS_BIN_DIR") + u"/tessaloom-newbank"_s;
    if (!QFileInfo(tool).isExecutable())
        QSKIP("the new-bank tool is not built");
    const QString path = m_dir.filePath(u"tool"_s);
    // The password given in the name never shows in what the tool says.
    const QString uri = banktest::ServerBanks::instance().makeEmpty(path) + u"&password=hidden"_s;
    auto run = [&](QString* out) {
        QProcess p;
        p.start(tool, {uri});
        if (!p.waitForFinished() || p.exitStatus() != QProcess::NormalExit)
            return -1;
        *out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    QString said;
    QCOMPARE(run(&said), 0);
    QVERIFY2(!said.contains(u"hidden"_s), qPrintable(said));
    {
        banktest::BankConnection conn(path);
        addRecord(conn, u"paper"_s, {u"PapID"_s}, {1});
    }
    QVERIFY(run(&said) != 0);
    QVERIFY2(said.contains(u"已经有表"_s), qPrintable(said));
    QVERIFY2(!said.contains(u"hidden"_s), qPrintable(said));
    banktest::BankConnection conn(path);
    QCOMPARE(count(conn, u"paper"_s), 1); // the bank was left as it was
}

void TestServerBank::refusesDatabaseThatIsNoBank() {
    const QString path = m_dir.filePath(u"other"_s);
    const QString uri = banktest::ServerBanks::instance().makeEmpty(path);
    Connection conn;
    conn.setDataSource(uri);
    QString message = errorOf([&] { conn.open(); });
    QVERIFY2(message.contains(u"不是试题库"_s), qPrintable(message));
    QVERIFY(!conn.isOpen());
    QVERIFY2(message.contains(u"tessaloom-newbank"_s), qPrintable(message));
    // Another program's tables, one of them named as ours: what is missing is named.
    banktest::ServerBanks::run(uri,
                               u"create table paper (x integer); create table notes (y text)"_s);
    message = errorOf([&] { conn.open(); });
    QVERIFY2(message.contains(u"不是试题库"_s), qPrintable(message));
    QVERIFY2(message.contains(u"paper.PapID"_s), qPrintable(message));
    QVERIFY2(message.contains(u"表 users"_s), qPrintable(message));
    QVERIFY(!conn.isOpen());
}

void TestServerBank::unreachableServerIsNamedWithoutPassword() {
    Connection conn;
    conn.setDataSource(u"postgresql://teacher:secret@/bank?host=%1/none"_s.arg(m_dir.path()));
    const QString message = errorOf([&] { conn.open(); });
    QVERIFY2(message.contains(u"无法连接试题库服务器"_s), qPrintable(message));
    QVERIFY2(message.contains(u"teacher@"_s), qPrintable(message));
    QVERIFY2(!message.contains(u"secret"_s), qPrintable(message));
}

void TestServerBank::displayNameHidesPassword_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("file") << u"/home/t/tessaloom.mdb"_s << u"/home/t/tessaloom.mdb"_s;
    QTest::newRow("no password") << u"postgresql://host/bank"_s << u"postgresql://host/bank"_s;
    QTest::newRow("user and password")
        << u"postgresql://anna:pa:ss@db.school/bank?sslmode=require"_s
        << u"postgresql://anna@db.school/bank?sslmode=require"_s;
    QTest::newRow("password parameter") << u"POSTGRES://db/bank?password=x&sslmode=require"_s
                                        << u"POSTGRES://db/bank?sslmode=require"_s;
    QTest::newRow("password parameter last") << u"postgresql://db/bank?sslmode=require&password=x"_s
                                             << u"postgresql://db/bank?sslmode=require"_s;
}

void TestServerBank::displayNameHidesPassword() {
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(displayBankName(name), shown);
}

void TestServerBank::longStatementIsStopped() {
    const QString path = m_dir.filePath(u"slow"_s);
    banktest::freshBank(path);
    banktest::BankConnection conn(path);
    conn.setStatementTimeout(300);
    QElapsedTimer timer;
    timer.start();
    const QString message = errorOf([&] { conn.execute(u"select pg_sleep(5)"_s); });
    QVERIFY2(message.contains(u"时间太长"_s), qPrintable(message));
    QVERIFY(timer.elapsed() < 4000);
    // The connection goes on working.
    QCOMPARE(count(conn, u"paper"_s), 0);
}

// The forms the program writes for the file run on the server: placeholders
// bare and numbered, instr(), True and False; quoted texts stay as they are.
void TestServerBank::statementsOfTheFileDialectRun() {
    const QString path = m_dir.filePath(u"dialect"_s);
    banktest::freshBank(path);
    banktest::BankConnection conn(path);
    conn.execute(u"insert into paper (PapID, PapNam) values (1, 'True? ''false'' instr(')"_s);
    conn.execute(u"delete * from question where QstID = 3; insert into question (QstID, "
                 "PapIdx, IsTrue) values (1, 1, True), (2, 1, false)"_s);
    Statement stmt(conn,
                   u"select PapNam, (select count(*) from question where IsTrue = TRUE and "
                   "instr(PapNam, ?1) > 0 and PapIdx = ?) from paper where instr(PapNam, ?1) = 1"_s,
                   u"[test]"_s);
    stmt.bind(1, u"True?"_s);
    stmt.bind(2, 1);
    QVERIFY(stmt.step());
    QCOMPARE(stmt.text(0), u"True? 'false' instr("_s);
    QCOMPARE(stmt.int64(1), 1);
    // A boolean column reads as one through a query too.
    Query q(conn);
    q.setSql(u"select IsTrue, QstID from question order by QstID"_s);
    q.open();
    QCOMPARE(q.value(u"IsTrue"_s), QVariant(true));
    QCOMPARE(q.asString(u"istrue"_s), u"True"_s);
    QCOMPARE(q.asInteger(u"QstID"_s), 1);
    q.next();
    QCOMPARE(q.asString(u"IsTrue"_s), u"False"_s);
}

void TestServerBank::readingConnectionNeverWrites() {
    const QString path = m_dir.filePath(u"reading"_s);
    banktest::freshBank(path);
    Connection conn;
    conn.setDataSource(banktest::bankName(path));
    QVERIFY(conn.isServer());
    conn.openForReading();
    QVERIFY(conn.isBooleanColumn(u"choice"_s, u"IsTrue"_s));
    QVERIFY(!conn.isBooleanColumn(u"choice"_s, u"ChcIdx"_s));
    QCOMPARE(count(conn, u"users"_s), 1);
    const QString message =
        errorOf([&] { conn.execute(u"insert into paper (PapID) values (1)"_s); });
    QVERIFY2(message.contains(u"只读"_s), qPrintable(message));
    banktest::BankConnection writer(path);
    QCOMPARE(count(writer, u"paper"_s), 0);
}

// A server of its own, stopped under an open connection: every statement then
// fails at once with a clear message, nothing hangs; after a restart a new
// connection finds what was committed.
void TestServerBank::stoppedServerGivesClearErrors() {
    const QString dir = m_dir.filePath(u"own-server"_s);
    const QString uri = serverScript(u"start"_s, dir).trimmed();
    QVERIFY2(!uri.isEmpty(), "the own test server did not start");
    const auto stop = qScopeGuard([&] { serverScript(u"stop"_s, dir); });
    banktest::ServerBanks::run(uri, u"create database bank"_s);
    const QString bank = QString(uri).replace(u":///postgres"_s, u":///bank"_s);
    createPaperBank(bank);
    Connection conn;
    conn.setDataSource(bank);
    conn.open();
    TableCursor paper(conn, u"paper"_s);
    paper.open();
    paper.insert();
    paper.setInteger(u"PapID"_s, 1);
    paper.post();

    QVERIFY(!serverScript(u"halt"_s, dir).isNull());
    QElapsedTimer timer;
    timer.start();
    paper.insert();
    paper.setInteger(u"PapID"_s, 2);
    QString message = errorOf([&] { paper.post(); });
    QVERIFY2(message.contains(u"连接断开"_s), qPrintable(message));
    QVERIFY2(message.contains(u"没有保存"_s), qPrintable(message));
    // What the teacher typed is still there to be posted later.
    QCOMPARE(paper.state(), CursorState::Insert);
    QCOMPARE(paper.asInteger(u"PapID"_s), 2);
    QVERIFY_THROWS_EXCEPTION(EngineError, conn.dataVersion());
    const QString reopened = errorOf([&] {
        Connection again;
        again.setDataSource(bank);
        again.open();
    });
    QVERIFY2(reopened.contains(u"无法连接试题库服务器"_s), qPrintable(reopened));
    QVERIFY(timer.elapsed() < 10000);

    // The server back, the same post goes through on a connection made again.
    QVERIFY(!serverScript(u"resume"_s, dir).isNull());
    paper.post();
    QCOMPARE(paper.state(), CursorState::Browse);
    QCOMPARE(count(conn, u"paper"_s), 2);

    // A transaction the break cut off is reported lost as a whole, never half kept.
    {
        Transaction transaction(conn);
        conn.execute(u"insert into paper (PapID) values (3)"_s);
        QVERIFY(!serverScript(u"halt"_s, dir).isNull());
        QVERIFY(!serverScript(u"resume"_s, dir).isNull());
        message = errorOf([&] { conn.execute(u"insert into paper (PapID) values (4)"_s); });
        QVERIFY2(message.contains(u"连接断开"_s), qPrintable(message));
        message = errorOf([&] { transaction.commit(); });
        QVERIFY2(message.contains(u"没有保存"_s), qPrintable(message));
    }
    QCOMPARE(count(conn, u"paper"_s), 2);
}

// A statement that fails inside a transaction, caught by its caller, ends the
// server's transaction; the commit then says nothing was saved instead of
// passing for a success.
void TestServerBank::failedStatementInTransactionIsNotCommitted() {
    const QString path = m_dir.filePath(u"failing"_s);
    banktest::freshBank(path);
    banktest::BankConnection conn(path);
    {
        Transaction transaction(conn);
        conn.execute(u"insert into paper (PapID) values (1)"_s);
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 conn.execute(u"insert into paper (PapID) values (1)"_s));
        const QString message = errorOf([&] { transaction.commit(); });
        QVERIFY2(message.contains(u"都没有保存"_s), qPrintable(message));
    }
    QCOMPARE(count(conn, u"paper"_s), 0);
    // A cursor's insert that clashes inside a transaction (another program
    // took the identifier before this one wrote) takes the next identifier,
    // the transaction going on.
    TableCursor paper(conn, u"paper"_s);
    paper.open();
    Connection other;
    other.setDataSource(conn.dataSource());
    other.open();
    Transaction transaction(conn);
    other.execute(u"insert into paper (PapID) values (1)"_s);
    paper.insert();
    paper.setInteger(u"PapID"_s, 1);
    paper.post();
    QCOMPARE(paper.asInteger(u"PapID"_s), 2);
    paper.insert();
    paper.setInteger(u"PapID"_s, 3);
    paper.post();
    transaction.commit();
    QCOMPARE(count(conn, u"paper"_s), 3);
}

// Another program killed in the middle of a transaction: none of its work is
// kept, and the bank is free for this one at once, not after a timeout.
void TestServerBank::programKilledInTransaction() {
    const QString path = m_dir.filePath(u"killed"_s);
    banktest::freshBank(path);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {u"--hold"_s, banktest::bankName(path)});
    QVERIFY(child.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() != QProcess::Running, 20000);
    QCOMPARE(child.readLine().trimmed(), QByteArray("holding"));
    banktest::BankConnection conn(path);
    conn.setBusyTimeout(200);
    // Held: this program's writer waits and gives up.
    QVERIFY_THROWS_EXCEPTION(EngineError, Transaction{conn});
    child.kill();
    QVERIFY(child.waitForFinished());
    conn.setBusyTimeout(5000);
    QElapsedTimer timer;
    timer.start();
    {
        Transaction transaction(conn);
        conn.execute(u"insert into paper (PapID) values (1)"_s);
        transaction.commit();
    }
    QVERIFY(timer.elapsed() < 3000);
    QCOMPARE(count(conn, u"paper"_s), 1);
    QCOMPARE(count(conn, u"paper where PapID = 100"_s), 0);
}

// The child of programKilledInTransaction: writes in a transaction, says so,
// and waits to be killed.
int holdTransaction(const QString& bank) {
    Connection conn;
    conn.setDataSource(bank);
    conn.open();
    Transaction transaction(conn);
    conn.execute(u"insert into paper (PapID) values (100)"_s);
    std::puts("holding");
    std::fflush(stdout);
    QThread::sleep(60);
    return 1;
}

// A bank named by two hosts with target_session_attrs=read-write: the
// program works on the one that takes writes, never on the standby, and when
// the primary goes and the standby is promoted, the next post reaches it.
// The standby is a second server that refuses writes as a standby does (no
// replication: what matters here is which server the program reaches).
void TestServerBank::followsThePrimaryOfMultiHostName() {
    const QString dirs[] = {m_dir.filePath(u"standby"_s), m_dir.filePath(u"primary"_s)};
    QString banks[2];
    for (int i = 0; i < 2; ++i) {
        const QString uri = serverScript(u"start"_s, dirs[i]).trimmed();
        QVERIFY2(!uri.isEmpty(), "an own test server did not start");
        banktest::ServerBanks::run(uri, u"create database bank"_s);
        banks[i] = QString(uri).replace(u":///postgres"_s, u":///bank"_s);
        createPaperBank(banks[i]);
    }
    const auto stop = qScopeGuard([&] {
        for (const QString& dir : dirs)
            serverScript(u"stop"_s, dir);
    });
    const auto setReadOnly = [&](int i, bool readOnly) {
        banktest::ServerBanks::run(banks[i],
                                   u"alter system set default_transaction_read_only = "_s +
                                       (readOnly ? u"on"_s : u"off"_s));
        banktest::ServerBanks::run(banks[i], u"select pg_reload_conf()"_s);
    };
    setReadOnly(0, true);
    const auto papers = [&](int i) {
        banktest::BankConnection conn(banks[i]);
        return count(conn, u"paper"_s);
    };
    // The standby's host comes first in the name.
    const QString both = u"postgresql:///bank?host=%1/socket,%2/socket&user=tess"
                         u"&target_session_attrs=read-write"_s.arg(dirs[0], dirs[1]);
    Connection conn;
    conn.setDataSource(both);
    conn.open();
    TableCursor paper(conn, u"paper"_s);
    paper.open();
    paper.insert();
    paper.setInteger(u"PapID"_s, 1);
    paper.post();
    QCOMPARE(papers(1), 1);
    QCOMPARE(papers(0), 0);

    // The primary fails; the standby is promoted.
    QVERIFY(!serverScript(u"halt"_s, dirs[1]).isNull());
    setReadOnly(0, false);
    paper.insert();
    paper.setInteger(u"PapID"_s, 2);
    const QString message = errorOf([&] { paper.post(); });
    QVERIFY2(message.contains(u"没有保存"_s), qPrintable(message));
    paper.post();
    QCOMPARE(paper.state(), CursorState::Browse);
    QCOMPARE(papers(0), 1);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0)
        return holdTransaction(QString::fromLocal8Bit(argv[2]));
    TestServerBank test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serverbank.moc"
