#include "generate/pagepaths.h"

#include <QStringList>

namespace tess {

namespace {

// Paths may come from Windows-era papers ("D:\exams\mid") or from this system
// ("/home/t/mid"), so a file name starts after the last of "/", "\" and ":".
qsizetype fileNameStart(const QString& path) {
    const qsizetype cut =
        std::max({path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')),
                  path.lastIndexOf(QLatin1Char(':'))});
    return cut + 1;
}

} // namespace

QString NumToChinese(int value) {
    static const QStringList numerals = {
        QStringLiteral("零"), QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
        QStringLiteral("四"), QStringLiteral("五"), QStringLiteral("六"), QStringLiteral("七"),
        QStringLiteral("八"), QStringLiteral("九"), QStringLiteral("十")};
    if (value < 0 || value >= numerals.size())
        return QString();
    return numerals.at(value);
}

QString pageOutputPath(const QString& papSav) {
    const QString name = papSav.mid(fileNameStart(papSav));
    if (name.contains(QLatin1Char('.')))
        return papSav;
    return papSav + QStringLiteral(".html");
}

QString pagePicturesFolderName(const QString& outputPath) {
    QString name = outputPath.mid(fileNameStart(outputPath));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name + QStringLiteral(".files");
}

QString pagePicturesFolderPath(const QString& outputPath) {
    return outputPath.left(fileNameStart(outputPath)) + pagePicturesFolderName(outputPath);
}

namespace {

const QString kImageTag = QStringLiteral("<IMG SRC=\"images");

} // namespace

QString imageTagReplacement(const QString& outputPath) {
    return QStringLiteral("<IMG SRC=\"") + pagePicturesFolderName(outputPath);
}

void replaceImageTags(QString& text, qsizetype from, const QString& replacement) {
    for (;;) {
        const qsizetype at = text.indexOf(kImageTag, from, Qt::CaseSensitive);
        if (at < 0)
            return;
        text.replace(at, kImageTag.size(), replacement);
        // What was put in is never read again, as the copying form never reads it.
        from = at + replacement.size();
    }
}

QString ReplaceImagePath(const QString& text, const QString& outputPath) {
    const QString& tag = kImageTag;
    const QString replacement = imageTagReplacement(outputPath);
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(tag, from, Qt::CaseSensitive);
        if (at < 0)
            break;
        result += QStringView(text).mid(from, at - from);
        result += replacement;
        from = at + tag.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

} // namespace tess
