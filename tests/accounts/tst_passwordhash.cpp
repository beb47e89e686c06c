// Password hashes of a shared bank's accounts: what matches, what is refused,
// and what a planted stored text cannot do.
#include "bank/passwordhash.h"
#include "bankhelpers.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The reference implementation's Argon2id vector: password "password", salt
// "somesalt", 64 MiB, two passes, one lane.
const QString kReferenceHash = QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$c29tZXNhbHQ$"
                                              "CTFhFdXPJO1aFaMaO6Mm5c8y7cJHAph8ArZWb2GRPPc");
// The same password at a far smaller cost.
const QString kCheapHash = QStringLiteral("$argon2id$v=19$m=256,t=2,p=1$c29tZXNhbHQ$"
                                          "nf65EOgLrQMR/uIPnA4rEsF5h7TKyQwu9U1bMCHGi/4");

} // namespace

class TestPasswordHash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matchesOnlyItsPassword_data();
    void matchesOnlyItsPassword();
    void saltMakesEveryHashDiffer();
    void knownVector();
    void refusesWhatIsNotOurHash_data();
    void refusesWhatIsNotOurHash();
    void olderWorkFactorStillChecks();
    void signInLeavesTodaysHash_data();
    void signInLeavesTodaysHash();
};

void TestPasswordHash::matchesOnlyItsPassword_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("other");
    QTest::newRow("plain") << QStringLiteral("teacher1") << QStringLiteral("teacher2");
    QTest::newRow("case") << QStringLiteral("Secret") << QStringLiteral("secret");
    QTest::newRow("empty") << QString() << QStringLiteral(" ");
    QTest::newRow("trailing space") << QStringLiteral("abc ") << QStringLiteral("abc");
    QTest::newRow("chinese") << QStringLiteral("语文老师的密码")
                             << QStringLiteral("语文老师的密吗");
    QTest::newRow("outside the BMP")
        << QStringLiteral("pass\U0001F511word") << QStringLiteral("pass\U0001F512word");
    // The local bank accepts any character but NUL in a password; a hash must
    // not stop at one either.
    QTest::newRow("NUL inside") << QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd")
                                << QStringLiteral("ab");
    QTest::newRow("long") << QString(32767, QChar(u'密'))
                          << QString(32766, QChar(u'密')) + QChar(u'码');
}

void TestPasswordHash::matchesOnlyItsPassword() {
    QFETCH(QString, password);
    QFETCH(QString, other);
    const QString hash = tess::hashPassword(password);
    QVERIFY2(hash.startsWith(QStringLiteral("$argon2id$v=19$m=19456,t=2,p=1$")), qPrintable(hash));
    QVERIFY(!hash.contains(password.isEmpty() ? QStringLiteral("\x01") : password));
    QVERIFY(tess::isPasswordHash(hash));
    QVERIFY(tess::passwordHashIsCurrent(hash));
    QVERIFY(tess::passwordMatches(password, hash));
    QVERIFY(!tess::passwordMatches(other, hash));
}

void TestPasswordHash::saltMakesEveryHashDiffer() {
    const QString password = QStringLiteral("same password");
    const QString first = tess::hashPassword(password);
    const QString second = tess::hashPassword(password);
    QVERIFY(first != second);
    // The salt is the fourth field; the hashes differ because the salts do.
    QVERIFY(first.section(QChar(u'$'), 4, 4) != second.section(QChar(u'$'), 4, 4));
    QVERIFY(tess::passwordMatches(password, first));
    QVERIFY(tess::passwordMatches(password, second));
}

void TestPasswordHash::knownVector() {
    QVERIFY(tess::passwordMatches(QStringLiteral("password"), kReferenceHash));
    QVERIFY(!tess::passwordMatches(QStringLiteral("Password"), kReferenceHash));
    // One changed character of the stored hash and nothing matches.
    QString tampered = kReferenceHash;
    tampered[tampered.size() - 2] = QChar(u'Q');
    QVERIFY(!tess::passwordMatches(QStringLiteral("password"), tampered));
}

void TestPasswordHash::refusesWhatIsNotOurHash_data() {
    QTest::addColumn<QString>("stored");
    const QString tail = QStringLiteral("$c29tZXNhbHQ$CTFhFdXPJO1aFaMaO6Mm5c8y7cJHAph8ArZWb2GRPPc");
    QTest::newRow("empty") << QString();
    // What the local bank keeps: the password itself.
    QTest::newRow("plain password") << QStringLiteral("password");
    QTest::newRow("only the prefix") << QStringLiteral("$argon2id$");
    QTest::newRow("argon2i") << QStringLiteral("$argon2i$v=19$m=65536,t=2,p=1") + tail;
    QTest::newRow("argon2d") << QStringLiteral("$argon2d$v=19$m=65536,t=2,p=1") + tail;
    QTest::newRow("old version") << QStringLiteral("$argon2id$v=16$m=65536,t=2,p=1") + tail;
    QTest::newRow("no version") << QStringLiteral("$argon2id$m=65536,t=2,p=1") + tail;
    QTest::newRow("unknown scheme") << QStringLiteral("pbkdf2-sha256$600000$c29tZXNhbHQ$AAAA");
    QTest::newRow("crypt sha512") << QStringLiteral("$6$rounds=5000$somesalt$abcdefghijklmnop");
    QTest::newRow("two lanes") << QStringLiteral("$argon2id$v=19$m=65536,t=2,p=2") + tail;
    QTest::newRow("zero passes") << QStringLiteral("$argon2id$v=19$m=65536,t=0,p=1") + tail;
    QTest::newRow("leading zero") << QStringLiteral("$argon2id$v=19$m=065536,t=2,p=1") + tail;
    QTest::newRow("too little memory") << QStringLiteral("$argon2id$v=19$m=4,t=2,p=1") + tail;
    // A planted text that would make the sign-in take gigabytes or minutes.
    QTest::newRow("4 GiB") << QStringLiteral("$argon2id$v=19$m=4194304,t=1,p=1") + tail;
    QTest::newRow("huge memory") << QStringLiteral("$argon2id$v=19$m=9999999999,t=1,p=1") + tail;
    QTest::newRow("endless passes")
        << QStringLiteral("$argon2id$v=19$m=65536,t=4000000000,p=1") + tail;
    QTest::newRow("256 MiB, 5 passes") << QStringLiteral("$argon2id$v=19$m=262144,t=5,p=1") + tail;
    QTest::newRow("padded base64")
        << QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$c29tZXNhbHQ=$"
                          "CTFhFdXPJO1aFaMaO6Mm5c8y7cJHAph8ArZWb2GRPPc=");
    QTest::newRow("short salt") << QStringLiteral(
        "$argon2id$v=19$m=65536,t=2,p=1$c29tZQ$CTFhFdXPJO1aFaMaO6Mm5c8y7cJHAph8");
    QTest::newRow("short hash") << QStringLiteral(
        "$argon2id$v=19$m=65536,t=2,p=1$c29tZXNhbHQ$CTFh");
    QTest::newRow("no hash") << QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$c29tZXNhbHQ$");
    QTest::newRow("extra field") << QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1") + tail +
                                        QStringLiteral("$AAAA");
    QTest::newRow("trailing newline") << kReferenceHash + QStringLiteral("\n");
    QTest::newRow("leading space") << QStringLiteral(" ") + kReferenceHash;
    QTest::newRow("NUL cut") << kReferenceHash.left(40) + QChar(u'\0') + kReferenceHash.mid(40);
    QTest::newRow("non-ASCII") << QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$密码$") +
                                      QStringLiteral("CTFhFdXPJO1aFaMaO6Mm5c8y7cJHAph8ArZWb2GRPPc");
    QTest::newRow("too long") << QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$") +
                                     QString(60, QChar(u'A')) + QChar(u'$') +
                                     QString(86, QChar(u'A'));
    QTest::newRow("one bad base64 length")
        << QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$c29tZXNhbHQAA$"
                          "CTFhFdXPJO1aFaMaO6Mm5c8y7cJHAph8ArZWb2GRPPcA");
}

void TestPasswordHash::refusesWhatIsNotOurHash() {
    QFETCH(QString, stored);
    QVERIFY(!tess::isPasswordHash(stored));
    QVERIFY(!tess::passwordMatches(QStringLiteral("password"), stored));
    QVERIFY(!tess::passwordMatches(stored, stored));
    QVERIFY(!tess::passwordMatches(QString(), stored));
    QVERIFY(!tess::passwordHashIsCurrent(stored));
}

void TestPasswordHash::olderWorkFactorStillChecks() {
    // A hash made with a smaller work factor is still accepted, and is marked
    // for replacing; one made at a higher cost is kept as it is.
    QVERIFY(tess::passwordMatches(QStringLiteral("password"), kCheapHash));
    QVERIFY(!tess::passwordHashIsCurrent(kCheapHash));
    QVERIFY(tess::passwordMatches(QStringLiteral("password"), kReferenceHash));
    QVERIFY(tess::passwordHashIsCurrent(kReferenceHash));
}

void TestPasswordHash::signInLeavesTodaysHash_data() {
    QTest::addColumn<QString>("stored"); // Admin's password as the bank kept it
    QTest::addColumn<QString>("typed");  // what signed in
    QTest::addColumn<bool>("replaced");  // on a server bank
    QTest::newRow("new bank's empty password") << QString() << QString() << true;
    QTest::newRow("kept as typed by another program")
        << QStringLiteral("秘 密") << QStringLiteral("秘 密") << true;
    QTest::newRow("weaker hash") << QString(kCheapHash) << QStringLiteral("password") << true;
    QTest::newRow("costlier hash kept")
        << QString(kReferenceHash) << QStringLiteral("password") << false;
    QTest::newRow("another password") << QStringLiteral("甲") << QStringLiteral("乙") << false;
}

// A server bank's account left plain or weakly hashed gets today's hash at the
// next sign-in, and still signs in; a bank file keeps its column as it is.
void TestPasswordHash::signInLeavesTodaysHash() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, replaced);
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(path);
    banktest::BankConnection conn(path);
    conn.execute(QStringLiteral("update users set password = %1 where acount = 'Admin'")
                     .arg(banktest::quoted(stored)));
    conn.execute(QStringLiteral("insert into users (acount, password) values ('王老师', %1)")
                     .arg(banktest::quoted(stored)));
    tess::storeCurrentHash(conn, QStringLiteral("Admin"), typed);
    const auto kept = [&](const char* account) {
        return banktest::scalar(conn, QStringLiteral("select password as v from users where "
                                                     "acount = '%1'")
                                          .arg(QString::fromUtf8(account)))
            .toString();
    };
    const QString now = kept("Admin");
    if (replaced && banktest::onServer()) {
        QVERIFY(tess::passwordHashIsCurrent(now));
        QVERIFY(tess::passwordMatches(typed, now));
    } else {
        QCOMPARE(now, stored);
    }
    // Only the account that signed in.
    QCOMPARE(kept("王老师"), stored);
}

QTEST_GUILESS_MAIN(TestPasswordHash)
#include "tst_passwordhash.moc"
