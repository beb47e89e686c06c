#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace tess {

class Connection;

// One line of what the teacher asks for: so many questions of a type, each
// worth a mark.
struct ComposeRow {
    QString type; // QstTyp: "判断题", "单选题" or "多选题"
    int count = 0;
    int mark = 0; // QstScr of every question drawn for the row
};

// A paper to be composed from the bank.
struct ComposeRequest {
    QVector<ComposeRow> rows;
    // Where the questions come from: the papers of these categories and
    // these papers. Both empty: the whole bank.
    QStringList categories;
    QVector<int> papers;
    // A paper (PapID) whose questions' texts must not be drawn; 0: none.
    int excludePaper = 0;
};

// One question of a draw.
struct DrawnQuestion {
    int row = 0; // index of its request row
    int qstId = 0;
    int papId = 0;
    QString paperName; // PapNam of the paper it comes from
    QString type;
    int mark = 0;
    QString text; // as a reader sees it
    QString key;  // what "the same text" is decided by
};

// The questions drawn, row after row; for every row that could not be
// filled, a line saying so and what to do.
struct ComposeDraw {
    QVector<DrawnQuestion> questions;
    QStringList shortfalls;
    bool complete() const { return shortfalls.isEmpty() && !questions.isEmpty(); }
    int fullMark() const; // the sum of the marks
};

// At most this many candidates of one row are looked at for texts not yet
// drawn: a bank of a million questions is never read whole into memory.
constexpr int kMostCandidates = 20000;

// Draws every row's questions at random from the request's sources: questions
// of the row's type and mark with a text, no text twice in the draw and none
// that the excluded paper has. Two questions whose texts read alike (tags
// aside) count as one text. The same seed on the same bank gives the same draw.
ComposeDraw drawQuestions(const Connection& connection, const ComposeRequest& request,
                          quint32 seed);

// Replaces the draw's question at index by another of its row whose text is
// not in the draw. Returns false, leaving the draw as it was, when the
// sources hold no such question.
bool redrawOne(const Connection& connection, const ComposeRequest& request, ComposeDraw& draw,
               int index, quint32 seed);

// Makes a new paper of a complete draw: the next paper identifier, the name
// and category given, the output file of the new-paper defaults, the draw's
// sum as its full mark, and copies of the drawn questions with their choices
// in the draw's order, numbered as new questions are. All or nothing: when a
// drawn question has gone or changed its type or mark since the draw,
// nothing is written and ExchangeError says so. Returns the paper's PapID.
int makeComposedPaper(Connection& connection, const ComposeDraw& draw, const QString& name,
                      const QString& category, const QString& outputFile);

} // namespace tess
