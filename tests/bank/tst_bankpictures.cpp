// Pictures on a shared bank: what one machine inserts, another machine's
// publishing fetches; a name the bank keeps for another picture is never
// given to a new one; a damaged or different picture is never written over
// the teacher's. On a bank file all of it leaves the bank alone.
#include "bank/bankpictures.h"
#include "bankhelpers.h"
#include "store/connection.h"
#include "store/orphanwatch.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestBankPictures : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_bank;
    int m_banks = 0;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Machine A's and machine B's pictures folders.
    QString folderA() const { return path(QStringLiteral("a/images")); }
    QString folderB() const { return path(QStringLiteral("b/images")); }

    // A chosen file on the teacher's disk, outside every pictures folder.
    QString chosen(const QString& name, const QByteArray& bytes) const {
        const QString file = path(QStringLiteral("chosen/") + name);
        QFile::remove(file);
        write(file, bytes);
        return file;
    }

    qint64 keptCount(tess::Connection& conn) {
        return banktest::count(conn, QStringLiteral("picture"));
    }

private Q_SLOTS:
    void init() {
        // A fresh bank for each case, with one paper whose question and
        // choice texts show the pictures map.png and key.gif.
        m_bank = path(QStringLiteral("bank%1.mdb").arg(++m_banks));
        banktest::freshBank(m_bank);
        banktest::BankConnection conn(m_bank);
        banktest::executeInOneTransaction(
            conn,
            {QStringLiteral("insert into paper (PapID, PapNam) values (1, '光的折射')"),
             QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon) "
                            "values (1, 1, 1, '单选题', 5, '看图 <IMG SRC=\"images\\map.png\">')"),
             QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon, IsTrue) values "
                            "(1, 1, 1, '<IMG SRC=\"images\\key.gif\"> 甲', True)")});
        // Each machine's program folder; the pictures folder in it is made
        // by the first picture.
        for (const QString& folder : {folderA(), folderB()}) {
            QDir(folder).removeRecursively();
            QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        }
    }

    // What machine A inserts, machine B fetches before publishing: the same bytes.
    void insertedOnOneMachineFetchedOnAnother() {
        banktest::BankConnection conn(m_bank);
        const tess::PictureCopy map =
            tess::placePicture(conn, chosen(QStringLiteral("map.png"), "map A"), folderA());
        const tess::PictureCopy key =
            tess::placePicture(conn, chosen(QStringLiteral("key.gif"), "key"), folderA());
        QCOMPARE(map.failure, QString());
        QCOMPARE(key.failure, QString());
        QCOMPARE(map.name, QStringLiteral("map.png"));
        QCOMPARE(readAll(folderA() + QStringLiteral("/map.png")), QByteArray("map A"));

        const QStringList lines = tess::fetchPaperPictures(conn, 1, folderB());
        if (!banktest::onServer()) {
            // A bank file keeps no pictures: the other folder stays as it was.
            QVERIFY(lines.isEmpty());
            QVERIFY(!QFileInfo::exists(folderB()));
            return;
        }
        QCOMPARE(lines, QStringList());
        QCOMPARE(keptCount(conn), 2);
        QCOMPARE(readAll(folderB() + QStringLiteral("/map.png")), QByteArray("map A"));
        QCOMPARE(readAll(folderB() + QStringLiteral("/key.gif")), QByteArray("key"));
        // Inserted again, the same picture keeps its name and its one row.
        QCOMPARE(
            tess::placePicture(conn, chosen(QStringLiteral("map.png"), "map A"), folderB()).name,
            QStringLiteral("map.png"));
        QCOMPARE(keptCount(conn), 2);
    }

    // Machine B inserts a different map.png that its own folder has never
    // seen: the bank keeps A's under that name, so B's takes a free one.
    void nameKeptForAnotherPictureIsPassedOver() {
        if (!banktest::onServer())
            QSKIP("a bank file keeps no pictures");
        banktest::BankConnection conn(m_bank);
        tess::placePicture(conn, chosen(QStringLiteral("map.png"), "map A"), folderA());
        const tess::PictureCopy b =
            tess::placePicture(conn, chosen(QStringLiteral("map.png"), "map B"), folderB());
        QCOMPARE(b.failure, QString());
        QCOMPARE(b.name, QStringLiteral("map (2).png"));
        QVERIFY(!QFileInfo::exists(folderB() + QStringLiteral("/map.png")));
        QCOMPARE(keptCount(conn), 2);
        // A third machine gets each under its own name.
        const QString folderC = path(QStringLiteral("c/images"));
        QCOMPARE(tess::fetchPicturesFromBank(
                     conn, {QStringLiteral("map.png"), QStringLiteral("map (2).png")}, folderC),
                 QStringList());
        QCOMPARE(readAll(folderC + QStringLiteral("/map.png")), QByteArray("map A"));
        QCOMPARE(readAll(folderC + QStringLiteral("/map (2).png")), QByteArray("map B"));
    }

    // Nothing the teacher has is written over, and nothing damaged is written.
    void fetchNeverWritesOverOrWritesDamage_data() {
        QTest::addColumn<QByteArray>("local");     // B's map.png beforehand, if any
        QTest::addColumn<bool>("damaged");         // the bank's bytes no longer match the hash
        QTest::addColumn<QByteArray>("afterward"); // B's map.png after the fetch
        QTest::addColumn<QString>("said");         // part of the warning, if one
        QTest::newRow("other picture in the folder")
            << QByteArray("mine") << false << QByteArray("mine") << QStringLiteral("用的是本机的");
        QTest::newRow("same picture in the folder")
            << QByteArray("map A") << false << QByteArray("map A") << QString();
        QTest::newRow("damaged in the bank")
            << QByteArray() << true << QByteArray() << QStringLiteral("已经损坏");
    }
    void fetchNeverWritesOverOrWritesDamage() {
        if (!banktest::onServer())
            QSKIP("a bank file keeps no pictures");
        QFETCH(QByteArray, local);
        QFETCH(bool, damaged);
        QFETCH(QByteArray, afterward);
        QFETCH(QString, said);
        banktest::BankConnection conn(m_bank);
        tess::placePicture(conn, chosen(QStringLiteral("map.png"), "map A"), folderA());
        if (damaged)
            conn.execute(QStringLiteral("update picture set content = 'map X'"));
        if (!local.isNull())
            write(folderB() + QStringLiteral("/map.png"), local);
        const QStringList lines =
            tess::fetchPicturesFromBank(conn, {QStringLiteral("map.png")}, folderB());
        QCOMPARE(readAll(folderB() + QStringLiteral("/map.png")), afterward);
        QCOMPARE(lines.size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY2(lines.first().contains(said), qPrintable(lines.first()));
    }

    // A server bank made before it kept pictures is brought up when opened,
    // its orphan watch still counted as complete.
    void olderServerBankBroughtUp() {
        if (!banktest::onServer())
            QSKIP("the file's schema versions are tested with the orphan watch");
        {
            banktest::BankConnection conn(m_bank);
            conn.execute(QStringLiteral("drop table picture; update tess_schema set version = 2"));
        }
        banktest::BankConnection conn(m_bank);
        QCOMPARE(conn.upgradeProblem(), QString());
        QCOMPARE(banktest::scalar(conn, QStringLiteral("select max(version) as v from tess_schema"))
                     .toInt(),
                 tess::kServerBankVersion);
        QCOMPARE(keptCount(conn), 0);
        QVERIFY(tess::trimScope(conn) != tess::TrimScope::Unwatched);
    }
};

QTEST_GUILESS_MAIN(TestBankPictures)
#include "tst_bankpictures.moc"
