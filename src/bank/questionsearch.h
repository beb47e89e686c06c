#pragma once

#include <QString>
#include <QVector>

namespace tess {

class Connection;

// What a search asks for. Empty fields ask for nothing.
struct QuestionSearch {
    // Found in the question's text or one of its choices' texts as a reader
    // sees them (tags left out), Latin letters without regard to case.
    QString text;
    QString type;     // QstTyp, e.g. "单选题"
    QString category; // PapCtg of the question's paper
    int limit = 0;    // at most this many hits; 0: all
    // Part of the name of the question's paper, Latin letters without regard to case.
    QString paper{};
    int markFrom = -1; // QstScr at least this; -1: no bound
    int markTo = -1;   // QstScr at most this; -1: no bound
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
};

// The questions that match, by paper and then by number. Whatever the text
// holds (quotes, %, _, the engines' search syntax) is looked for as it
// stands. Engine errors are thrown.
QVector<QuestionHit> searchQuestions(const Connection& connection, const QuestionSearch& search);

// Whether the plain text holds needle, Latin letters without regard to case.
bool containsIgnoringLatinCase(const QString& text, const QString& needle);

} // namespace tess
