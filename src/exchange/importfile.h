#pragma once

#include "exchange/exchangemodel.h"

namespace tess {
class Connection;
}

namespace tess::exchange {

// The file filter of the import dialog: "shown text|patterns".
QString importFileFilter();

// Reads a question file: Moodle XML by its first element, GIFT by its braces,
// otherwise Aiken. Pictures a Moodle XML file carries go into picturesFolder.
// Throws ExchangeError for a file that cannot be read or taken.
// A file without any question the bank can hold is refused as well.
Imported readQuestionFile(const QString& path, const QString& picturesFolder);

// Reads the file and adds its papers to the bank (see addPapers), all or
// nothing: pictures written for an import the bank refuses are removed
// again. The new papers' identifiers go to paperIds when given.
Imported importQuestionFile(Connection& connection, const QString& path,
                            const QString& picturesFolder, const QString& outputFile,
                            QVector<int>* paperIds = nullptr);

} // namespace tess::exchange
