#pragma once

#include <QString>
#include <QStringList>

namespace tess {

// The three kinds of question a paper holds, in the order its page shows them.
enum class QuestionKind {
    TrueFalse, // the answer is the question's own flag
    Single,    // exactly one correct choice
    Multiple,  // any number of correct choices
};

// The word QstTyp holds for a kind: "判断题", "单选题" or "多选题".
QString questionTypeWord(QuestionKind kind);

// The kind a stored type word stands for. Every word but the true/false and
// the single-choice one reads as multiple choice, as the page has always read it.
QuestionKind questionKindOf(const QString& typeWord);

// The three words in the kinds' order, as the question grid offers them.
QStringList questionTypeWords();

} // namespace tess
