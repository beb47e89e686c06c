#pragma once

#include "bank/pictures.h"

#include <QString>
#include <QVector>

// Pictures of imported texts in the form the rest of the program reads: the
// page writer, the printed paper and the export all know a picture only by
// its tag <IMG SRC="images\name">, the name as the file in the pictures folder
// is called.
namespace tess::exchange {

// Where a picture tag of an imported text points.
enum class PictureSource {
    Folder,    // a file directly in the pictures folder: now in the program's form
    Remote,    // http, https, ftp or //host: left as it is, shown when the student is online
    Embedded,  // a data: URI: left as it is, the picture is inside the text
    Elsewhere, // any other path, or a name no page can use: left as it is, never read
};

struct PictureReference {
    PictureSource source = PictureSource::Folder;
    QString src;  // the attribute as the text held it
    QString name; // for Folder: the picture's file name
};

using tess::plainPictureName;

// The text with every <img> whose src names a file directly in the pictures
// folder ("images/x.png", 'images\x.png', images/x.png, ./Images/x%20y.png; any
// letter case, quoting and slash) rewritten to <IMG SRC="images\name" followed
// by the rest of the tag as it was. Every other tag and all other text stay as
// they are. The pictures met are added to `found` in the order of the text.
// Linear in the text's length; an <img without its closing > ends the search.
QString programPictureTags(const QString& html, QVector<PictureReference>* found = nullptr);

} // namespace tess::exchange
