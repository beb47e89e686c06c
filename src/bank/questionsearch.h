#pragma once

#include <QString>
#include <QVector>
#include <optional>

namespace tess {

class Connection;

// Where a question stands in the search's order: by paper, then number.
struct QuestionKey {
    int papId = 0;
    int number = 0;
    int qstId = 0;
};

// What a search asks for. Empty fields ask for nothing.
struct QuestionSearch {
    // Found in the question's text or one of its choices' texts as a reader
    // sees them (tags left out), Latin letters without regard to case.
    QString text;
    QString type{};     // QstTyp, e.g. "单选题"
    QString category{}; // PapCtg of the question's paper
    int limit = 0;      // at most this many hits; 0: all
    // Part of the name of the question's paper, Latin letters without regard to case.
    QString paper{};
    int markFrom = -1; // QstScr at least this; -1: no bound
    int markTo = -1;   // QstScr at most this; -1: no bound
    // Only questions after this one: the next screenful of a long list.
    std::optional<QuestionKey> after{};
};

// One question found.
struct QuestionHit {
    int papId = 0;
    QString paperName; // PapNam
    int qstId = 0;
    int number = 0; // QstIdx
    QString type;   // QstTyp
    int mark = 0;   // QstScr
    QString text;   // the question's text as a reader sees it
    // How many questions of the bank have this text (this one too); 0 when
    // not known (a bank whose texts are not indexed, a text of pictures alone).
    int sameText = 0;

    QuestionKey key() const { return {papId, number, qstId}; }
};

// The questions that match, by paper and then by number. Whatever the text
// holds (quotes, %, _, the engines' search syntax) is looked for as it
// stands; runs of spaces count as one, as a reader sees them. The bank's
// texts noted as changed are indexed first where the bank can be written;
// a bank without the index is read text by text. Engine errors are thrown.
QVector<QuestionHit> searchQuestions(Connection& connection, const QuestionSearch& search);

// Whether the plain text holds needle, Latin letters without regard to case.
bool containsIgnoringLatinCase(const QString& text, const QString& needle);

} // namespace tess
