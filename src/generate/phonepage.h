#pragma once

#include "store/pagestyle.h"

#include <QByteArray>
#include <QString>

namespace tess {

class Connection;
struct PageSource;

// The page for students on phones: one self-contained file (UTF-8) that
// needs nothing from elsewhere, with a name and class field, buttons for
// true/false, the same grader script as the classic page, the report inside
// the page, and the options of style (orders, time limit). Picture tags are
// pointed at the page pictures folder of outputPath, as on the classic page.
// Throws GenerateError (full mark) or EngineError.
QString buildPhonePage(const Connection& connection, const PageSource& paper,
                       const PaperStyle& style, const QString& outputPath);

// Builds the page in the paper's style (the classic page through
// writePaperPage, unchanged) and writes it to outputPath, replacing an
// earlier page only once the new one is complete. Throws as writePaperPage.
void writeStyledPage(const Connection& connection, const PageSource& paper, const PaperStyle& style,
                     const QString& outputPath);

} // namespace tess
