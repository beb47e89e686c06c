#include "print/printedpaper.h"

#include "generate/pagepaths.h"
#include "store/connection.h"
#include "store/statement.h"

namespace tess::print {

namespace {

// Where a question is, as the teacher finds it on the printed paper.
QString placeOf(const PrintedSection& section, const PrintedQuestion& q) {
    return section.title.left(1) + QStringLiteral("、第 ") + QString::number(q.number) +
           QStringLiteral(" 题");
}

// One line per finding, naming the questions it is about. What stops the
// paper's page from being generated is an error; the rest are warnings.
void addFinding(QStringList& findings, bool error, const QString& text, const QStringList& places) {
    if (!places.isEmpty())
        findings << QStringLiteral("%1: %2 (%3).")
                        .arg(error ? QStringLiteral("错误") : QStringLiteral("警告"), text,
                             places.join(QStringLiteral(", ")));
}

QStringList checkFindings(const PrintedPaper& paper) {
    QStringList lines;
    const int sum = paper.markSum();
    if (!paper.fullMark)
        lines << QStringLiteral("错误: 试卷的满分\"%1\"不是整数, 请在试卷属性中改正.")
                     .arg(paper.fullMarkText);
    else if (sum > *paper.fullMark)
        lines << QStringLiteral("警告: 所有题目的分值之和 %1 分超过试卷预定的总分 %2 分.")
                     .arg(sum)
                     .arg(*paper.fullMark);
    else if (sum < *paper.fullMark)
        lines << QStringLiteral("警告: 所有题目的分值之和 %1 分小于试卷预定的总分 %2 分.")
                     .arg(sum)
                     .arg(*paper.fullMark);

    QStringList emptyText, blankText, fewChoices, manyRight, noRight, emptyChoice;
    for (const PrintedSection& section : paper.sections)
        for (const PrintedQuestion& q : section.questions) {
            const PageQuestion& c = q.content;
            const QString place = placeOf(section, q);
            if (c.html.isEmpty())
                emptyText << place;
            else if (c.html.trimmed().isEmpty())
                blankText << place;
            if (c.kind == QuestionKind::TrueFalse)
                continue;
            int right = 0;
            bool blank = false;
            for (const PageChoice& choice : c.choices) {
                right += choice.correct ? 1 : 0;
                blank = blank || choice.html.isEmpty();
            }
            if (c.choices.size() < 2)
                fewChoices << place;
            if (c.kind == QuestionKind::Single && right > 1)
                manyRight << place;
            if (right == 0)
                noRight << place;
            if (blank)
                emptyChoice << place;
        }
    addFinding(lines, true, QStringLiteral("题目内容为空"), emptyText);
    addFinding(lines, false, QStringLiteral("题目内容只有空白"), blankText);
    addFinding(lines, true, QStringLiteral("选择题的选项少于 2 个"), fewChoices);
    addFinding(lines, false, QStringLiteral("单选题有多个正确选项"), manyRight);
    addFinding(lines, true, QStringLiteral("选择题没有正确的选项"), noRight);
    addFinding(lines, true, QStringLiteral("选项内容为空"), emptyChoice);
    return lines;
}

} // namespace

int PrintedPaper::questionCount() const {
    int n = 0;
    for (const PrintedSection& s : sections)
        n += int(s.questions.size());
    return n;
}

int PrintedPaper::markSum() const {
    int sum = 0;
    for (const PrintedSection& s : sections)
        sum += s.marks;
    return sum;
}

QString choiceLetter(int index) {
    QString label;
    for (int n = index + 1; n > 0; n = (n - 1) / 26)
        label.prepend(QChar(u'A' + (n - 1) % 26));
    return label;
}

PrintedPaper readPrintedPaper(const Connection& connection, int papId) {
    PrintedPaper paper;
    paper.papId = papId;
    {
        Statement stmt(connection,
                       QStringLiteral("select PapNam, PapScr from paper where PapID = ?"),
                       QStringLiteral("[表 paper]"));
        stmt.bind(1, papId);
        if (!stmt.step())
            throw PrintError(
                QStringLiteral("试题库中没有标识为 %1 的试卷, 请重新选择要打印的试卷.").arg(papId));
        paper.name = stmt.text(0);
        paper.fullMarkText = stmt.text(1);
    }
    bool whole = false;
    const int full = paper.fullMarkText.trimmed().toInt(&whole);
    if (whole)
        paper.fullMark = full;

    const QList<PageQuestion> questions = readPageQuestions(connection, papId);
    if (questions.isEmpty())
        throw PrintError(QStringLiteral("试卷 \"%1\" 没有任何题目, 没有可打印的内容. "
                                        "请先在试卷中添加题目.")
                             .arg(paper.name));
    // The page's sections in its fixed order, numbered by those present.
    int numeral = 0;
    for (const auto& [kind, title] :
         {std::pair{QuestionKind::TrueFalse, u"判断题"}, std::pair{QuestionKind::Single, u"单选题"},
          std::pair{QuestionKind::Multiple, u"多选题"}}) {
        PrintedSection section;
        section.kind = kind;
        for (const PageQuestion& q : questions)
            if (q.kind == kind) {
                section.questions.append({int(section.questions.size()) + 1, q});
                section.marks += q.mark;
            }
        if (section.questions.isEmpty())
            continue;
        section.title = NumToChinese(++numeral) + QStringLiteral("、") + QString::fromUtf16(title);
        paper.sections.append(section);
    }
    paper.findings = checkFindings(paper);
    return paper;
}

} // namespace tess::print
