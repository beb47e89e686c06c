#include "settings/programfiles.h"

#include "files/safefile.h"
#include "store/engineerror.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

namespace tess {

namespace {

// The name of the installed program's files and folders.
const QString kName = QStringLiteral("tessaloom");

QString& executablePathOverride() {
    static QString path;
    return path;
}

// The executable's full path with its extension replaced; on Linux the
// executable has none, so the extension is appended.
QString besideExecutable(const QString& extension) {
    const QFileInfo exe(ProgramFiles::ExecutablePath());
    QString base = exe.fileName();
    if (base.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
        base.chop(4);
    return exe.absolutePath() + QLatin1Char('/') + base + extension;
}

QString userFolder(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location) + QLatin1Char('/') + kName;
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A whole file's bytes; nothing when it cannot be read.
std::optional<QByteArray> readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// Puts the bytes of from at to, complete or not at all; only when to is
// absent or, with whenDifferent, holds something else. An empty text on success.
QString copyWhole(const QString& from, const QString& to, bool whenDifferent) {
    if (QFileInfo::exists(to) && !whenDifferent)
        return QString();
    const std::optional<QByteArray> bytes = readWhole(from);
    if (!bytes)
        return QStringLiteral("无法读取本程序带来的文件 %1. 请重新安装本程序.").arg(native(from));
    if (QFileInfo::exists(to) && readWhole(to) == bytes)
        return QString();
    if (const QString failure = replaceFileContents(to, *bytes); !failure.isEmpty())
        return QStringLiteral("无法把 %1 复制到 %2: %3").arg(native(from), native(to), failure);
    return QString();
}

QString makeFolder(const QString& folder) {
    if (QDir().mkpath(folder))
        return QString();
    return QStringLiteral("无法建立文件夹 %1. 请检查主文件夹的权限和剩余空间.").arg(native(folder));
}

} // namespace

QString ProgramFiles::ExecutablePath() {
    const QString& path = executablePathOverride();
    return path.isEmpty() ? QCoreApplication::applicationFilePath() : path;
}

void ProgramFiles::SetExecutablePath(const QString& path) {
    executablePathOverride() = path;
}

QString ProgramFiles::ExeFolder() {
    return QFileInfo(ExecutablePath()).absolutePath();
}

QString ProgramFiles::SharedFolder() {
    return QDir::cleanPath(ExeFolder() + QStringLiteral("/../share/") + kName);
}

bool ProgramFiles::Portable() {
    if (QFileInfo::exists(besideExecutable(QStringLiteral(".mdb"))))
        return true;
    if (QFileInfo(SharedFolder()).isDir())
        return false;
    return QFileInfo(ExeFolder()).isWritable();
}

QString ProgramFiles::DataFolder() {
    return Portable() ? ExeFolder() : userFolder(QStandardPaths::GenericDataLocation);
}

QString ProgramFiles::WorkFolder() {
    if (Portable())
        return ExeFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString ProgramFiles::PaperBankPath() {
    return Portable() ? besideExecutable(QStringLiteral(".mdb"))
                      : DataFolder() + QLatin1Char('/') + kName + QStringLiteral(".mdb");
}

QString ProgramFiles::SettingsPath() {
    return Portable() ? besideExecutable(QStringLiteral(".ini"))
                      : userFolder(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
                            kName + QStringLiteral(".ini");
}

QString ProgramFiles::GuidePath() {
    return Portable() ? besideExecutable(QStringLiteral(".htm"))
                      : DataFolder() + QLatin1Char('/') + kName + QStringLiteral(".htm");
}

QString ProgramFiles::PicturesFolder() {
    return DataFolder() + QStringLiteral("/images");
}

QStringList ProgramFiles::PrepareUserFiles() {
    if (Portable())
        return {};
    // The settings folder first, so that the settings are kept even when the
    // data folder is refused.
    for (const QString& folder :
         {QFileInfo(SettingsPath()).absolutePath(), DataFolder(), PicturesFolder()})
        if (const QString problem = makeFolder(folder); !problem.isEmpty())
            return {problem};
    QStringList problems;
    const QString shared = SharedFolder() + QLatin1Char('/') + kName;
    // The teacher's bank is never replaced. A program that brought no
    // ready-made bank (a folder nobody may write) makes a fresh one.
    const QString bank = PaperBankPath();
    const QString sharedBank = shared + QStringLiteral(".mdb");
    if (QFileInfo::exists(sharedBank) || QFileInfo::exists(bank)) {
        if (const QString problem = copyWhole(sharedBank, bank, false); !problem.isEmpty())
            problems << problem;
    } else {
        try {
            createPaperBank(bank);
        } catch (const EngineError& e) {
            problems << QStringLiteral("无法建立试题库 %1: %2").arg(native(bank), e.message());
        }
    }
    // A newer program brings a newer guide, which the teacher never edits.
    if (const QString problem = copyWhole(shared + QStringLiteral(".htm"), GuidePath(), true);
        !problem.isEmpty() && QFileInfo::exists(SharedFolder()))
        problems << problem;
    return problems;
}

} // namespace tess
