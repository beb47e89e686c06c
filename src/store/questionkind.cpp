#include "store/questionkind.h"

namespace tess {

namespace {

// The one place the words are spelled, indexed by the kind.
const QString& word(QuestionKind kind) {
    static const QString words[] = {QStringLiteral("判断题"), QStringLiteral("单选题"),
                                    QStringLiteral("多选题")};
    return words[int(kind)];
}

} // namespace

QString questionTypeWord(QuestionKind kind) {
    return word(kind);
}

QuestionKind questionKindOf(const QString& typeWord) {
    if (typeWord == word(QuestionKind::TrueFalse))
        return QuestionKind::TrueFalse;
    return typeWord == word(QuestionKind::Single) ? QuestionKind::Single : QuestionKind::Multiple;
}

QStringList questionTypeWords() {
    return {word(QuestionKind::TrueFalse), word(QuestionKind::Single),
            word(QuestionKind::Multiple)};
}

} // namespace tess
