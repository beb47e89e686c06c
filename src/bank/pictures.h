#pragma once

#include "files/safefile.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace tess {

// The tag that a question or choice text holds for a picture of the pictures
// folder: <IMG SRC="images\name">, the name exactly as chosen.
QString pictureTag(const QString& fileName);

// What every tag of a picture of the pictures folder starts with; a text
// without it shows none.
QString pictureTagStart();

// The names of the pictures that text shows through the tags
// <IMG SRC="images\name"> (either slash), in the order of the text.
QStringList picturesNamedIn(const QString& text);

// The largest picture the program reads from the pictures folder or the bank
// (print, export, keeping in a server bank), so that one picture cannot fill
// the memory of every program that reads it.
constexpr qint64 kLargestPicture = 32 * 1024 * 1024;

// A picture name that can only mean a file directly inside the pictures folder,
// short enough for every file system (200 bytes, with room for " (2)").
bool plainPictureName(const QString& name);

// The name of the picture of the pictures folder that an <img> src names:
// "images\name" or "images/name" (any letter case, an optional "./" before,
// percent escapes read as a browser reads them); empty for every other src
// (a path elsewhere, "..", a URL, a drive), which names no picture of ours.
QString pictureNameOfSource(const QString& src);

// Reads the picture name of folder, by its file name only: a name that is no
// plainPictureName() is not looked up, and the file must be a regular file
// itself (readRegularFile()), at most kLargestPicture bytes.
FileRead readFolderPicture(const QString& folder, const QString& name, QByteArray& bytes,
                           qint64* size = nullptr);

// The picture dialog's file types, "shown text|*.a;*.b"; the first, all
// pictures, is selected until the teacher chooses another.
QStringList pictureFileTypes();

// The file name of a chosen path, whichever separator it uses.
QString pictureFileName(const QString& chosenPath);

// A name the page can use: characters a browser would misread in the tag
// (" # % ? < >) become "_".
QString usablePictureName(QString name);
// "map.jpg", 2 -> "map (2).jpg"; a name without an extension gets the number at its end.
QString numberedPictureName(const QString& name, int n);

// What became of a picture brought into the pictures folder.
struct PictureCopy {
    QString name;    // the name to tag: as chosen, or a free one beside a different picture
    QString failure; // empty when the picture is in the folder; else why it is not
};

// Brings the chosen file into the pictures folder (made when missing). Nothing
// there is ever overwritten: a file of the same name and the same content is
// the picture already, and a different picture of that name is copied under a
// free name ("map (2).jpg"). Characters a browser would misread in the
// page (" # % ?) become "_" in the copy's name. A copy is written aside, checked and renamed into
// place, so the folder never holds half a picture. A name for which
// nameUsable (when given) says false is passed over as taken.
PictureCopy copyIntoPicturesFolder(const QString& chosenPath, const QString& picturesFolder,
                                   const std::function<bool(const QString&)>& nameUsable = {});

// Writes bytes as the picture target, which must not exist yet: written
// aside, checked and renamed into place. Returns why it failed, or an empty text.
QString writePictureFile(const QString& target, const QByteArray& bytes);

} // namespace tess
