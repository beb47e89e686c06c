#pragma once

#include "store/orphanwatch.h"

#include <QString>

namespace tess {

class Command;
class Query;
class TableCursor;

// The values the next new paper, question and choice receive.
struct NextIds {
    int papId = 0;  // NextPapID
    int qstId = 0;  // NextQstID
    int chcId = 0;  // NextChcID
    int qstIdx = 0; // NextQstIdx: number of the next question of paper curPapId
    int chcIdx = 0; // NextChcIdx: number of the next choice of question curQstId
    TrimState trim; // what the orphan trim that follows has to do
};

// Runs the five max statements on maxId, in order, closes it and reads the
// trim's state; on a server all of it in one request.
NextIds readNextIds(Query& maxId, int curPapId, int curQstId);

// readNextIds, then the orphan trim on trim (choices without question first,
// then questions without paper; see trimOrphans). Identifiers are taken over
// whole tables, before the trim.
// A maximum that already is the largest 32-bit value is given again rather
// than overflowing: a number may repeat, and an identifier that clashes is
// refused by the store with a clear message when the record is posted.
NextIds refreshNextIds(Query& maxId, Command& trim, int curPapId, int curQstId);

// Numbers the records that one piece of work adds in a row (an import: each
// paper followed by its questions, each question by its choices) with what
// refreshNextIds run before every one of them would give, from the statements
// and trims of the first two runs only. Later runs would change nothing: the
// first trim removes the questions without paper, the second their choices,
// and the records added in between all have their owner. So a paper's
// identifier is counted before the first trim, the questions' after it and
// the choices' after the second, which runs only when a second record follows
// as it would. Question numbers start at 1 in a new paper and choice numbers
// in a new question, as no orphan can be left that names a new identifier.
// Identifiers then count up, the largest 32-bit value being given again.
class RecordSequence {
public:
    // Runs the statements on maxId and trim; `records` is how many records follow.
    RecordSequence(Query& maxId, Command& trim, qint64 records);

    struct Numbered {
        int id;     // QstID, ChcID
        int number; // QstIdx within the paper, ChcIdx within the question
    };
    int newPaper(); // the paper's PapID; its questions are numbered from 1
    // Questions that follow go into an existing paper whose largest question
    // number is lastNumber: they are numbered after it.
    void continuePaper(int lastNumber) { m_qstIdx = lastNumber; }
    Numbered newQuestion();
    Numbered newChoice();

private:
    int m_papId = 0; // the next ones
    int m_qstId = 0;
    int m_chcId = 0;
    int m_qstIdx = 0; // the last given ones
    int m_chcIdx = 0;
};

// The category of a new paper: the category chosen in the navigator, or the
// default category while the navigator shows all papers.
QString newPaperCategory(bool allPapersChosen, const QString& chosenCategory,
                         const QString& defaultCategory);

// What the after-insert steps write into the new, still unposted record of
// the paper, question and choice cursors.
void fillNewPaper(TableCursor& paper, int papId, int fullMark, const QString& name,
                  const QString& outputFile, const QString& category);
void fillNewQuestion(TableCursor& question, int qstId, int papId, int qstIdx);
void fillNewChoice(TableCursor& choice, int chcId, int qstId, int chcIdx);

} // namespace tess
