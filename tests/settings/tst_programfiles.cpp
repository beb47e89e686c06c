// Where the program's files lie: beside a portable program, or in the user's
// own folders for an installed one (or one in a folder nobody may write),
// with the ready-made bank and the guide put there at the first start.
#include "envsetting.h"
#include "immutable.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}

} // namespace

class TestProgramFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void places_data();
    void places();
    void userFolderRefused();
};

void TestProgramFiles::cleanup() {
    tess::ProgramFiles::SetExecutablePath(QString());
    tess::clearChosenBank();
}

// In the expected paths {BIN} is the executable's folder, {DATA} the user's
// data folder (XDG_DATA_HOME/tessaloom), {CONFIG} the user's settings folder
// (XDG_CONFIG_HOME/tessaloom), {HOME} the home folder, {TMP} the test's folder.
void TestProgramFiles::places_data() {
    QTest::addColumn<QByteArray>("besideBank"); // the bank beside the executable; null: none
    QTest::addColumn<bool>("installed");        // share/tessaloom with a bank and a guide
    QTest::addColumn<bool>("readOnly");         // the executable's folder refuses writes
    QTest::addColumn<QByteArray>("userBank");   // the user's bank before the start; null: none
    QTest::addColumn<QByteArray>("userGuide");  // the user's guide before the start; null: none
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QString>("bank"); // the bank this run opens
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("pictures");
    QTest::addColumn<QString>("work"); // where the file dialogs start
    QTest::addColumn<QByteArray>(
        "bankAfter"); // the bank's bytes after the start; null: a fresh bank
    QTest::addColumn<QByteArray>("guideAfter"); // the guide's bytes after the start

    const QByteArray none;
    const QString binBank = QStringLiteral("{BIN}/tessaloom.mdb");
    const QString dataBank = QStringLiteral("{DATA}/tessaloom.mdb");
    QTest::newRow("portable folder with a bank")
        << QByteArray("BESIDE") << false << false << none << none << QStringList{} << true
        << binBank << QStringLiteral("{BIN}/tessaloom.ini") << QStringLiteral("{BIN}/images")
        << QStringLiteral("{BIN}") << QByteArray("BESIDE") << QByteArray("(absent)");
    QTest::newRow("read-only folder with a bank stays portable")
        << QByteArray("BESIDE") << false << true << none << none << QStringList{} << true << binBank
        << QStringLiteral("{BIN}/tessaloom.ini") << QStringLiteral("{BIN}/images")
        << QStringLiteral("{BIN}") << QByteArray("BESIDE") << QByteArray("(absent)");
    QTest::newRow("installed program with a bank beside it stays portable")
        << QByteArray("BESIDE") << true << false << none << none << QStringList{} << true << binBank
        << QStringLiteral("{BIN}/tessaloom.ini") << QStringLiteral("{BIN}/images")
        << QStringLiteral("{BIN}") << QByteArray("BESIDE") << QByteArray("(absent)");
    QTest::newRow("writable folder without a bank stays portable")
        << none << false << false << none << none << QStringList{} << true << binBank
        << QStringLiteral("{BIN}/tessaloom.ini") << QStringLiteral("{BIN}/images")
        << QStringLiteral("{BIN}") << QByteArray("(absent)") << QByteArray("(absent)");
    QTest::newRow("read-only folder: user folders, a fresh bank")
        << none << false << true << none << none << QStringList{} << false << dataBank
        << QStringLiteral("{CONFIG}/tessaloom.ini") << QStringLiteral("{DATA}/images")
        << QStringLiteral("{HOME}") << none << QByteArray("(absent)");
    QTest::newRow("installed, first start: the ready-made bank and guide are copied")
        << none << true << false << none << none << QStringList{} << false << dataBank
        << QStringLiteral("{CONFIG}/tessaloom.ini") << QStringLiteral("{DATA}/images")
        << QStringLiteral("{HOME}") << QByteArray("READY") << QByteArray("GUIDE");
    QTest::newRow("installed, later start: the teacher's bank is kept, the guide renewed")
        << none << true << false << QByteArray("MINE") << QByteArray("OLD GUIDE") << QStringList{}
        << false << dataBank << QStringLiteral("{CONFIG}/tessaloom.ini")
        << QStringLiteral("{DATA}/images") << QStringLiteral("{HOME}") << QByteArray("MINE")
        << QByteArray("GUIDE");
    QTest::newRow("installed, --bank opens another bank")
        << none << true << false << QByteArray("MINE") << none
        << QStringList{QStringLiteral("--bank"), QStringLiteral("{TMP}/other.mdb")} << false
        << QStringLiteral("{TMP}/other.mdb") << QStringLiteral("{CONFIG}/tessaloom.ini")
        << QStringLiteral("{DATA}/images") << QStringLiteral("{HOME}") << QByteArray("MINE")
        << QByteArray("GUIDE");
    QTest::newRow("portable, --bank opens another bank")
        << QByteArray("BESIDE") << false << false << none << none
        << QStringList{QStringLiteral("--bank={TMP}/other.mdb")} << true
        << QStringLiteral("{TMP}/other.mdb") << QStringLiteral("{BIN}/tessaloom.ini")
        << QStringLiteral("{BIN}/images") << QStringLiteral("{BIN}") << QByteArray("BESIDE")
        << QByteArray("(absent)");
}

void TestProgramFiles::places() {
    QFETCH(QByteArray, besideBank);
    QFETCH(bool, installed);
    QFETCH(bool, readOnly);
    QFETCH(QByteArray, userBank);
    QFETCH(QByteArray, userGuide);
    QFETCH(QStringList, arguments);
    QFETCH(bool, portable);
    QFETCH(QString, bank);
    QFETCH(QString, settings);
    QFETCH(QString, pictures);
    QFETCH(QString, work);
    QFETCH(QByteArray, bankAfter);
    QFETCH(QByteArray, guideAfter);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir root(tmp.path());
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    const QString data = root.filePath(QStringLiteral("xdg-data/tessaloom"));
    const QString config = root.filePath(QStringLiteral("xdg-config/tessaloom"));
    const QString home = root.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(home));
    const EnvSetting dataHome("XDG_DATA_HOME", root.filePath(QStringLiteral("xdg-data")));
    const EnvSetting configHome("XDG_CONFIG_HOME", root.filePath(QStringLiteral("xdg-config")));
    const EnvSetting homeFolder("HOME", home);
    const auto expand = [&](QString path) {
        return path.replace(QStringLiteral("{BIN}"), bin)
            .replace(QStringLiteral("{DATA}"), data)
            .replace(QStringLiteral("{CONFIG}"), config)
            .replace(QStringLiteral("{HOME}"), home)
            .replace(QStringLiteral("{TMP}"), tmp.path());
    };
    arguments.replaceInStrings(QStringLiteral("{TMP}"), tmp.path());

    if (!besideBank.isNull())
        writeFile(bin + QStringLiteral("/tessaloom.mdb"), besideBank);
    if (installed) {
        writeFile(root.filePath(QStringLiteral("usr/share/tessaloom/tessaloom.mdb")), "READY");
        writeFile(root.filePath(QStringLiteral("usr/share/tessaloom/tessaloom.htm")), "GUIDE");
    }
    if (!userBank.isNull())
        writeFile(data + QStringLiteral("/tessaloom.mdb"), userBank);
    if (!userGuide.isNull())
        writeFile(data + QStringLiteral("/tessaloom.htm"), userGuide);
    std::unique_ptr<Immutable> locked;
    if (readOnly) {
        locked = std::make_unique<Immutable>(bin);
        if (!locked->isSet())
            QSKIP("chattr +i is not available here");
    }
    tess::ProgramFiles::SetExecutablePath(bin + QStringLiteral("/tessaloom"));

    QCOMPARE(tess::ProgramFiles::Portable(), portable);
    QCOMPARE(tess::ProgramFiles::PrepareUserFiles(), QStringList{});
    const tess::BankChoice choice = tess::chooseBank(
        QStringList{QStringLiteral("tessaloom")} + arguments, tess::ProgramFiles::SettingsPath());
    QVERIFY2(choice.problem.isEmpty(), qPrintable(choice.problem));
    QCOMPARE(choice.name, expand(bank));
    QCOMPARE(tess::ProgramFiles::SettingsPath(), expand(settings));
    QCOMPARE(tess::ProgramFiles::PicturesFolder(), expand(pictures));
    QCOMPARE(tess::ProgramFiles::WorkFolder(), expand(work));

    const QString ownBank = tess::ProgramFiles::PaperBankPath();
    if (bankAfter.isNull())
        QVERIFY(fileBytes(ownBank).startsWith("SQLite format 3"));
    else
        QCOMPARE(fileBytes(ownBank), bankAfter);
    QCOMPARE(fileBytes(tess::ProgramFiles::GuidePath()), guideAfter);
    if (portable) {
        // Nothing of a portable program goes into the user's folders.
        QVERIFY(!QFileInfo::exists(data));
        QVERIFY(!QFileInfo::exists(config));
    } else {
        QVERIFY(QFileInfo(expand(pictures)).isDir());
        QVERIFY(QFileInfo(config).isDir());
        // Nothing is left beside an installed program.
        QCOMPARE(QDir(bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{});
    }
}

// A user folder that cannot be made is said with its name and what to do, and
// the start goes no further with that bank.
void TestProgramFiles::userFolderRefused() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir root(tmp.path());
    writeFile(root.filePath(QStringLiteral("usr/share/tessaloom/tessaloom.mdb")), "READY");
    const QString locked = root.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(locked));
    Immutable immutable(locked);
    if (!immutable.isSet())
        QSKIP("chattr +i is not available here");
    const EnvSetting dataHome("XDG_DATA_HOME", locked);
    const EnvSetting configHome("XDG_CONFIG_HOME", root.filePath(QStringLiteral("xdg-config")));
    tess::ProgramFiles::SetExecutablePath(root.filePath(QStringLiteral("usr/bin/tessaloom")));
    QVERIFY(!tess::ProgramFiles::Portable());
    const QStringList problems = tess::ProgramFiles::PrepareUserFiles();
    QCOMPARE(problems.size(), 1);
    QVERIFY2(
        problems.first().contains(QDir::toNativeSeparators(locked + QStringLiteral("/tessaloom"))),
        qPrintable(problems.first()));
    QVERIFY(problems.first().contains(QStringLiteral("请检查")));
    QVERIFY(!QFileInfo::exists(tess::ProgramFiles::PaperBankPath()));
}

QTEST_GUILESS_MAIN(TestProgramFiles)
#include "tst_programfiles.moc"
