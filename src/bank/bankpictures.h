#pragma once

#include "bank/pictures.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace tess {

class Connection;

// A server bank keeps the pictures its texts show (name, bytes, hash), so
// that publishing, printing and export on any teacher's machine can fetch
// what another machine's pictures folder held. A bank file keeps none: its
// pictures are the folder beside the program, and these do nothing there.

// The largest picture the bank takes or hands out, so that one row cannot
// fill the memory of every program that fetches it.
constexpr qint64 kLargestBankPicture = kLargestPicture;

// The names of the pictures that the bank's question and choice texts show
// through the program's tags <IMG SRC="images\name">. Engine errors are thrown.
QSet<QString> picturesNamedInBank(const Connection& bank);

// The names of the pictures a server bank keeps; none for a file.
QSet<QString> picturesKeptInBank(const Connection& bank);

// The pictures that the texts of paper papId show, each once.
QStringList paperPictureNames(const Connection& bank, int papId);

// The chosen file brought into the pictures folder as copyIntoPicturesFolder
// does, and on a server bank kept in the bank too, under a name that holds
// no other picture in either. A picture the bank could not keep leaves the
// copy in the folder and says why in failure.
PictureCopy placePicture(Connection& bank, const QString& chosenPath,
                         const QString& picturesFolder);

// Keeps in a server bank the pictures of names that the folder holds and the
// bank lacks (in the caller's transaction when one is open). Returns a line
// for the teacher for each that could not be kept.
QStringList keepPicturesInBank(Connection& bank, const QStringList& names, const QString& folder);

// Writes into the folder (made when missing) the pictures of names that it
// lacks and a server bank keeps, each checked against its hash and written
// aside before it takes its name. Returns a line for the teacher for each
// that could not be written, and for a picture that the folder holds with
// other content than the bank's (the folder's stays and is used).
QStringList fetchPicturesFromBank(const Connection& bank, const QStringList& names,
                                  const QString& folder);

// The same for the pictures of paper papId, before it is published, printed
// or exported.
QStringList fetchPaperPictures(const Connection& bank, int papId, const QString& folder);

} // namespace tess
