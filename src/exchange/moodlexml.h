#pragma once

#include "exchange/exchangemodel.h"

#include <QByteArray>
#include <QString>

// Moodle's question bank format ("Moodle XML"): one <quiz> of <question>
// elements, a category question before the questions of each category, and
// pictures carried inside the file as base64 <file> elements.
namespace tess::exchange {

class ImportPictures;

// The largest file the reader takes; anything longer is refused unread.
inline constexpr qsizetype kMoodleXmlMaxBytes = qsizetype(100) * 1024 * 1024;

// The paper as one Moodle XML file (UTF-8): a category question naming
// "$course$/category/name", then the questions in their order. Every
// <IMG SRC="images\name"> whose file is in picturesFolder is carried inside
// the file and referred to as @@PLUGINFILE@@/name; a missing picture (or one
// that is no regular file of the folder, such as a link) keeps its tag as it
// is. Throws ExchangeError for a picture larger than kLargestPicture or a file
// that would pass kMoodleXmlMaxBytes: the import would refuse it.
QByteArray writeMoodleXml(const Paper& paper, const QString& picturesFolder);

// The papers of a Moodle XML file: each category question starts a paper,
// questions before the first one go to a paper "导入的试题". True/false and
// multiple-choice questions are taken; the other types are listed in
// Imported::skipped. Pictures carried in the file are placed through
// `pictures` (written aside, never over a different picture) once the whole
// file has been read without error; the texts name them as images\name.
// Throws ExchangeError for a file that cannot be taken.
Imported readMoodleXml(const QByteArray& bytes, ImportPictures& pictures);
// The same with the pictures moved into picturesFolder (made when missing)
// straight away, for reading a file without a bank.
Imported readMoodleXml(const QByteArray& bytes, const QString& picturesFolder);

} // namespace tess::exchange
