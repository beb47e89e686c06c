#pragma once

#include "exchange/exchangemodel.h"

#include <QString>
#include <QVector>
#include <functional>

namespace tess {
class Connection;
}

namespace tess::exchange {

// The paper papId as its page shows it: true/false questions first, then
// single and then multiple choice, each part in the order the page uses,
// choices in theirs. Throws ExchangeError for a paper that does not exist.
Paper readPaper(Connection& connection, int papId);

// Adds the papers to the bank, all of them or none (one transaction). Every
// paper, question and choice is numbered as the window numbers a new record,
// so that a second program on the bank sees nothing unusual; a paper's full
// mark is the sum of its marks and its output file is outputFile. Returns the
// new papers' identifiers.
QVector<int> addPapers(Connection& connection, const QVector<Paper>& papers,
                       const QString& outputFile);

// Adds a copy of the paper papId: its category, full mark and output file,
// its name followed by "（副本）", and copies of all its questions and choices
// in the order its page shows them, numbered as addPapers numbers. All or
// nothing. Returns the copy's identifier; throws ExchangeError for a paper
// that does not exist.
int copyPaper(Connection& connection, int papId);

// Appends copies of the questions qstIds, in that order, with their choices
// (type word, mark, text and flags as they stand) to the paper papId,
// numbered after its last question as new questions are; with move, the
// questions and their choices are removed from where they were. Identifiers
// that name no question are left out. All or nothing. Returns how many were
// copied; throws ExchangeError when the paper does not exist. progress(done,
// total) is told of every hundred questions; when it returns false nothing is
// copied and -1 is returned.
using CopyProgress = std::function<bool(qint64 done, qint64 total)>;
int copyQuestionsTo(Connection& connection, const QVector<int>& qstIds, int papId, bool move,
                    const CopyProgress& progress = {});

// Adds a new paper with the name, category, full mark and output file given,
// numbered as addPapers numbers, and appends copies of the questions qstIds
// to it as copyQuestionsTo does. All or nothing: throws ExchangeError, having
// written nothing, when one of the questions is not in the bank. Returns the
// new paper's identifier.
int addPaperOfQuestions(Connection& connection, const QString& name, const QString& category,
                        int fullMark, const QString& outputFile, const QVector<int>& qstIds);

} // namespace tess::exchange
