// Two programs on one bank: what one commits the other sees, what is its own
// or left uncommitted it does not.
#include "storefixture.h"

#include "store/engineerror.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tess;
using namespace storetest;
using namespace Qt::StringLiterals;

class TestSharedBank : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void dataVersionMovesForOthersOnly_data();
    void dataVersionMovesForOthersOnly();
    void cursorCatchesUpWithAnotherProgram();
    void writersTakeTheBankInTurn();

private:
    QTemporaryDir m_dir;
    QString m_bank;
    Connection m_own;
    Connection m_other;
};

void TestSharedBank::init() {
    QVERIFY(m_dir.isValid());
    m_bank = m_dir.filePath(u"bank.mdb"_s);
    QFile::remove(m_bank);
    banktest::freshBank(m_bank);
    openConnection(m_own, m_bank);
    openConnection(m_other, m_bank);
}

void TestSharedBank::cleanup() {
    m_own.close();
    m_other.close();
    QFile::remove(m_bank);
}

void TestSharedBank::dataVersionMovesForOthersOnly_data() {
    QTest::addColumn<QString>("who");
    QTest::addColumn<bool>("commits");
    QTest::addColumn<bool>("moves");
    QTest::newRow("own commit") << u"own"_s << true << false;
    QTest::newRow("own rollback") << u"own"_s << false << false;
    QTest::newRow("other's commit") << u"other"_s << true << true;
    QTest::newRow("other's rollback") << u"other"_s << false << false;
}

void TestSharedBank::dataVersionMovesForOthersOnly() {
    QFETCH(QString, who);
    QFETCH(bool, commits);
    QFETCH(bool, moves);
    Connection& writer = who == u"own"_s ? m_own : m_other;
    const qint64 before = m_own.dataVersion();
    {
        Transaction transaction(writer);
        writer.execute(u"insert into paper (PapID, PapNam) values (1, 'a')"_s);
        writer.execute(u"update paper set PapScr = 5"_s);
        // Work not yet committed is no change for anyone else.
        if (&writer == &m_other)
            QCOMPARE(m_own.dataVersion(), before);
        if (commits)
            transaction.commit();
    }
    QCOMPARE(m_own.dataVersion() != before, moves);
    QCOMPARE(count(m_own, u"paper"_s), commits ? 1 : 0);
    // A statement outside a transaction commits on its own.
    const qint64 now = m_own.dataVersion();
    writer.execute(u"update users set password = 'p' where acount = 'Admin'"_s);
    QCOMPARE(m_own.dataVersion() != now, &writer == &m_other);
}

// A cursor sees that its rows are outdated after another program's commit
// and reads them again; its own posts leave it up to date.
void TestSharedBank::cursorCatchesUpWithAnotherProgram() {
    TableCursor mine(m_own, u"paper"_s);
    mine.open();
    mine.insert();
    mine.setInteger(u"PapID"_s, 1);
    mine.setString(u"PapNam"_s, u"我的"_s);
    mine.post();
    QVERIFY(!mine.rowsOutdated());
    TableCursor theirs(m_other, u"paper"_s);
    theirs.open();
    QCOMPARE(ids(theirs, u"PapID"_s), QList<int>{1});
    theirs.insert();
    theirs.setInteger(u"PapID"_s, 2);
    theirs.post();
    QVERIFY(mine.rowsOutdated());
    mine.refresh();
    QVERIFY(!mine.rowsOutdated());
    QCOMPARE(ids(mine, u"PapID"_s), (QList<int>{1, 2}));
    // An edit of a record the other program deleted is refused, not lost silently.
    m_other.execute(u"delete from paper where PapID = 1"_s);
    mine.first();
    mine.edit();
    mine.setString(u"PapNam"_s, u"改"_s);
    QVERIFY_THROWS_EXCEPTION(EngineError, mine.post());
}

// A second writer waits for the first one's transaction and fails with the
// busy message when it lasts longer than its timeout; then it writes.
void TestSharedBank::writersTakeTheBankInTurn() {
    m_other.setBusyTimeout(200);
    {
        Transaction holding(m_own);
        m_own.execute(u"insert into paper (PapID) values (1)"_s);
        try {
            Transaction waiting(m_other);
            m_other.execute(u"insert into paper (PapID) values (2)"_s);
            waiting.commit();
            QFAIL("the second writer did not wait");
        } catch (const EngineError& e) {
            QVERIFY2(e.message().contains(u"另一个程序"_s), qPrintable(e.message()));
        }
        holding.commit();
    }
    Transaction later(m_other);
    m_other.execute(u"insert into paper (PapID) values (2)"_s);
    later.commit();
    QCOMPARE(count(m_own, u"paper"_s), 2);
}

QTEST_GUILESS_MAIN(TestSharedBank)
#include "tst_sharedbank.moc"
