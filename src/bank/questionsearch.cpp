#include "bank/questionsearch.h"

#include "bank/plaintext.h"
#include "store/statement.h"

namespace tess {

namespace {

QString foldLatin(const QString& text) {
    QString folded = text;
    for (QChar& c : folded)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return folded;
}

} // namespace

bool containsIgnoringLatinCase(const QString& text, const QString& needle) {
    return foldLatin(text).contains(foldLatin(needle));
}

QVector<QuestionHit> searchQuestions(const Connection& connection, const QuestionSearch& search) {
    // The engine picks the candidates; the text a reader sees decides. A
    // text with tags or character references is always a candidate: a word
    // may run across a tag, or be written as references.
    const QString marked = QStringLiteral("(instr(%1, '<') > 0 or instr(%1, '&') > 0 or "
                                          "instr(lower(%1), lower(?1)) > 0)");
    Statement stmt(
        connection,
        QStringLiteral(
            "select q.PapIdx, q.QstID, q.QstIdx, q.QstTyp, q.QstScr, q.QstCon, p.PapNam from "
            "question q join paper p on p.PapID = q.PapIdx where (?2 = '' or q.QstTyp "
            "= ?2) and (?3 = '' or p.PapCtg = ?3) and (?4 = '' or instr(lower(p.PapNam), "
            "lower(?4)) > 0) and (?5 < 0 or q.QstScr >= ?5) and (?6 < 0 or q.QstScr <= "
            "?6) and (?1 = '' or %1 or exists "
            "(select 1 from choice c where c.QstIdx = q.QstID and %2)) order by "
            "q.PapIdx, q.QstIdx, q.QstID")
            .arg(marked.arg(QStringLiteral("q.QstCon")), marked.arg(QStringLiteral("c.ChcCon"))),
        QStringLiteral("[搜索题目]"));
    stmt.bind(1, search.text);
    stmt.bind(2, search.type);
    stmt.bind(3, search.category);
    stmt.bind(4, search.paper);
    stmt.bind(5, search.markFrom);
    stmt.bind(6, search.markTo);
    Statement choices(connection,
                      QStringLiteral("select ChcCon from choice where QstIdx = ? order by ChcID"),
                      QStringLiteral("[表 choice]"));
    QVector<QuestionHit> hits;
    while (stmt.step()) {
        QuestionHit hit;
        hit.papId = int(stmt.int64(0));
        hit.qstId = int(stmt.int64(1));
        hit.number = int(stmt.int64(2));
        hit.type = stmt.text(3);
        hit.mark = int(stmt.int64(4));
        hit.text = plainTextOf(stmt.text(5));
        hit.paperName = stmt.text(6);
        bool found = search.text.isEmpty() || containsIgnoringLatinCase(hit.text, search.text);
        if (!found) {
            choices.reset();
            choices.bind(1, hit.qstId);
            while (!found && choices.step())
                found = containsIgnoringLatinCase(plainTextOf(choices.text(0)), search.text);
        }
        if (!found)
            continue;
        hits << hit;
        if (search.limit > 0 && hits.size() >= search.limit)
            break;
    }
    return hits;
}

} // namespace tess
