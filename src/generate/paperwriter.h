#pragma once

#include "store/questionkind.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace tess {

class Connection;

// What the writer needs to know of the paper besides its questions.
struct PageSource {
    int papId = 0;
    QString name;         // the paper's name as the navigator lists it
    QString fullMarkText; // PapScr as text; must read as an integer
};

// A question as the page shows it, for other renderings of the same paper.
struct PageChoice {
    QString number;       // ChcIdx as the page labels the choice
    QString html;         // ChcCon
    bool correct = false; // IsTrue as the grader reads it: "true" in any letter case
    QString flag = {};    // IsTrue as stored, for the check
};
struct PageQuestion {
    QuestionKind kind = QuestionKind::Multiple;
    int mark = 0;
    QString number;              // QstIdx as the question grid shows it
    QString html;                // QstCon, picture tags as stored
    bool answer = false;         // IsTrue of a true/false question, read as the grader's flag
    QVector<PageChoice> choices; // empty for true/false
    QString flag = {};           // IsTrue as stored, for the check
};

// The paper's questions as its page has them, read as buildPaperPage reads
// them (one statement, two for a bank with odd identifiers) and in the same
// order; the page's sections pick them out by kind. Engine errors are thrown.
QList<PageQuestion> readPageQuestions(const Connection& connection, int papId);

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

// Puts a page's bytes at outputPath, replacing an earlier page only once the
// new one is complete. Throws GenerateError naming the file; no file is
// written then.
void writePageFile(const QString& outputPath, const QByteArray& bytes);

// Builds the page and writes it to outputPath, replacing an earlier page only
// once the new one is complete. Throws GenerateError (full mark, file) or
// EngineError; no file is written then.
void writePaperPage(const Connection& connection, const PageSource& paper,
                    const QString& outputPath);

} // namespace tess
