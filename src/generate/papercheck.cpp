#include "generate/papercheck.h"

#include "generate/pagemarkup.h"
#include "generate/paperwriter.h"
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

// A value from the bank as a finding quotes it: one line, not too long.
QString quoted(const QString& value) {
    QString shown = value.left(40).simplified();
    if (value.size() > 40)
        shown += QStringLiteral("...");
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// The line for a text that the page would carry with the given finding, or
// nothing. `where` names the text as the teacher finds it.
QString markupLine(const QString& where, const MarkupFinding& finding) {
    const QString& tag = finding.detail;
    switch (finding.hazard) {
    case MarkupHazard::None:
        return QString();
    case MarkupHazard::TableParts:
        return QStringLiteral("警告: %1中的表格标记 %2 不成对, 会打乱试卷网页的版面. "
                              "请检查这段文字中的 <table>、<tr>、<td> 标记.")
            .arg(where, tag);
    case MarkupHazard::Control:
        return QStringLiteral("警告: %1中有输入控件 %2, 学生在其中的作答不会被批改. "
                              "如果不是有意加入的, 请删去它.")
            .arg(where, tag);
    case MarkupHazard::Script:
        return QStringLiteral(
                   "警告: %1中有脚本 <script>, 它会在学生的浏览器里运行, 可能改变批改结果. "
                   "如果不是有意加入的, 请删去它.")
            .arg(where);
    case MarkupHazard::FormEnd:
        // The controls stay inside the paper's form in the page's tree; only
        // a <form> after it, in this text or a later one, takes them away.
        return QStringLiteral("警告: %1中有表单结束标记 </form>, 其后的文字再有 <form> "
                              "就会使批改结果出错. 请删去它.")
            .arg(where);
    case MarkupHazard::UnclosedComment:
    case MarkupHazard::UnclosedRawText: {
        // <plaintext> has no end: only taking it out helps.
        const QString end = tag == QLatin1String("<!--")        ? QStringLiteral("\"-->\"")
                            : tag == QLatin1String("<![CDATA[") ? QStringLiteral("\"]]>\"")
                                                                : QStringLiteral("</") + tag.mid(1);
        return QStringLiteral(
                   "错误: %1中的 %2 没有结束, 试卷网页其后的题目、提交按钮和评分脚本都会被它"
                   "吞掉. 请删去它%3.")
            .arg(where, tag,
                 tag == QLatin1String("<plaintext>") ? QString()
                                                     : QStringLiteral(", 或在其后补上 ") + end);
    }
    case MarkupHazard::UnclosedQuote:
        return QStringLiteral(
                   "错误: %1中的标记 %2 有一个引号没有结束, 试卷网页其后的选择控件都会被它吞掉. "
                   "请补上结束的引号.")
            .arg(where, tag);
    case MarkupHazard::FormTag:
        return QStringLiteral(
                   "错误: %1中有表单标记 %2, 它会把其后的选择控件移出试卷的表单, 批改结果会出错. "
                   "请删去它.")
            .arg(where, tag);
    case MarkupHazard::NameClash:
        return QStringLiteral(
                   "错误: %1中有名为 %2 的元素, 与试卷网页自己的控件或脚本同名, 批改结果会出错. "
                   "请删去这个 name 或 id, 或者改名.")
            .arg(where, quoted(tag));
    }
    return QString();
}

// The flag line of a question or choice whose IsTrue is neither true nor
// false. The page marks such a flag as false, which need not be what the
// bank means by it.
QString flagLine(const QString& where, const QString& flag, const QString& what) {
    const QString lower = flag.toLower();
    if (lower == QLatin1String("true") || lower == QLatin1String("false"))
        return QString();
    return QStringLiteral("错误: %1的正确标记是 %2, 既不是\"正确\"也不是\"错误\", "
                          "试卷网页会把它当作\"错误\"批改. "
                          "请在%3中重新选择它.")
        .arg(where, flag.isEmpty() ? QStringLiteral("空的") : quoted(flag), what);
}

QString questionName(const PageQuestion& q) {
    return q.number.isEmpty() ? QStringLiteral("一道没有题号的题目")
                              : QStringLiteral("第 %1 题").arg(q.number.left(20));
}

// At most this many lines for the texts and flags, however many are found.
constexpr int kMaxPageLines = 20;

// Step 10: the texts and flags reach the page unescaped, and another program
// may have written anything into them. Every one the page would carry is
// looked at; a finding that leaves a page that cannot be marked fails.
bool checkPageTexts(Query& query, int papId,
                    const std::function<void(const QString&)>& addMessage) {
    query.close();
    query.clearSql();
    query.addLine(QStringLiteral("select PapNam from paper where papid = ") +
                  QString::number(papId));
    query.open();
    const QString name = query.asString(QStringLiteral("PapNam"));

    QStringList lines;
    bool failed = false;
    int more = 0;
    const auto add = [&](const QString& line) {
        if (line.isEmpty())
            return;
        failed = failed || line.startsWith(QStringLiteral("错误: "));
        if (lines.size() < kMaxPageLines)
            lines << line;
        else
            ++more;
    };
    add(markupLine(QStringLiteral("试卷名称"), scanPageMarkup(name)));
    for (const PageQuestion& q : readPageQuestions(query.connection(), papId)) {
        const QString where = questionName(q);
        add(markupLine(where + QStringLiteral("的题目内容"), scanPageMarkup(q.html)));
        if (q.kind == QuestionKind::TrueFalse)
            add(flagLine(where, q.flag, QStringLiteral("题目表格的\"是否正确\"一栏")));
        for (const PageChoice& c : q.choices) {
            // "第 2 题的选项 3 的内容": the choice's number stands apart.
            const QString choice =
                c.number.isEmpty()
                    ? where + QStringLiteral("的一个没有编号的选项")
                    : where + QStringLiteral("的选项 ") + c.number.left(20) + QLatin1Char(' ');
            add(markupLine(choice + QStringLiteral("的内容"), scanPageMarkup(c.html)));
            add(flagLine(choice, c.flag, QStringLiteral("选项表格的\"正确选项\"一栏")));
        }
    }
    for (const QString& line : lines)
        addMessage(line);
    if (more > 0)
        addMessage((failed ? QStringLiteral("错误: ") : QStringLiteral("警告: ")) +
                   QStringLiteral("还有 %1 处题目文字或正确标记有上面这样的问题没有列出, "
                                  "请改正上面列出的之后再检查一次.")
                       .arg(more));
    return !failed;
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
        // The page still carries the paper's name and any unnumbered question.
        return checkPageTexts(query, papId, addMessage);
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
    return checkPageTexts(query, papId, addMessage);
}

} // namespace tess
