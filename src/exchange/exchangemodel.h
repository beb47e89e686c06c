#pragma once

#include "store/questionkind.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <stdexcept>

// Papers as they cross to and from other question tools: the formats' readers
// and writers meet the bank only through these plain values.
namespace tess::exchange {

struct Choice {
    QString html;         // as this program's page shows it
    bool correct = false; // IsTrue
};

struct Question {
    QuestionKind kind = QuestionKind::TrueFalse;
    QString name;            // the title in the file, for messages (may be empty)
    int mark = 1;            // QstScr
    QString html;            // QstCon, HTML; pictures as <IMG SRC="images\name" ...>
    bool answer = false;     // IsTrue of a true/false question
    QVector<Choice> choices; // in their order; empty for true/false
    int line = 0;            // where it starts in the file, for messages
};

struct Paper {
    QString category; // PapCtg (may be empty)
    QString name;     // PapNam
    QVector<Question> questions;
};

// What a file held: the papers to add, one line per question left out
// ("name (type)"), and one line per picture the papers will not show from the
// pictures folder, for the message area.
struct Imported {
    QVector<Paper> papers;
    QStringList skipped;
    QStringList warnings{}; // a default, so that readers need not name it
};

// A file that cannot be taken: the message names the place in the file
// ("第 12 行: ...") and says what is wrong, in Chinese.
class ExchangeError : public std::runtime_error {
public:
    explicit ExchangeError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tess::exchange
