// An import with pictures killed at chosen points and at random moments. After
// every kill the bank holds the import wholly or not at all, and the pictures
// folder holds no new picture the bank does not show; once the next start has
// settled what the kill left aside, every picture the bank shows is there.
// Pictures of other papers are never changed.
#include "bankhelpers.h"
#include "exchange/importfile.h"
#include "exchange/importpictures.h"
#include "killdrill.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace tess::exchange;

namespace {

constexpr int kNewPictures = 30;
// Questions without pictures, so that the bank's part takes a while too.
constexpr int kFiller = 400;
constexpr int kImportedQuestions = kNewPictures + 2 + kFiller;

QByteArray pictureBytes(int seed) {
    QByteArray bytes("\x89PNG\r\n\x1a\n", 8);
    for (int i = 0; i < 20000; ++i)
        bytes.append(char((i * 31 + seed * 7) & 0xFF));
    return bytes;
}

const QByteArray kOld = pictureBytes(100);    // old.png of another paper
const QByteArray kShared = pictureBytes(101); // shared.png, also brought by the file

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray trueFalse(const QByteArray& text, const QByteArray& files = QByteArray()) {
    return "<question type=\"truefalse\"><name><text>q</text></name>"
           "<questiontext format=\"html\"><text><![CDATA[" +
           text + "]]></text>" + files +
           "</questiontext><answer fraction=\"100\"><text>true</text></answer>"
           "<answer fraction=\"0\"><text>false</text></answer></question>\n";
}

QByteArray fileElement(const QByteArray& name, const QByteArray& bytes) {
    return "<file name=\"" + name + "\" path=\"/\" encoding=\"base64\">" + bytes.toBase64() +
           "</file>";
}

// 30 new pictures, one named like a different picture of another paper
// (old.png, becomes "old (2).png"), one the same as a picture already there.
QByteArray importFile() {
    QByteArray xml = "<?xml version=\"1.0\"?>\n<quiz>\n";
    for (int i = 1; i <= kNewPictures; ++i) {
        const QByteArray name = "p" + QByteArray::number(i) + ".png";
        xml += trueFalse("<img src=\"@@PLUGINFILE@@/" + name + "\" alt=\"" + name + "\">",
                         fileElement(name, pictureBytes(i)));
    }
    xml += trueFalse("<img src=\"@@PLUGINFILE@@/old.png\">",
                     fileElement("old.png", pictureBytes(200)));
    xml += trueFalse("<img src=\"@@PLUGINFILE@@/shared.png\">", fileElement("shared.png", kShared));
    for (int i = 0; i < kFiller; ++i)
        xml += trueFalse("题目 " + QByteArray::number(i));
    return xml + "</quiz>\n";
}

QStringList newNames() {
    QStringList names;
    for (int i = 1; i <= kNewPictures; ++i)
        names << QStringLiteral("p%1.png").arg(i);
    return names << QStringLiteral("old (2).png");
}

// A program folder: the bank with another paper showing old.png and
// shared.png, the pictures folder with them, and the file to import.
struct Folder {
    QTemporaryDir dir;
    QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    QString pictures = dir.filePath(QStringLiteral("images"));
    QString file = dir.filePath(QStringLiteral("import.xml"));

    Folder() {
        banktest::freshBank(bank);
        banktest::BankConnection conn(bank);
        banktest::executeInOneTransaction(
            conn, {QStringLiteral("insert into paper (PapID, PapNam) values (1, '别的试卷')"),
                   QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstCon) values "
                                  "(1, 1, 1, '<IMG SRC=\"images\\old.png\">')"),
                   QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon) values "
                                  "(1, 1, 1, '<IMG SRC=\"images\\shared.png\">')")});
        QDir().mkpath(pictures);
        writeFile(pictures + QStringLiteral("/old.png"), kOld);
        writeFile(pictures + QStringLiteral("/shared.png"), kShared);
        static const QByteArray xml = importFile();
        writeFile(file, xml);
    }

    // Questions the imports added: a multiple of one import's.
    int imported() const {
        banktest::BankConnection conn(bank);
        return banktest::count(conn, QStringLiteral("question")) - 1;
    }

    // The pictures the bank's texts show, read here without the program's help.
    QSet<QString> shown() const {
        banktest::BankConnection conn(bank);
        tess::Query q(conn);
        q.setSql(QStringLiteral("select QstCon as v from question union all "
                                "select ChcCon from choice"));
        q.open();
        static const QRegularExpression tag(QStringLiteral("<IMG SRC=\"images\\\\([^\"]+)\""));
        QSet<QString> names;
        for (q.first(); !q.eof(); q.next()) {
            auto it = tag.globalMatch(q.asString(QStringLiteral("v")));
            while (it.hasNext())
                names.insert(it.next().captured(1));
        }
        return names;
    }

    QStringList files() const {
        return QDir(pictures).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    // What the kill may leave: the import wholly or not at all, no picture
    // the bank does not show, the other paper's pictures as they were. A
    // picture the bank shows may be missing only while it waits aside.
    void checkAfterKill(bool settled) const {
        const int added = imported();
        // One import at most, once: one or two, once imported again.
        QVERIFY2(added % kImportedQuestions == 0 && added <= 2 * kImportedQuestions,
                 qPrintable(QString::number(added)));
        const QSet<QString> names = shown();
        const QStringList present = files();
        for (const QString& name : present)
            QVERIFY2(names.contains(name), qPrintable(QStringLiteral("stray picture ") + name));
        QCOMPARE(readFile(pictures + QStringLiteral("/old.png")), kOld);
        QCOMPARE(readFile(pictures + QStringLiteral("/shared.png")), kShared);
        if (added == 0)
            QCOMPARE(present,
                     (QStringList{QStringLiteral("old.png"), QStringLiteral("shared.png")}));
        for (const QString& name : names) {
            if (present.contains(name))
                continue;
            QVERIFY2(!settled, qPrintable(QStringLiteral("missing picture ") + name));
            bool aside = false;
            for (const QString& token : QDir(pictures + QStringLiteral("/.import"))
                                            .entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                aside = aside ||
                        QFileInfo::exists(
                            QStringLiteral("%1/.import/%2/pictures/%3").arg(pictures, token, name));
            QVERIFY2(aside, qPrintable(QStringLiteral("missing picture, not aside: ") + name));
        }
        if (added > 0)
            for (int i = 1; i <= kNewPictures; ++i)
                QCOMPARE(readFile(pictures + QStringLiteral("/p%1.png").arg(i)),
                         settled || present.contains(QStringLiteral("p%1.png").arg(i))
                             ? pictureBytes(i)
                             : QByteArray("<missing>"));
        if (settled)
            QVERIFY(!QFileInfo::exists(pictures + QStringLiteral("/.import")));
    }

    // What the next start does, then a second import of the same file.
    void settleAndImportAgain(bool committed) const {
        checkAfterKill(false);
        if (QTest::currentTestFailed())
            return;
        {
            banktest::BankConnection conn(bank);
            finishInterruptedImports(conn, pictures);
        }
        checkAfterKill(true);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(imported(), committed ? kImportedQuestions : 0);
        banktest::BankConnection conn(bank);
        importQuestionFile(conn, file, pictures, QString());
        QCOMPARE(imported(), (committed ? 2 : 1) * kImportedQuestions);
        checkAfterKill(true);
        // The same pictures again take the names they have.
        QStringList expected = newNames()
                               << QStringLiteral("old.png") << QStringLiteral("shared.png");
        expected.sort();
        QCOMPARE(files(), expected);
    }
};

// The child's import, stopped at the chosen stage: "written-5" is the fifth
// picture written aside, "moved-10" the tenth moved in.
void stopAtImportStage(ImportStage stage) {
    static int counts[4] = {};
    const int n = ++counts[int(stage)];
    static const char* const names[] = {"written", "committed", "moved", "finished"};
    killdrill::stopIfChosen(QByteArray(names[int(stage)]) + '-' + QByteArray::number(n));
}

int importInChild(const QStringList& args) {
    setImportProbe(&stopAtImportStage);
    try {
        banktest::BankConnection conn(args.value(0));
        importQuestionFile(conn, args.value(1), args.value(2), QString());
    } catch (const std::exception&) {
        return 1;
    }
    return 0;
}

} // namespace

class TestImportDrill : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedAtStage_data();
    void killedAtStage();
    void killedAtRandomMoments();
};

void TestImportDrill::killedAtStage_data() {
    QTest::addColumn<QString>("stage");
    QTest::addColumn<bool>("committed");
    QTest::newRow("first picture written aside") << QStringLiteral("written-1") << false;
    QTest::newRow("half the pictures aside") << QStringLiteral("written-15") << false;
    QTest::newRow("all pictures aside, bank not committed")
        << QStringLiteral("written-%1").arg(kNewPictures + 1) << false;
    QTest::newRow("committed, no picture moved in") << QStringLiteral("committed-1") << true;
    QTest::newRow("committed, ten pictures moved in") << QStringLiteral("moved-10") << true;
    QTest::newRow("all moved in, aside folder left") << QStringLiteral("finished-1") << true;
}

void TestImportDrill::killedAtStage() {
    QFETCH(QString, stage);
    QFETCH(bool, committed);
    Folder folder;
    QCOMPARE(killdrill::killAt(stage, {folder.bank, folder.file, folder.pictures}), stage);
    QCOMPARE(folder.imported(), committed ? kImportedQuestions : 0);
    folder.settleAndImportAgain(committed);
}

// As a teacher's kills fall: anywhere from the start of the program to its end.
void TestImportDrill::killedAtRandomMoments() {
    const int kKills = qEnvironmentVariableIntValue("TESS_DRILL_KILLS") > 0
                           ? qEnvironmentVariableIntValue("TESS_DRILL_KILLS")
                           : 20;
    qint64 whole = 0;
    {
        Folder folder;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(
            QProcess::execute(QCoreApplication::applicationFilePath(),
                              {QString::fromLatin1(killdrill::ChildFlag), QStringLiteral("none"),
                               folder.bank, folder.file, folder.pictures}),
            0);
        whole = timer.elapsed();
        QCOMPARE(folder.imported(), kImportedQuestions);
    }
    QRandomGenerator random(20261211);
    int committed = 0;
    int aside = 0;
    for (int round = 0; round < kKills; ++round) {
        Folder folder;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(killdrill::ChildFlag), QStringLiteral("none"), folder.bank,
                     folder.file, folder.pictures});
        QVERIFY(child.waitForStarted());
        QTest::qSleep(int(random.bounded(whole + whole / 10 + 1)));
        child.kill();
        QVERIFY(child.waitForFinished());
        const bool done = folder.imported() > 0;
        committed += done ? 1 : 0;
        aside += QFileInfo::exists(folder.pictures + QStringLiteral("/.import")) ? 1 : 0;
        folder.settleAndImportAgain(done);
        if (QTest::currentTestFailed()) {
            qWarning("round %d failed", round);
            return;
        }
    }
    qInfo("a whole import takes %lld ms; %d kills: %d after the commit, %d with pictures aside",
          whole, kKills, committed, aside);
}

QTEST_MAIN_WRAPPER(TestImportDrill,
                   if (int code = 0;
                       killdrill::runChildIfAsked(argc, argv, importInChild, code)) return code;
                   QTEST_QAPP_SETUP(QCoreApplication))
#include "tst_importdrill.moc"
