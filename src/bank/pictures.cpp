#include "bank/pictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <unistd.h>

namespace tess {

namespace {

constexpr qint64 kChunk = 1 << 20;

// Whether two files hold the same bytes, read a piece at a time.
bool sameContent(const QString& a, const QString& b) {
    QFile first(a);
    QFile second(b);
    if (first.size() != second.size() || !first.open(QIODevice::ReadOnly) ||
        !second.open(QIODevice::ReadOnly))
        return false;
    while (!first.atEnd()) {
        const QByteArray x = first.read(kChunk);
        if (x.isEmpty() || x != second.read(kChunk))
            return false;
    }
    return true;
}

const QString kTagStart = QStringLiteral("<IMG SRC=\"images");

// Copies source to target, which must not exist; every write and the flush
// to the disk are checked before the copy takes the name.
QString copyChecked(QIODevice& source, const QString& target) {
    QTemporaryFile aside(QFileInfo(target).absolutePath() + QStringLiteral("/.picture-XXXXXX"));
    if (!aside.open())
        return aside.errorString();
    while (!source.atEnd()) {
        const QByteArray piece = source.read(kChunk);
        // Nothing read before the end is a failed read.
        if (piece.isEmpty())
            return source.errorString();
        if (aside.write(piece) != piece.size())
            return aside.errorString();
    }
    if (!aside.flush() || ::fsync(aside.handle()) != 0)
        return aside.errorString();
    aside.close();
    // rename never replaces an existing file: a picture that appeared meanwhile stays.
    if (!QFile::rename(aside.fileName(), target))
        return QStringLiteral("文件 %1 已经存在").arg(QFileInfo(target).fileName());
    aside.setAutoRemove(false);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                      QFile::ReadOther);
    return QString();
}

} // namespace

QString pictureTagStart() {
    return kTagStart;
}

QStringList picturesNamedIn(const QString& text) {
    QStringList names;
    for (qsizetype at = text.indexOf(kTagStart); at >= 0; at = text.indexOf(kTagStart, at + 1)) {
        const qsizetype start = at + kTagStart.size() + 1;
        if (start > text.size() ||
            (text[start - 1] != QLatin1Char('\\') && text[start - 1] != QLatin1Char('/')))
            continue;
        const qsizetype end = text.indexOf(QLatin1Char('"'), start);
        if (end > start)
            names << text.mid(start, end - start);
    }
    return names;
}

QString writePictureFile(const QString& target, const QByteArray& bytes) {
    QBuffer source;
    source.setData(bytes);
    source.open(QIODevice::ReadOnly);
    return copyChecked(source, target);
}

bool plainPictureName(const QString& name) {
    if (name.isEmpty() || name.toUtf8().size() > 200 || name == QStringLiteral(".") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QStringLiteral("..")))
        return false;
    for (QChar c : name) {
        if (c.unicode() < 0x20)
            return false;
    }
    return true;
}

QString pictureNameOfSource(const QString& src) {
    QStringView rest = QStringView(src).trimmed();
    if (rest.startsWith(u"./") || rest.startsWith(u".\\"))
        rest = rest.mid(2);
    if (!rest.startsWith(u"images/", Qt::CaseInsensitive) &&
        !rest.startsWith(u"images\\", Qt::CaseInsensitive))
        return QString();
    const QString name = QUrl::fromPercentEncoding(rest.mid(7).toUtf8());
    return plainPictureName(name) ? name : QString();
}

FileRead readFolderPicture(const QString& folder, const QString& name, QByteArray& bytes,
                           qint64* size) {
    bytes.clear();
    if (folder.isEmpty() || !plainPictureName(name))
        return FileRead::NotAFile;
    return readRegularFile(QDir(folder).filePath(name), kLargestPicture, bytes, size);
}

QString pictureTag(const QString& fileName) {
    return QStringLiteral("<IMG SRC=\"images\\") + fileName + QStringLiteral("\">");
}

QStringList pictureFileTypes() {
    return {
        // First and so chosen at first: every picture a page can show, PNG and
        // GIF among them, so that a folder of screenshots does not look empty.
        QStringLiteral("所有图片文件 (*.jpg;*.jpeg;*.png;*.gif;*.bmp;*.ico;*.emf;*.wmf)|"
                       "*.jpg;*.jpeg;*.png;*.gif;*.bmp;*.ico;*.emf;*.wmf"),
        QStringLiteral(
            "All (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf"),
        QStringLiteral("JPEG Image File (*.jpg)|*.jpg"),
        QStringLiteral("JPEG Image File (*.jpeg)|*.jpeg"),
        QStringLiteral("Bitmaps (*.bmp)|*.bmp"),
        QStringLiteral("Icons (*.ico)|*.ico"),
        QStringLiteral("Enhanced Metafiles (*.emf)|*.emf"),
        QStringLiteral("Metafiles (*.wmf)|*.wmf"),
        QStringLiteral("GIF(*.gif)|*.gif"),
        // Most pictures a teacher has today are PNG.
        QStringLiteral("PNG Image File (*.png)|*.png"),
    };
}

QString pictureFileName(const QString& chosenPath) {
    const qsizetype cut = std::max(chosenPath.lastIndexOf(QLatin1Char('/')),
                                   chosenPath.lastIndexOf(QLatin1Char('\\')));
    return chosenPath.mid(cut + 1);
}

// A browser reads " as the end of the tag's attribute, # as the start of a
// fragment, % as an escape and ? as a query, and would not find the picture.
QString usablePictureName(QString name) {
    for (QChar c : {u'"', u'#', u'%', u'?', u'<', u'>'})
        name.replace(c, QLatin1Char('_'));
    return name;
}

QString numberedPictureName(const QString& name, int n) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral(" (%1)").arg(n);
    if (dot <= 0)
        return name + suffix;
    return name.left(dot) + suffix + name.mid(dot);
}

PictureCopy copyIntoPicturesFolder(const QString& chosenPath, const QString& picturesFolder,
                                   const std::function<bool(const QString&)>& nameUsable) {
    PictureCopy result;
    result.name = pictureFileName(chosenPath);
    const auto fail = [&](const QString& why) {
        result.failure = QStringLiteral("图片 \"%1\" 没有复制到图片文件夹 %2: %3. "
                                        "生成的试卷中将缺少这幅图片; 请解决后重新插入.")
                             .arg(chosenPath, QDir::toNativeSeparators(picturesFolder), why);
        return result;
    };
    const QFileInfo folder(picturesFolder);
    if (folder.exists() && !folder.isDir())
        return fail(QStringLiteral("这个名字已经被一个文件占用, 不是文件夹"));
    if (!folder.exists() && !QDir().mkdir(picturesFolder))
        return fail(QStringLiteral("无法建立这个文件夹"));
    const QFileInfo chosen(chosenPath);
    if (!chosen.exists())
        return fail(QStringLiteral("文件不存在"));
    if (chosen.isDir())
        return fail(QStringLiteral("选中的是文件夹, 不是图片文件"));
    QFile source(chosenPath);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("无法读取: ") + source.errorString());

    // The first name that is free or already holds this very picture.
    const QDir dir(picturesFolder);
    const QString usable = usablePictureName(result.name);
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? usable : numberedPictureName(usable, n);
        const QString target = dir.filePath(name);
        if (nameUsable && !nameUsable(name))
            continue;
        if (QFileInfo::exists(target)) {
            if (sameContent(chosenPath, target)) {
                result.name = name;
                return result;
            }
            continue;
        }
        const QString error = copyChecked(source, target);
        if (!error.isEmpty())
            return fail(error);
        result.name = name;
        return result;
    }
}

} // namespace tess
