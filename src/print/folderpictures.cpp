#include "print/folderpictures.h"

#include "bank/pictures.h"
#include "files/safefile.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QUrl>
#include <algorithm>

namespace tess::print {

namespace {

// Pictures are read at most this large: enough for the text width at print
// resolution, and a 10 MB photograph is not held at full size once per page.
constexpr int kMaxPicturePixels = 2400;

} // namespace

const Picture& FolderPictures::picture(const QString& source) {
    auto it = m_pictures.find(source);
    if (it == m_pictures.end())
        it = m_pictures.insert(source, read(source));
    return *it;
}

void FolderPictures::clear() {
    m_pictures.clear();
    m_missing.clear();
    m_notices.clear();
}

QString FolderPictures::label(const QString& source) {
    const QString name = pictureNameOfSource(source);
    if (!name.isEmpty())
        return name;
    return source.size() > 60 ? source.left(57) + QStringLiteral("...") : source;
}

void FolderPictures::notice(const QString& line) {
    if (!m_notices.contains(line))
        m_notices << line;
}

Picture FolderPictures::read(const QString& source) {
    Picture picture;
    const QString name = pictureNameOfSource(source);
    if (name.isEmpty()) {
        notice(QStringLiteral("文字中的图片 \"%1\" 不是图片文件夹中的图片, 没有读取, 印成了"
                              "方框. 请用插入图片的办法把它放进试卷后再打印.")
                   .arg(label(source)));
        return picture;
    }
    QByteArray bytes;
    switch (readFolderPicture(m_folder, name, bytes)) {
    case FileRead::Read:
        break;
    case FileRead::NotAFile:
        if (m_folder.isEmpty())
            break;
        notice(QStringLiteral("图片文件夹 %1 中的 %2 不是普通的图片文件 (而是链接, 文件夹或"
                              "设备), 没有读取, 印成了方框. 请把图片本身放进图片文件夹后再打印.")
                   .arg(QDir::toNativeSeparators(m_folder), name));
        return picture;
    case FileRead::TooLarge:
        notice(QStringLiteral("图片 %1 大于 %2 MB, 没有读取, 印成了方框. 请把图片缩小后再打印.")
                   .arg(name)
                   .arg(kLargestPicture >> 20));
        return picture;
    case FileRead::Missing:
    case FileRead::Unreadable:
        break;
    }
    if (bytes.isEmpty()) {
        if (!m_missing.contains(name))
            m_missing << name;
        return picture;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, QFileInfo(name).suffix().toLatin1());
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > kMaxPicturePixels)
        reader.setScaledSize(
            size.scaled(kMaxPicturePixels, kMaxPicturePixels, Qt::KeepAspectRatio));
    picture.image = reader.read();
    if (!picture.image.isNull())
        picture.natural = size.isValid() ? QSizeF(size) : QSizeF(picture.image.size());
    else if (!m_missing.contains(name))
        m_missing << name;
    return picture;
}

QSizeF FolderPictureObject::intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) {
    const QTextImageFormat image = format.toImageFormat();
    const Picture& p = m_pictures.picture(image.name());
    if (p.image.isNull())
        return {};
    const bool width = image.hasProperty(QTextFormat::ImageWidth);
    const bool height = image.hasProperty(QTextFormat::ImageHeight);
    const QSizeF natural = p.natural.isEmpty() ? QSizeF(p.image.size()) : p.natural;
    QSizeF size(qRound(image.width()), qRound(image.height()));
    if (!width && !height)
        size = natural;
    else if (!height)
        size.setHeight(size.width() * natural.height() / natural.width());
    else if (!width)
        size.setWidth(size.height() * natural.width() / natural.height());
    const QPaintDevice* device = doc->documentLayout()->paintDevice();
    return device ? size * (qreal(device->logicalDpiY()) / 96) : size;
}

void FolderPictureObject::drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                                     const QTextFormat& format) {
    const Picture& p = m_pictures.picture(format.toImageFormat().name());
    if (!p.image.isNull())
        painter->drawImage(rect, p.image);
}

FolderPictureDocument::FolderPictureDocument(FolderPictures& pictures, FolderPictureObject* shown,
                                             QObject* parent)
    : QTextDocument(parent), m_pictures(pictures) {
    documentLayout()->registerHandler(QTextFormat::ImageObject, shown);
}

QVariant FolderPictureDocument::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::ImageResource)
        return {};
    const Picture& p = m_pictures.picture(name.toString());
    return p.image.isNull() ? QVariant() : QVariant(p.image);
}

} // namespace tess::print
