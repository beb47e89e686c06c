#pragma once

#include "exchange/exchangemodel.h"

namespace tess {
class Connection;
}

namespace tess::exchange {

class ImportPictures;

// The file filter of the import dialog: "shown text|patterns".
QString importFileFilter();

// Reads a question file: Moodle XML by its first element, GIFT by its braces,
// otherwise Aiken. Every picture tag of its texts that names a file of the
// pictures folder is put in the program's form, <IMG SRC="images\name" and the
// rest of the tag (see programPictureTags); pictures that will not show on the
// page are told in Imported::warnings. Pictures a Moodle XML file carries go
// through `pictures`, written aside until moved in.
// Throws ExchangeError for a file that cannot be read or taken.
// A file without any question the bank can hold is refused as well.
Imported readQuestionFile(const QString& path, ImportPictures& pictures);
// The same with the pictures moved into picturesFolder straight away.
Imported readQuestionFile(const QString& path, const QString& picturesFolder);

// Reads the file and adds its papers to the bank (see addPapers), all or
// nothing. The pictures it brings take their names in the pictures folder
// only once the bank has committed the papers; an import the bank refuses, or
// one killed before its commit, leaves none behind. What an earlier import
// killed half-way left aside is settled first (finishInterruptedImports). The
// new papers' identifiers go to paperIds when given.
Imported importQuestionFile(Connection& connection, const QString& path,
                            const QString& picturesFolder, const QString& outputFile,
                            QVector<int>* paperIds = nullptr);

} // namespace tess::exchange
