#pragma once

#include "generate/paperwriter.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>
#include <stdexcept>

namespace tess {
class Connection;
}

// A paper as it goes onto paper: its sections in the page's order, with the
// page's numerals and numbering, and what the paper check says of it.
namespace tess::print {

struct PrintedQuestion {
    int number = 0; // within its section, from 1, as the page numbers it
    PageQuestion content;
};

struct PrintedSection {
    QuestionKind kind = QuestionKind::TrueFalse;
    QString title; // the numeral and the type word: "一、判断题"
    int marks = 0; // the sum of its questions' marks
    QVector<PrintedQuestion> questions;
};

struct PrintedPaper {
    int papId = 0;
    QString name;
    QString fullMarkText;        // PapScr as stored
    std::optional<int> fullMark; // none when that is no whole number
    QVector<PrintedSection> sections;
    // The lines the paper check writes before publishing, word for word, so
    // that the key never tells the teacher anything else.
    QStringList findings;

    int questionCount() const;
    int markSum() const;
};

// A paper that cannot be printed: the text says why and what to do.
class PrintError : public std::runtime_error {
public:
    explicit PrintError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// Reads the paper and checks it as publishing does, and never writes. Throws
// PrintError for a paper that does not exist or has no questions, EngineError
// unchanged (also where the check cannot read a value).
PrintedPaper readPrintedPaper(Connection& connection, int papId);

// The choice labels used when not printing the stored numbers: A..Z, AA, AB, ...
QString choiceLetter(int index);

} // namespace tess::print
