#include "print/printedpaper.h"

#include "generate/pagepaths.h"
#include "generate/papercheck.h"
#include "store/connection.h"
#include "store/query.h"
#include "store/statement.h"

namespace tess::print {

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

PrintedPaper readPrintedPaper(Connection& connection, int papId) {
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
    for (const QuestionKind kind :
         {QuestionKind::TrueFalse, QuestionKind::Single, QuestionKind::Multiple}) {
        PrintedSection section;
        section.kind = kind;
        for (const PageQuestion& q : questions)
            if (q.kind == kind) {
                section.questions.append({int(section.questions.size()) + 1, q});
                section.marks += q.mark;
            }
        if (section.questions.isEmpty())
            continue;
        section.title = NumToChinese(++numeral) + QStringLiteral("、") + questionTypeWord(kind);
        paper.sections.append(section);
    }
    // The check that publishing runs, so that the key and the message area
    // never disagree about a paper.
    Query check(connection);
    checkPaper(check, papId, [&paper](const QString& line) { paper.findings << line; });
    return paper;
}

} // namespace tess::print
