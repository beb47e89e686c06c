#include "generate/papercheck.h"

#include "store/query.h"
#include "store/questionkind.h"

namespace tess {

namespace {

const QString kTrueFalse = sqlText(questionTypeWord(QuestionKind::TrueFalse));
const QString kSingle = sqlText(questionTypeWord(QuestionKind::Single));

// Sent exactly as they stand (spacing and letter case included); the paper's
// identifier follows each one, and ")" closes steps 5 to 9.
const QString kStatements[] = {
    QStringLiteral("select PapScr from paper where papid = "),
    QStringLiteral("select distinct qstidx from question where papidx = "),
    QStringLiteral("select count(qstidx) as CntAll from question where papidx = "),
    QStringLiteral("select sum(qstscr) as sumscr from question where papidx = "),
    QStringLiteral("select count(QstID) as CntAll from question where ((QstCon = '')or(QstCon is "
                   "null)) and (PapIdx = "),
    QStringLiteral("select count(QstID) as CntAll from question  where (question.QstTyp <> ") +
        kTrueFalse +
        QStringLiteral(")  and (select count(chcid) from choice where choice.qstidx = Qstid) "
                       "<2  and (question.papidx = "),
    QStringLiteral("select count(QstID) as CntAll from question  where (question.QstTyp = ") +
        kSingle +
        QStringLiteral(")  and (select count(chcid) from choice where(choice.qstidx = "
                       "Qstid)and(choice.IsTrue = True)) >1  and (question.papidx = "),
    QStringLiteral("select count(QstID) as CntAll from question  where (question.QstTyp <> ") +
        kTrueFalse +
        QStringLiteral(")  and (select count(chcid) from choice where(choice.qstidx = "
                       "Qstid)and(choice.IsTrue = True)) =0  and (question.papidx = "),
    QStringLiteral(
        "select count(ChcID) as CntAll from choice, question  where ((ChcCon = '')or(ChcCon is "
        "null)) and (choice.qstidx = question.qstid) and  (question.papidx = "),
};

int firstRowInteger(Query& query, int step, int papId, const QString& column) {
    query.close();
    query.clearSql();
    QString text = kStatements[step - 1] + QString::number(papId);
    if (step >= 5)
        text += QLatin1Char(')');
    query.addLine(text);
    query.open();
    return column.isEmpty() ? 0 : query.asInteger(column);
}

} // namespace

bool checkPaper(Query& query, int papId, const std::function<void(const QString&)>& addMessage) {
    // 1: the paper must still exist; its full mark is compared in step 4.
    firstRowInteger(query, 1, papId, QString());
    if (query.isEmpty()) {
        addMessage(QStringLiteral("错误: 当前试卷不存在."));
        return false;
    }
    const int fullMark = query.asInteger(QStringLiteral("papscr"));

    // 2 and 3: count() skips questions without a number while distinct lists
    // the empty number once, so an all-unnumbered paper reads as empty.
    firstRowInteger(query, 2, papId, QString());
    const int distinctNumbers = query.recordCount();
    const int numbered = firstRowInteger(query, 3, papId, QStringLiteral("CntAll"));
    if (numbered == 0) {
        addMessage(QStringLiteral("警告: 当前试卷没有任何题目."));
        return true;
    }
    if (numbered > distinctNumbers) {
        addMessage(QStringLiteral("错误: 当前试卷有题目的题号重复."));
        return false;
    }

    const int sum = firstRowInteger(query, 4, papId, QStringLiteral("sumscr"));
    if (sum > fullMark)
        addMessage(QStringLiteral("警告: 当前试卷所有题目的分值之和超过试卷预定的总分."));
    else if (sum < fullMark)
        addMessage(QStringLiteral("警告: 当前试卷所有题目的分值之和小于试卷预定的总分."));

    if (firstRowInteger(query, 5, papId, QStringLiteral("CntAll")) != 0) {
        addMessage(QStringLiteral("错误: 当前试卷有题目内容为空."));
        return false;
    }
    if (firstRowInteger(query, 6, papId, QStringLiteral("CntAll")) != 0) {
        addMessage(QStringLiteral("错误: 当前试卷有选择题的题目选项数量没有超过2个."));
        return false;
    }
    // A single-choice question with several correct choices can still be
    // published: it only warns.
    if (firstRowInteger(query, 7, papId, QStringLiteral("CntAll")) != 0)
        addMessage(QStringLiteral("警告: 当前试卷有单选题的题目选项有多个正确答案."));
    // Without a correct choice a question cannot be marked: this one stops,
    // although its line is only a warning.
    if (firstRowInteger(query, 8, papId, QStringLiteral("CntAll")) != 0) {
        addMessage(QStringLiteral("警告: 当前试卷有选择题的题目选项中没有正确的选项."));
        return false;
    }
    if (firstRowInteger(query, 9, papId, QStringLiteral("CntAll")) != 0) {
        addMessage(QStringLiteral("错误: 当前试卷有题目的选项内容为空."));
        return false;
    }
    return true;
}

} // namespace tess
