#include "settings/programfiles.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tess {

namespace {

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

QString ProgramFiles::PaperBankPath() {
    return besideExecutable(QStringLiteral(".mdb"));
}

QString ProgramFiles::SettingsPath() {
    return besideExecutable(QStringLiteral(".ini"));
}

QString ProgramFiles::GuidePath() {
    return besideExecutable(QStringLiteral(".htm"));
}

QString ProgramFiles::PicturesFolder() {
    return ExeFolder() + QStringLiteral("/images");
}

} // namespace tess
