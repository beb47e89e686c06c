#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tess {

class Connection;

// What the writer needs to know of the paper besides its questions.
struct PageSource {
    int papId = 0;
    QString name;         // the paper's name as the navigator lists it
    QString fullMarkText; // PapScr as text; must read as an integer
};

// The grader script, line by line, exactly as every page carries it.
QStringList graderScriptLines();

// Full mark as an integer; throws GenerateError when it is empty or no number.
int parseFullMark(const QString& text);

// The whole page text for one paper: lines ended by CR LF, one more CR LF at
// the end, picture tags pointed at the page pictures folder of outputPath.
// Questions and choices are read in one statement, in identifier order and
// typed as the table cursors type them. Engine errors are thrown unchanged.
QString buildPaperPage(const Connection& connection, const PageSource& paper,
                       const QString& outputPath);

// GBK bytes of a page text. A character that GBK cannot hold is written as an
// HTML numeric character reference, so nothing is lost.
QByteArray encodePageText(const QString& text);

// Builds the page and writes it to outputPath, replacing an earlier page only
// once the new one is complete. Throws GenerateError (full mark, file) or
// EngineError; no file is written then.
void writePaperPage(const Connection& connection, const PageSource& paper,
                    const QString& outputPath);

} // namespace tess
