#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QStringList>
#include <QTextDocument>
#include <QTextObjectInterface>

namespace tess::print {

// A picture of the texts, read once.
struct Picture {
    QImage image;   // empty when it could not be read
    QSizeF natural; // its size in screen pixels, before any reduction
};

// The pictures that texts name, each read once, from the pictures folder only
// and by file name only: no other src is ever opened. Texts may come from
// another program, so a path, an address, a link or a FIFO they name must
// neither read another file nor hold up the program.
class FolderPictures {
public:
    explicit FolderPictures(QString folder) : m_folder(std::move(folder)) {}

    // The picture a src names; an empty one when it names none of the pictures
    // folder or that one cannot be read.
    const Picture& picture(const QString& source);
    QStringList missing() const { return m_missing; }
    // Pictures passed over for other reasons than missing, a sentence each.
    QStringList notices() const { return m_notices; }
    // Forgets what was read, for pictures that may have changed since.
    void clear();

    // What the box in place of a picture says: its file name, or the src
    // itself (shortened) when it names no picture of the folder.
    static QString label(const QString& source);

private:
    void notice(const QString& line);
    Picture read(const QString& source);

    QString m_folder;
    QHash<QString, Picture> m_pictures;
    QStringList m_missing;
    QStringList m_notices;
};

// The pictures of a text, drawn from the folder's pictures only. It takes the
// place of the text layout's own, which reads any src it cannot get otherwise
// straight from the disk (a FIFO there would hold up the program for good).
class FolderPictureObject : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit FolderPictureObject(FolderPictures& pictures) : m_pictures(pictures) {}

    // The size the picture's format gives (as whole screen pixels, as the
    // layout's own did), in the units of the document's device.
    QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override;

private:
    FolderPictures& m_pictures;
};

// A document of texts that fetches nothing but the pictures of the folder:
// its pictures are drawn by shown, and a style's background comes from
// pictures too. The document's own loading would open any local path.
class FolderPictureDocument : public QTextDocument {
public:
    FolderPictureDocument(FolderPictures& pictures, FolderPictureObject* shown,
                          QObject* parent = nullptr);

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    FolderPictures& m_pictures;
};

} // namespace tess::print
