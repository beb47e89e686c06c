// The settings file: reading and writing rules of the profile format and the
// new-paper defaults kept in it.
#include "immutable.h"
#include "killdrill.h"
#include "settings/inifile.h"
#include "settings/newpaperdefaults.h"
#include "settings/windowmemory.h"
#include "smalldisk.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#include <optional>
#include <stdexcept>

using tess::IniFile;
using tess::NewPaperDefaults;
using tess::WindowMemory;

namespace {

QByteArray gbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

const QString ExeFolder = QStringLiteral("/opt/教学/tessaloom");

// A settings file of about size bytes: the four keys and a long section of
// other lines, CR LF and GBK as a teacher's file would have them.
QByteArray oldSettings(int size) {
    QByteArray bytes = "[Default]\r\nDefPapScr=90\r\nDefPapNam=" + gbk(QStringLiteral("旧名")) +
                       "\r\nDefPapSav=old.html\r\nDefPapCls=" + gbk(QStringLiteral("旧类")) +
                       "\r\n\r\n[Recent]\r\n";
    for (int i = 0; bytes.size() < size; ++i)
        bytes += "File" + QByteArray::number(i) + '=' + gbk(QStringLiteral("试卷")) + "\r\n";
    bytes.truncate(size);
    return bytes;
}

// Defaults that differ from every key of oldSettings().
NewPaperDefaults changedDefaults() {
    NewPaperDefaults d = NewPaperDefaults::builtIn(ExeFolder);
    d.fullMark = 120;
    d.name = QStringLiteral("期中考试");
    return d;
}

// Files and folders in folder, hidden ones included.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_ini;

private Q_SLOTS:
    void init() {
        QVERIFY(m_dir.isValid());
        m_ini = m_dir.filePath(QStringLiteral("tessaloom.ini"));
        QFile::remove(m_ini);
    }

    void builtInDefaults() {
        const NewPaperDefaults d = NewPaperDefaults::builtIn(ExeFolder);
        QCOMPARE(d.fullMark, 100);
        QCOMPARE(d.name, QStringLiteral("Untitled Paper"));
        QCOMPARE(d.outputFile, QStringLiteral("/opt/教学/tessaloom/Untitled Paper.html"));
        QCOMPARE(d.category, QStringLiteral("通用"));
        QCOMPARE(NewPaperDefaults::builtIn(QStringLiteral("/")).outputFile,
                 QStringLiteral("/Untitled Paper.html"));
    }

    // A missing, unreadable or broken file, a missing section or missing keys
    // give the built-in values, and loading never creates or changes the file.
    void missingGivesBuiltIn_data() {
        QTest::addColumn<QByteArray>("contents"); // empty: no file at all
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("other section only") << QByteArray("[Other]\nDefPapScr=5\nDefPapNam=x\n");
        QTest::newRow("section without keys") << QByteArray("[Default]\n; nothing yet\n");
        QTest::newRow("keys outside any section") << QByteArray("DefPapScr=5\n[Default]\n");
        QTest::newRow("line without =") << QByteArray("[Default]\nDefPapNam\n");
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe[Def\x81\x00ault\n\x90=", 16);
    }
    void missingGivesBuiltIn() {
        QFETCH(QByteArray, contents);
        if (!contents.isEmpty())
            writeBytes(m_ini, contents);
        const NewPaperDefaults d = NewPaperDefaults::load(m_ini, ExeFolder);
        const NewPaperDefaults b = NewPaperDefaults::builtIn(ExeFolder);
        QCOMPARE(d.fullMark, b.fullMark);
        QCOMPARE(d.name, b.name);
        QCOMPARE(d.outputFile, b.outputFile);
        QCOMPARE(d.category, b.category);
        QCOMPARE(QFile::exists(m_ini), !contents.isEmpty());
        if (!contents.isEmpty())
            QCOMPARE(readBytes(m_ini), contents);
    }

    void unreadableFileGivesBuiltIn() {
        // A folder where the file should be cannot be read as a file.
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("tessaloom.ini")));
        const NewPaperDefaults d = NewPaperDefaults::load(m_ini, ExeFolder);
        QCOMPARE(d.name, QStringLiteral("Untitled Paper"));
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("tessaloom.ini")));
    }

    void fullMark_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << "90" << 90;
        QTest::newRow("plus sign") << "+7" << 7;
        QTest::newRow("negative") << "-5" << -5;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("blanks around") << "  75\t" << 75;
        QTest::newRow("quoted") << "\"80\"" << 80;
        QTest::newRow("hex 0x64") << "0x64" << 100;
        QTest::newRow("hex upper") << "0X1F" << 31;
        QTest::newRow("hex max") << "0x7fffffff" << std::numeric_limits<int>::max();
        QTest::newRow("int max") << "2147483647" << std::numeric_limits<int>::max();
        QTest::newRow("int min") << "-2147483648" << std::numeric_limits<int>::min();
        QTest::newRow("abc") << "abc" << 100;
        QTest::newRow("empty") << "" << 100;
        QTest::newRow("12a") << "12a" << 100;
        QTest::newRow("sign only") << "-" << 100;
        QTest::newRow("0x alone") << "0x" << 100;
        QTest::newRow("bad hex digit") << "0x1g" << 100;
        QTest::newRow("above int max") << "2147483648" << 100;
        QTest::newRow("below int min") << "-2147483649" << 100;
        QTest::newRow("hex beyond 31 bits") << "0x80000000" << 100;
        QTest::newRow("hex beyond 32 bits") << "0x1000000064" << 100;
        QTest::newRow("huge decimal") << "99999999999999999999999" << 100;
        QTest::newRow("decimal point") << "90.5" << 100;
        QTest::newRow("full-width digits") << "９０" << 100;
    }
    void fullMark() {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        writeBytes(m_ini, "[Default]\r\nDefPapScr=" + gbk(stored) + "\r\n");
        QCOMPARE(NewPaperDefaults::load(m_ini, ExeFolder).fullMark, expected);
    }

    // What a text key reads as, from the bytes after '='.
    void textValue_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("present but empty") << ""
                                           << "";
        QTest::newRow("plain") << "期中考试"
                               << "期中考试";
        QTest::newRow("blanks around") << "  期中 考试 \t"
                                       << "期中 考试";
        QTest::newRow("only blanks") << "    "
                                     << "";
        QTest::newRow("double quotes") << "\"  期中  \""
                                       << "  期中  ";
        QTest::newRow("single quotes") << "'abc'"
                                       << "abc";
        QTest::newRow("quotes after blanks") << "  \"abc\"  "
                                             << "abc";
        QTest::newRow("empty quotes") << "\"\""
                                      << "";
        QTest::newRow("unmatched quotes") << "\"abc'"
                                          << "\"abc'";
        QTest::newRow("lone quote") << "\""
                                    << "\"";
        QTest::newRow("quote inside") << "a\"b\""
                                      << "a\"b\"";
        QTest::newRow("one pair only") << "\"\"abc\"\""
                                       << "\"abc\"";
        QTest::newRow("ideographic spaces are content") << "　期中　"
                                                        << "　期中　";
        QTest::newRow("equals sign in value") << "a=b"
                                              << "a=b";
        QTest::newRow("semicolon in value") << "a;b"
                                            << "a;b";
    }
    void textValue() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        writeBytes(m_ini, "[Default]\nDefPapNam=" + gbk(stored) + "\n");
        const NewPaperDefaults d = NewPaperDefaults::load(m_ini, ExeFolder);
        QCOMPARE(d.name, expected);
        QCOMPARE(d.category, QStringLiteral("通用")); // the other keys stay built-in
    }

    void namesIgnoreCaseAndBlanks() {
        writeBytes(m_ini, gbk(QStringLiteral("  [ dEfAuLt ]  \n"
                                             "  defpapscr = 60\n"
                                             "DEFPAPNAM=期末\n"
                                             "DefPapSav =d:\\试卷\\a.html\n"
                                             "defPapCls\t=\t语文\n")));
        const NewPaperDefaults d = NewPaperDefaults::load(m_ini, ExeFolder);
        QCOMPARE(d.fullMark, 60);
        QCOMPARE(d.name, QStringLiteral("期末"));
        QCOMPARE(d.outputFile, QStringLiteral("d:\\试卷\\a.html"));
        QCOMPARE(d.category, QStringLiteral("语文"));

        // Saving rewrites those very lines, keeping how the names were written.
        NewPaperDefaults changed = d;
        changed.fullMark = -5;
        changed.name = QStringLiteral("单元测验");
        changed.save(m_ini);
        QCOMPARE(readBytes(m_ini), gbk(QStringLiteral("  [ dEfAuLt ]  \n"
                                                      "  defpapscr =-5\n"
                                                      "DEFPAPNAM=单元测验\n"
                                                      "DefPapSav =d:\\试卷\\a.html\n"
                                                      "defPapCls\t=语文\n")));
    }

    void firstOfDuplicatesWins() {
        writeBytes(m_ini, "[Default]\nDefPapNam=one\nDefPapNam=two\n[default]\nDefPapCls=c\n");
        NewPaperDefaults d = NewPaperDefaults::load(m_ini, ExeFolder);
        QCOMPARE(d.name, QStringLiteral("one"));
        QCOMPARE(d.category, QStringLiteral("c"));
        d.name = QStringLiteral("new");
        d.category = QStringLiteral("k");
        d.save(m_ini);
        const QByteArray saved = readBytes(m_ini);
        QVERIFY2(saved.startsWith("[Default]\nDefPapNam=new\nDefPapNam=two\n"), saved.constData());
        QVERIFY2(saved.endsWith("[default]\nDefPapCls=k\n"), saved.constData());
    }

    // At most 2047 bytes of a value, measured in the file's encoding, and never
    // half a character.
    void valueLimit_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expectedUnits");
        QTest::newRow("ascii at limit") << "a" << 2047 << 2047;
        QTest::newRow("ascii beyond") << "a" << 3000 << 2047;
        QTest::newRow("chinese, 2 bytes each") << "题" << 1500 << 1023;
        QTest::newRow("emoji, 4 bytes each") << "😀" << 600 << 511;
    }
    void valueLimit() {
        QFETCH(QString, unit);
        QFETCH(int, count);
        QFETCH(int, expectedUnits);
        IniFile ini;
        ini.setContents("[Default]\nK=" + QStringEncoder("GB18030").encode(unit.repeated(count)) +
                        "\n");
        QCOMPARE(ini.value(QStringLiteral("Default"), QStringLiteral("K")),
                 std::optional<QString>(unit.repeated(expectedUnits)));
    }

    // Writing touches only the four keys: comments, other sections and keys,
    // blank lines, line breaks and bytes that are not even GBK stay put.
    void saveKeepsEverythingElse() {
        const QByteArray before = "; 教师用设置\r\n"
                                  "[Window]\r\n"
                                  "Left=10\r\n"
                                  "\r\n"
                                  "[Default]\r\n"
                                  "DefPapNam=old\r\n"
                                  "Extra=\x81\x30 keep\r\n"
                                  "; comment in section\r\n"
                                  "\r\n"
                                  "[Tail]\r\n"
                                  "DefPapNam=not ours";
        writeBytes(m_ini, before);
        NewPaperDefaults d = NewPaperDefaults::builtIn(ExeFolder);
        d.name = QStringLiteral("期中");
        d.save(m_ini);
        // The comment is in UTF-8, not GBK: it is copied byte for byte all the same.
        const QByteArray expected = QByteArray("; 教师用设置\r\n"
                                               "[Window]\r\n"
                                               "Left=10\r\n"
                                               "\r\n"
                                               "[Default]\r\n"
                                               "DefPapNam=") +
                                    gbk(QStringLiteral("期中")) +
                                    "\r\n"
                                    "Extra=\x81\x30 keep\r\n"
                                    "; comment in section\r\n"
                                    "DefPapScr=100\r\n"
                                    "DefPapSav=" +
                                    gbk(d.outputFile) +
                                    "\r\n"
                                    "DefPapCls=" +
                                    gbk(QStringLiteral("通用")) +
                                    "\r\n"
                                    "\r\n"
                                    "[Tail]\r\n"
                                    "DefPapNam=not ours";
        QCOMPARE(readBytes(m_ini), expected);
    }

    // Where missing keys and a missing section go.
    void saveAddsWhatIsMissing_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // "@" stands for the four key lines
        QTest::newRow("other section, no final line break")
            << QByteArray("[Other]\nA=1") << QByteArray("[Other]\nA=1\n\n[Default]\n@");
        QTest::newRow("only blank lines") << QByteArray("\n\n") << QByteArray("\n\n[Default]\n@");
        QTest::newRow("section line last, no line break")
            << QByteArray("[Default]") << QByteArray("[Default]\n@");
        QTest::newRow("keys go before the blank lines ending the section")
            << QByteArray("[default]\n\n\n[B]\nx=1\n") << QByteArray("[default]\n@\n\n[B]\nx=1\n");
    }
    void saveAddsWhatIsMissing() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        writeBytes(m_ini, before);
        const NewPaperDefaults d = NewPaperDefaults::builtIn(ExeFolder);
        d.save(m_ini);
        const QByteArray keys =
            "DefPapScr=100\nDefPapNam=Untitled Paper\nDefPapSav=" + gbk(d.outputFile) +
            "\nDefPapCls=" + gbk(d.category) + "\n";
        QCOMPARE(readBytes(m_ini), after.replace("@", keys));
    }

    // The page style of new papers: written after the four keys once it is
    // other than classic or already in the file; read back by its name, and
    // a name this program does not know reads as classic.
    void pageStyle_data() {
        QTest::addColumn<QByteArray>("before"); // a style line after the four keys, or none
        QTest::addColumn<int>("style");         // what the teacher chose before saving
        QTest::addColumn<QByteArray>("tail");   // what follows the four keys after saving
        QTest::addColumn<int>("loaded");        // the style the file gave before saving
        const QByteArray phone = "DefPapStyle=" + gbk(QStringLiteral("手机友好")) + "\n";
        const QByteArray classic = "DefPapStyle=" + gbk(QStringLiteral("经典")) + "\n";
        const int c = int(tess::PageStyle::Classic), p = int(tess::PageStyle::Phone);
        QTest::newRow("never chosen: four keys only") << QByteArray() << c << QByteArray() << c;
        QTest::newRow("phone chosen") << QByteArray() << p << phone << c;
        QTest::newRow("phone read back") << phone << p << phone << p;
        QTest::newRow("back to classic stays written") << phone << c << classic << p;
        QTest::newRow("unknown name read as classic")
            << QByteArray("defpapstyle = fancy\n") << c
            << QByteArray("defpapstyle =") + gbk(QStringLiteral("经典")) + "\n"
            << c;
    }
    void pageStyle() {
        QFETCH(QByteArray, before);
        QFETCH(int, style);
        QFETCH(QByteArray, tail);
        QFETCH(int, loaded);
        NewPaperDefaults d = NewPaperDefaults::builtIn(ExeFolder);
        const QByteArray keys =
            "DefPapScr=100\nDefPapNam=Untitled Paper\nDefPapSav=" + gbk(d.outputFile) +
            "\nDefPapCls=" + gbk(d.category) + "\n";
        if (!before.isEmpty())
            writeBytes(m_ini, "[Default]\n" + keys + before);
        QCOMPARE(int(NewPaperDefaults::load(m_ini, ExeFolder).pageStyle), loaded);
        d.pageStyle = tess::PageStyle(style);
        d.save(m_ini);
        // The four keys keep their order, the style follows them.
        QCOMPARE(readBytes(m_ini), "[Default]\n" + keys + tail);
        QCOMPARE(int(NewPaperDefaults::load(m_ini, ExeFolder).pageStyle), style);
    }

    // A missing file is created with the section and the four keys in order,
    // Chinese text in GBK bytes.
    void saveCreatesMissingFile() {
        NewPaperDefaults d = NewPaperDefaults::builtIn(ExeFolder);
        d.fullMark = 120;
        d.outputFile = QStringLiteral("试卷.html");
        d.save(m_ini);
        QCOMPARE(readBytes(m_ini), QByteArray("[Default]\n"
                                              "DefPapScr=120\n"
                                              "DefPapNam=Untitled Paper\n"
                                              "DefPapSav=\xCA\xD4\xBE\xED.html\n"
                                              "DefPapCls=\xCD\xA8\xD3\xC3\n"));
    }

    // What a save followed by a load gives back.
    void roundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("chinese") << "高二(3)班 期中"
                                 << "高二(3)班 期中";
        QTest::newRow("emoji") << "考试😀🎉"
                               << "考试😀🎉";
        QTest::newRow("rare ideographs") << "𠀀𪚥〇㐀"
                                         << "𠀀𪚥〇㐀";
        QTest::newRow("euro and accents") << "€ café ß"
                                          << "€ café ß";
        QTest::newRow("empty") << ""
                               << "";
        // Blanks at the ends do not survive the file, as with any profile value.
        QTest::newRow("blanks at the ends") << "  期中  "
                                            << "期中";
        QTest::newRow("only blanks") << "   "
                                     << "";
        // Enclosing quotes do survive: the writer protects them.
        QTest::newRow("double-quoted") << "\"期中\""
                                       << "\"期中\"";
        QTest::newRow("single-quoted") << "'x'"
                                       << "'x'";
        QTest::newRow("quote at one end") << "\"x"
                                          << "\"x";
        QTest::newRow("line break") << "a\nb\r\nc"
                                    << "a b c";
        QTest::newRow("windows path") << "C:\\Papers\\期中.html"
                                      << "C:\\Papers\\期中.html";
    }
    void roundTrip() {
        QFETCH(QString, text);
        QFETCH(QString, readBack);
        NewPaperDefaults d;
        d.fullMark = -2147483647 - 1;
        d.name = text;
        d.outputFile = text;
        d.category = text;
        d.save(m_ini);
        const NewPaperDefaults r = NewPaperDefaults::load(m_ini, ExeFolder);
        QCOMPARE(r.fullMark, d.fullMark);
        QCOMPARE(r.name, readBack);
        QCOMPARE(r.outputFile, readBack);
        QCOMPARE(r.category, readBack);
        // A line break never becomes a line of its own.
        QCOMPARE(readBytes(m_ini).count('\n'), 5);
    }

    void gbkTextStaysGbk() {
        NewPaperDefaults d = NewPaperDefaults::builtIn(ExeFolder);
        d.category = QStringLiteral("数学");
        d.name = QStringLiteral("考试😀");
        d.save(m_ini);
        const QByteArray saved = readBytes(m_ini);
        QVERIFY(saved.contains("DefPapCls=" + gbk(QStringLiteral("数学")) + "\n"));
        // GBK's bytes for the Chinese part, then the emoji in GB18030's four bytes.
        QVERIFY(saved.contains("DefPapNam=" + gbk(QStringLiteral("考试")) + "\x94\x39\xFC\x36\n"));
    }

    // A file that cannot be written is reported with its name; nothing is
    // half-written and the existing file stays as it was.
    void unwritableFile_data() {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("makeFolder");
        QTest::newRow("folder missing") << "no such folder/tessaloom.ini" << false;
        QTest::newRow("path is a folder") << "tessaloom.ini" << true;
    }
    void unwritableFile() {
        QFETCH(QString, relative);
        QFETCH(bool, makeFolder);
        const QString path = m_dir.filePath(relative);
        if (makeFolder)
            QVERIFY(QDir(m_dir.path()).mkdir(relative));
        QString message;
        try {
            NewPaperDefaults::builtIn(ExeFolder).save(path);
        } catch (const std::runtime_error& e) {
            message = QString::fromStdString(e.what());
        }
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("设置文件")), qPrintable(message));
        if (makeFolder) {
            QVERIFY(QFileInfo(path).isDir());
            QVERIFY(QDir(path).isEmpty());
            QVERIFY(QDir(m_dir.path()).rmdir(relative));
        }
        // No temporary file left behind.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList());
    }

    // A write the file system refuses halfway: the old file keeps every byte,
    // nothing is left beside it, and the teacher is told what happened. Small
    // files fit in the write buffer, so only its flush sees a full disk.
    void refusedWriteKeepsOldFile_data() {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<int>("oldSize");
        QTest::addColumn<QString>("said");
        QTest::newRow("full disk, small file") << true << 300 << QStringLiteral("磁盘已满");
        QTest::newRow("full disk, 15 KB file") << true << 15033 << QStringLiteral("磁盘已满");
        QTest::newRow("full disk, 30 KB file") << true << 30000 << QStringLiteral("磁盘已满");
        QTest::newRow("folder takes no new files")
            << false << 15033 << QStringLiteral("不允许新建文件");
    }
    void refusedWriteKeepsOldFile() {
        QFETCH(bool, fullDisk);
        QFETCH(int, oldSize);
        QFETCH(QString, said);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        RefusingFolder refusing(folder, fullDisk);
        if (!refusing.ready())
            QSKIP(qPrintable(refusing.why()));
        const QString ini = folder + QStringLiteral("/tessaloom.ini");
        const QByteArray old = oldSettings(oldSize);
        writeBytes(ini, old);
        if (!refusing.refuse())
            QSKIP(qPrintable(refusing.why()));
        const QStringList before = entries(folder);

        QString message;
        try {
            changedDefaults().save(ini);
        } catch (const std::runtime_error& e) {
            message = QString::fromStdString(e.what());
        }
        QCOMPARE(readBytes(ini), old);
        QCOMPARE(entries(folder), before);
        QVERIFY2(message.contains(said), qPrintable(message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(ini)), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("没有改动")), qPrintable(message));
    }

    // A save killed at each point of the write: the file holds the old or the
    // complete new settings, never an empty or partial file, and the next save
    // works. A 1 MB file is written in several steps.
    void killedSave_data() { killdrill::addStageRows(); }
    void killedSave() {
        QFETCH(QString, stage);
        QFETCH(bool, newContent);
        const QString folder =
            m_dir.filePath(QStringLiteral("kill ") + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString ini = folder + QStringLiteral("/tessaloom.ini");
        const QByteArray old = oldSettings(1 << 20);
        writeBytes(ini, old);
        const QString expectedPath = m_dir.filePath(QStringLiteral("expected.ini"));
        writeBytes(expectedPath, old);
        changedDefaults().save(expectedPath);
        const QByteArray expected = readBytes(expectedPath);
        QVERIFY(QFile::remove(expectedPath));
        QVERIFY(expected != old);

        QCOMPARE(killdrill::killAt(stage, {ini}), stage);
        QCOMPARE(readBytes(ini), newContent ? expected : old);
        changedDefaults().save(ini);
        QCOMPARE(readBytes(ini), expected);
        // The temporary copy the kill left is cleared away by the next save.
        QCOMPARE(entries(folder), QStringList{QStringLiteral("tessaloom.ini")});
    }

    // How the window was left is read only where it makes sense: anything
    // else reads as missing, so that the window keeps its own defaults.
    void windowMemoryReads_data() {
        QTest::addColumn<QByteArray>("lines"); // of [Window] and [Folders]
        QTest::addColumn<QString>("geometry"); // "x,y,w,h" or "" for none
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<QString>("splitter"); // SplitterWork of two sizes, "" for none
        QTest::addColumn<QString>("folder");   // [Folders] Pdf
        QTest::newRow("as written")
            << QByteArray("[Window]\nGeometry=10,-20,700,500\nMaximized=1\n"
                          "SplitterWork=185,500\n[Folders]\nPdf=/home/老师/卷\n")
            << "10,-20,700,500" << true << "185,500"
            << "/home/老师/卷";
        QTest::newRow("blanks and letter case")
            << QByteArray("[window]\n geometry = 1, 2, 3, 4 \nsplitterwork=\" 7,8\"\n"
                          "[FOLDERS]\npdf=/tmp/./a/../b\n")
            << "1,2,3,4" << false << "7,8"
            << "/tmp/b";
        QTest::newRow("missing") << QByteArray("[Other]\nGeometry=1,2,3,4\n") << "" << false << ""
                                 << "";
        QTest::newRow("words") << QByteArray("[Window]\nGeometry=a,b,c,d\nMaximized=true\n"
                                             "SplitterWork=1;2\n[Folders]\nPdf=卷\n")
                               << "" << false << ""
                               << "";
        QTest::newRow("wrong count")
            << QByteArray("[Window]\nGeometry=1,2,3\nSplitterWork=1,2,3\n") << "" << false << ""
            << "";
        QTest::newRow("no size, negative size")
            << QByteArray("[Window]\nGeometry=1,2,0,5\nSplitterWork=-1,5\n") << "" << false << ""
            << "";
        QTest::newRow("beyond reason")
            << QByteArray("[Window]\nGeometry=1,2,100001,5\nSplitterWork=99999999999,5\n") << ""
            << false << ""
            << "";
        QTest::newRow("hexadecimal, fractions")
            << QByteArray("[Window]\nGeometry=0x10,2,3,4\nSplitterWork=1.5,2\n") << "" << false
            << ""
            << "";
        QTest::newRow("empty") << QByteArray(
                                      "[Window]\nGeometry=\nSplitterWork=\n[Folders]\nPdf=\n")
                               << "" << false << ""
                               << "";
    }
    void windowMemoryReads() {
        QFETCH(QByteArray, lines);
        QFETCH(QString, geometry);
        QFETCH(bool, maximized);
        QFETCH(QString, splitter);
        QFETCH(QString, folder);
        writeBytes(m_ini, gbk(QString::fromUtf8(lines)));
        const WindowMemory memory = WindowMemory::load(m_ini);
        const std::optional<QRect> rect = memory.geometry();
        QCOMPARE(rect ? QStringLiteral("%1,%2,%3,%4")
                            .arg(rect->x())
                            .arg(rect->y())
                            .arg(rect->width())
                            .arg(rect->height())
                      : QString(),
                 geometry);
        QCOMPARE(memory.maximized(), maximized);
        const auto sizes = memory.sizes(QStringLiteral("SplitterWork"), 2);
        QCOMPARE(sizes ? QStringLiteral("%1,%2").arg(sizes->at(0)).arg(sizes->at(1)) : QString(),
                 splitter);
        QCOMPARE(memory.folder(QStringLiteral("Pdf")), folder);
    }

    // The window's sections are written beside the defaults in one write:
    // [Default] keeps exactly its four keys, every other line stays, and
    // what was not set keeps its old value.
    void windowMemoryWrittenBesideDefaults() {
        writeBytes(m_ini, "; mine\r\n[Default]\r\nDefPapScr=90\r\n\r\n[Window]\r\n"
                          "Geometry=1,2,3,4\r\nSplitterRight=209,300\r\n");
        WindowMemory memory = WindowMemory::load(m_ini);
        memory.setGeometry(QRect(10, 20, 700, 500));
        memory.setSizes(QStringLiteral("DBGridChoice"), {56, 64, 358});
        memory.setFolder(QStringLiteral("Picture"), QStringLiteral("/home/老师/图片"));
        memory.setPictureType(QStringLiteral("GIF(*.gif)"));
        const NewPaperDefaults defaults = NewPaperDefaults::load(m_ini, ExeFolder);
        tess::updateSettingsFile(m_ini, [&](IniFile& ini) {
            defaults.store(ini);
            memory.store(ini);
        });
        const QByteArray expected =
            "; mine\r\n[Default]\r\nDefPapScr=90\r\nDefPapNam=Untitled "
            "Paper\r\nDefPapSav=" +
            gbk(defaults.outputFile) + "\r\nDefPapCls=" + gbk(QStringLiteral("通用")) +
            "\r\n\r\n[Window]\r\nGeometry=10,20,700,500\r\n"
            "SplitterRight=209,300\r\nDBGridChoice=56,64,358\r\n\r\n"
            "[Folders]\r\nPicture=" +
            gbk(QStringLiteral("/home/老师/图片")) + "\r\nPictureType=GIF(*.gif)\r\n";
        QCOMPARE(readBytes(m_ini), expected);
        const WindowMemory back = WindowMemory::load(m_ini);
        QCOMPARE(back.geometry(), std::optional<QRect>(QRect(10, 20, 700, 500)));
        QCOMPARE(back.sizes(QStringLiteral("SplitterRight"), 2),
                 std::optional(QList<int>{209, 300}));
        QCOMPARE(back.folder(QStringLiteral("Picture")), QStringLiteral("/home/老师/图片"));
        QCOMPARE(back.pictureType(), QStringLiteral("GIF(*.gif)"));
    }

    // A remembered place on the screens there are now. The primary screen is
    // 1920 × 1040 available; a second one lies right of it.
    void placeOnScreens_data() {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<bool>("secondScreen");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("inside") << QRect(100, 80, 700, 500) << true << QRect(100, 80, 700, 500);
        QTest::newRow("on the second screen")
            << QRect(2000, 100, 700, 500) << true << QRect(2000, 100, 700, 500);
        QTest::newRow("second screen gone")
            << QRect(2000, 100, 700, 500) << false << QRect(610, 270, 700, 500);
        QTest::newRow("mostly on the second screen")
            << QRect(1700, 100, 700, 500) << true << QRect(1920, 100, 700, 500);
        QTest::newRow("hanging over the bottom right")
            << QRect(1500, 900, 700, 500) << false << QRect(1220, 540, 700, 500);
        QTest::newRow("above and left")
            << QRect(-300, -20, 700, 500) << false << QRect(0, 0, 700, 500);
        QTest::newRow("larger than the screen")
            << QRect(-10, 0, 4000, 3000) << false << QRect(0, 0, 1920, 1040);
        QTest::newRow("far away") << QRect(90000, 90000, 700, 500) << true
                                  << QRect(610, 270, 700, 500);
    }
    void placeOnScreens() {
        QFETCH(QRect, wanted);
        QFETCH(bool, secondScreen);
        QFETCH(QRect, placed);
        QList<QRect> screens{QRect(0, 0, 1920, 1040)};
        if (secondScreen)
            screens << QRect(1920, 0, 1280, 984);
        QCOMPARE(tess::placeOnScreens(wanted, screens), placed);
    }

    void dialogFullMarkRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "100" << true << 100;
        QTest::newRow("zero") << "0" << true << 0;
        QTest::newRow("negative") << "-5" << true << -5;
        QTest::newRow("plus") << "+5" << true << 5;
        QTest::newRow("leading zeros") << "007" << true << 7;
        QTest::newRow("int min") << "-2147483648" << true << std::numeric_limits<int>::min();
        QTest::newRow("too big") << "2147483648" << false << 0;
        QTest::newRow("12a") << "12a" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank inside") << "1 2" << false << 0;
        QTest::newRow("blank around") << " 12" << false << 0;
        QTest::newRow("hex") << "0x64" << false << 0;
        QTest::newRow("decimal point") << "1.5" << false << 0;
    }
    void dialogFullMarkRule() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto parsed = NewPaperDefaults::parseFullMark(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }
};

// The child of killedSave(): saves the changed defaults to the given file.
int saveChangedDefaults(const QStringList& args) {
    try {
        changedDefaults().save(args.value(0));
    } catch (const std::exception&) {
        return 1;
    }
    return 0;
}

QTEST_MAIN_WRAPPER(TestSettingsFile,
                   if (int code = 0; killdrill::runChildIfAsked(argc, argv, saveChangedDefaults,
                                                                code)) return code;
                   QTEST_QAPP_SETUP(QCoreApplication))
#include "tst_settingsfile.moc"
