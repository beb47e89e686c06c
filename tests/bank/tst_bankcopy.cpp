#include "bank/bankcopy.h"
#include "bank/passwordhash.h"
#include "bankhelpers.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using tess::EngineError;

namespace {

// Every row of the tables a copy carries, as texts, in identifier order; the
// bank named as the program names it (a file path or a server's URI).
QStringList dump(const QString& bank) {
    tess::Connection conn;
    conn.setDataSource(bank);
    conn.openForReading();
    QStringList out;
    const std::pair<const char*, const char*> tables[] = {{"paper", "PapID"},
                                                          {"question", "QstID"},
                                                          {"choice", "ChcID"},
                                                          {"users", "acount"},
                                                          {"published_page", "path"}};
    for (const auto& [table, key] : tables) {
        tess::Statement stmt(conn,
                             QStringLiteral("select * from %1 order by %2")
                                 .arg(QLatin1String(table), QLatin1String(key)),
                             QLatin1String(table));
        while (stmt.step()) {
            QStringList row{QLatin1String(table)};
            for (int i = 0; i < stmt.columnCount(); ++i)
                row << stmt.columnName(i) + QLatin1Char('=') +
                           (stmt.isNull(i) ? QStringLiteral("<null>") : stmt.text(i));
            out << row.join(QLatin1Char('|'));
        }
    }
    return out;
}

// A bank with gaps in its identifiers, a question whose number repeats,
// texts with quotes and pictures, with tabs, line ends and backslashes (and
// one that reads as a null in a copy's stream), accounts and a published page.
void fillSample(tess::Connection& conn) {
    banktest::executeInOneTransaction(
        conn,
        QStringList{
            QStringLiteral("insert into paper (PapID, PapNam, PapScr, PapSav, PapCtg) values "
                           "(7, '期中 ''A''', 100, '/out/期中.html', '数学'), "
                           "(12, '期末', 120, '', null), "
                           "(15, '甲' || char(9) || '乙' || char(13) || char(10) || '\\N\\t', "
                           "0, '\\N', '\\')"),
            QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, "
                           "IsTrue) values (3, 7, 1, '判断题', 5, '<IMG SRC=\"images\\a.png\">', "
                           "True), (9, 7, 1, '单选题', 10, '二', False), (40, 12, 2, '多选题', 10, "
                           "null, False)"),
            QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon, IsTrue) values "
                           "(5, 9, 1, '甲', True), (6, 9, 2, '乙', False), (80, 40, 1, '', True)"),
            QStringLiteral("insert into users values ('李老师', '秘 密')"),
            QStringLiteral("insert into published_page (path, PapID, PapNam) values "
                           "('/out/期中.html', 7, '期中')")});
}

} // namespace

class TestBankCopy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void copiesEveryRowAsItIs();
    void refused_data();
    void refused();
    void failureLeavesNothing();
    void failureOnTheServerLeavesNothing();
    void manyRowsInParts();
    void throughTheServerAndBack();
};

// The sample bank copied to a new file is row for row the same.
void TestBankCopy::copiesEveryRowAsItIs() {
    if (banktest::onServer())
        QSKIP("copies between files; the server run copies through the server");
    const QTemporaryDir dir;
    const QString from = dir.filePath(QStringLiteral("from.mdb"));
    banktest::freshBank(from);
    {
        banktest::BankConnection conn(from);
        fillSample(conn);
    }
    const QString to = dir.filePath(QStringLiteral("to.mdb"));
    QList<std::pair<qint64, qint64>> told;
    const tess::BankCopy copied = tess::copyBank(from, to, [&](qint64 done, qint64 total) {
        told.append({done, total});
    });
    QCOMPARE(dump(to), dump(from));
    QCOMPARE(copied.rows, qint64(dump(from).size()));
    QVERIFY(!told.isEmpty());
    QCOMPARE(told.last(), (std::pair<qint64, qint64>{copied.rows, copied.rows}));
}

void TestBankCopy::refused_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("a bank with papers") << QStringLiteral("papers");
    QTest::newRow("the source itself") << QStringLiteral("same");
    QTest::newRow("a file that is no bank") << QStringLiteral("text");
    QTest::newRow("a missing source") << QStringLiteral("missing source");
}

// Refused copies change neither bank.
void TestBankCopy::refused() {
    if (banktest::onServer())
        QSKIP("copies between files; the server run copies through the server");
    QFETCH(QString, target);
    const QTemporaryDir dir;
    QString from = dir.filePath(QStringLiteral("from.mdb"));
    banktest::freshBank(from);
    {
        banktest::BankConnection conn(from);
        conn.execute(QStringLiteral("insert into paper (PapID, PapNam) values (1, '甲')"));
    }
    QString to = dir.filePath(QStringLiteral("to.mdb"));
    if (target == QLatin1String("papers")) {
        banktest::freshBank(to);
        banktest::BankConnection conn(to);
        conn.execute(QStringLiteral("insert into paper (PapID, PapNam) values (2, '乙')"));
    } else if (target == QLatin1String("same")) {
        to = from;
    } else if (target == QLatin1String("text")) {
        QFile file(to);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a bank");
    } else {
        from = dir.filePath(QStringLiteral("missing.mdb"));
    }
    const QStringList fromBefore = QFileInfo::exists(from) ? dump(from) : QStringList();
    const QByteArray toBefore = [&] {
        QFile file(to);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QVERIFY_THROWS_EXCEPTION(EngineError, tess::copyBank(from, to));
    if (QFileInfo::exists(from))
        QCOMPARE(dump(from), fromBefore);
    QFile file(to);
    if (target == QLatin1String("missing source"))
        QVERIFY(!file.exists());
    else if (to != from) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), toBefore);
    }
}

// A row the new bank refuses stops the copy: the target file made for it is
// gone again, nothing half copied. Here the source, as another program could
// leave it, holds one account twice, which the target's unique index refuses
// after the other rows have gone in.
void TestBankCopy::failureLeavesNothing() {
    if (banktest::onServer())
        QSKIP("copies between files; the server run copies through the server");
    const QTemporaryDir dir;
    const QString from = dir.filePath(QStringLiteral("from.mdb"));
    banktest::freshBank(from);
    {
        banktest::BankConnection bank(from);
        bank.execute(QStringLiteral("insert into paper (PapID, PapNam) values (1, '甲')"));
        bank.execute(QStringLiteral("drop index users_acount"));
        bank.execute(QStringLiteral("insert into users values ('王', '1'), ('王', '2')"));
    }
    const QString to = dir.filePath(QStringLiteral("to.mdb"));
    QVERIFY_THROWS_EXCEPTION(EngineError, tess::copyBank(from, to));
    QVERIFY(!QFileInfo::exists(to));
}

// The same on a server, where the rows stream in and the duplicate account
// is refused only once all of them have been sent: the bank stays empty.
void TestBankCopy::failureOnTheServerLeavesNothing() {
    if (!banktest::onServer())
        QSKIP("needs the test server");
    const QTemporaryDir dir;
    const QString from = dir.filePath(QStringLiteral("from.mdb"));
    tess::createPaperBank(from);
    {
        tess::Connection conn;
        conn.setDataSource(from);
        conn.open();
        conn.execute(QStringLiteral("insert into paper (PapID, PapNam) values (1, '甲')"));
        conn.execute(QStringLiteral("drop index users_acount"));
        conn.execute(QStringLiteral("insert into users values ('王', '1'), ('王', '2')"));
    }
    banktest::freshBank(dir.filePath(QStringLiteral("server.mdb")));
    const QString server = banktest::bankName(dir.filePath(QStringLiteral("server.mdb")));
    QVERIFY_THROWS_EXCEPTION(EngineError, tess::copyBank(from, server));
    tess::Connection conn;
    conn.setDataSource(server);
    conn.openForReading();
    tess::Statement papers(conn, QStringLiteral("select count(*) from paper"),
                           QStringLiteral("paper"));
    QVERIFY(papers.step());
    QCOMPARE(papers.int64(0), 0);
    // The bank is still one to copy into.
    const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
    tess::createPaperBank(empty);
    QCOMPARE(tess::copyBank(empty, server).rows, 1); // its Admin
}

// More rows than one statement on the server takes at a time: they go in
// parts, every one of them, and the rows on both sides of a part's end too.
void TestBankCopy::manyRowsInParts() {
    if (!banktest::onServer())
        QSKIP("needs the test server");
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file.mdb"));
    tess::createPaperBank(file);
    constexpr int kChoices = 120001;
    {
        tess::Connection conn;
        conn.setDataSource(file);
        conn.open();
        banktest::executeInOneTransaction(
            conn, QStringList{QStringLiteral("insert into paper (PapID, PapNam) values (1, '甲')"),
                              QStringLiteral("insert into question (QstID, PapIdx, QstIdx) "
                                             "values (1, 1, 1)"),
                              QStringLiteral("with recursive n(i) as (select 1 union all select "
                                             "i + 1 from n where i < %1) insert into choice "
                                             "(ChcID, QstIdx, ChcIdx, ChcCon) select i, 1, i, "
                                             "'选项' || i from n")
                                  .arg(kChoices)});
    }
    banktest::freshBank(dir.filePath(QStringLiteral("server.mdb")));
    const QString server = banktest::bankName(dir.filePath(QStringLiteral("server.mdb")));
    QCOMPARE(tess::copyBank(file, server).rows, kChoices + 3); // and the paper, question, Admin
    tess::Connection conn;
    conn.setDataSource(server);
    conn.openForReading();
    tess::Statement stmt(conn,
                         QStringLiteral("select count(*), sum(ChcID), min(ChcCon), "
                                        "count(distinct ChcCon) from choice"),
                         QStringLiteral("choice"));
    QVERIFY(stmt.step());
    QCOMPARE(stmt.int64(0), kChoices);
    QCOMPARE(stmt.int64(1), qint64(kChoices) * (kChoices + 1) / 2);
    QCOMPARE(stmt.text(2), QStringLiteral("选项1"));
    QCOMPARE(stmt.int64(3), kChoices);
}

// A file's bank copied to a server bank and from there to a new file: every
// record and the picture its text shows as they were, and the accounts' passwords kept on the
// server only as hashes, with which the accounts still sign in.
void TestBankCopy::throughTheServerAndBack() {
    if (!banktest::onServer())
        QSKIP("needs the test server");
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file.mdb"));
    tess::createPaperBank(file);
    {
        tess::Connection conn;
        conn.setDataSource(file);
        conn.open();
        fillSample(conn);
    }
    // A bank on the test server without records, as tessaloom-newbank makes it.
    banktest::freshBank(dir.filePath(QStringLiteral("server.mdb")));
    const QString server = banktest::bankName(dir.filePath(QStringLiteral("server.mdb")));
    // The picture the sample's text shows, in the pictures folder beside the file.
    const QString fromPictures = dir.filePath(QStringLiteral("images"));
    QVERIFY(QDir().mkpath(fromPictures));
    const QByteArray picture("\x89PNG\r\n\x1a\n\0a picture");
    {
        QFile png(fromPictures + QStringLiteral("/a.png"));
        QVERIFY(png.open(QIODevice::WriteOnly));
        png.write(picture);
    }
    const tess::BankCopy up = tess::copyBank(file, server, {}, fromPictures);
    QCOMPARE(up.pictures, 1);
    QCOMPARE(up.warnings, QStringList());
    const QString back = dir.filePath(QStringLiteral("back.mdb"));
    const QString backPictures = dir.filePath(QStringLiteral("back/images"));
    const tess::BankCopy down = tess::copyBank(server, back, {}, QString(), backPictures);
    QCOMPARE(down.rows, up.rows);
    QCOMPARE(down.warnings, QStringList());
    QFile fetched(backPictures + QStringLiteral("/a.png"));
    QVERIFY(fetched.open(QIODevice::ReadOnly));
    QCOMPARE(fetched.readAll(), picture);
    const auto records = [](const QStringList& rows) {
        QStringList out;
        for (const QString& row : rows)
            if (!row.startsWith(QLatin1String("users|")))
                out << row;
        return out;
    };
    QCOMPARE(records(dump(back)), records(dump(file)));
    tess::Connection conn;
    conn.setDataSource(server);
    conn.openForReading();
    tess::Statement stored(conn,
                           QStringLiteral("select password from users where acount = '李老师'"),
                           QStringLiteral("users"));
    QVERIFY(stored.step());
    QVERIFY(tess::passwordMatches(QStringLiteral("秘 密"), stored.text(0)));
    // A second copy onto the server is refused: it holds papers now.
    QVERIFY_THROWS_EXCEPTION(EngineError, tess::copyBank(file, server));
}

QTEST_GUILESS_MAIN(TestBankCopy)
#include "tst_bankcopy.moc"
