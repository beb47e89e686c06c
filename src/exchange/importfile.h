#pragma once

#include "exchange/exchangemodel.h"

namespace tess::exchange {

// The file filter of the import dialog: "shown text|patterns".
QString importFileFilter();

// Reads a question file: Moodle XML by its first element, GIFT by its braces,
// otherwise Aiken. Pictures a Moodle XML file carries go into picturesFolder.
// Throws ExchangeError for a file that cannot be read or taken.
Imported readQuestionFile(const QString& path, const QString& picturesFolder);

} // namespace tess::exchange
