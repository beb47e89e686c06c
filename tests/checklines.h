#pragma once

#include <QString>

// The lines the paper check writes, word for word, for the tests of the check
// and of the places that show its findings.
namespace checklines {

inline const QString kMissing = QStringLiteral("错误: 当前试卷不存在.");
inline const QString kEmpty = QStringLiteral("警告: 当前试卷没有任何题目.");
inline const QString kDuplicate = QStringLiteral("错误: 当前试卷有题目的题号重复.");
inline const QString kOver = QStringLiteral("警告: 当前试卷所有题目的分值之和超过试卷预定的总分.");
inline const QString kUnder = QStringLiteral("警告: 当前试卷所有题目的分值之和小于试卷预定的总分.");
inline const QString kNoText = QStringLiteral("错误: 当前试卷有题目内容为空.");
inline const QString kFewChoices =
    QStringLiteral("错误: 当前试卷有选择题的题目选项数量没有超过2个.");
inline const QString kSingleMany =
    QStringLiteral("警告: 当前试卷有单选题的题目选项有多个正确答案.");
inline const QString kNoCorrect =
    QStringLiteral("警告: 当前试卷有选择题的题目选项中没有正确的选项.");
inline const QString kNoChoiceText = QStringLiteral("错误: 当前试卷有题目的选项内容为空.");

} // namespace checklines
