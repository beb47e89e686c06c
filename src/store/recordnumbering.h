#pragma once

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
};

// Runs the five max statements on maxId, in order, then the orphan trim on
// trim (choices without question first, then questions without paper; see
// trimOrphans), and closes maxId. Identifiers are taken over whole tables, before the trim.
// A maximum that already is the largest 32-bit value is given again rather
// than overflowing: a number may repeat, and an identifier that clashes is
// refused by the store with a clear message when the record is posted.
NextIds refreshNextIds(Query& maxId, Command& trim, int curPapId, int curQstId);

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
