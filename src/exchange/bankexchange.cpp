#include "exchange/bankexchange.h"

#include "store/connection.h"
#include "store/query.h"
#include "store/recordnumbering.h"
#include "store/statement.h"
#include "store/tablecursor.h"

#include <QHash>
#include <algorithm>
#include <climits>

namespace tess::exchange {

namespace {

// A flag as the page reads it: "True" in any letter case, stored as 1 or as text.
bool flag(const Statement& stmt, int i) {
    return textValue(stmt.value(i, ColumnKind::Boolean))
               .compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

Paper readPaper(Connection& connection, int papId) {
    Paper paper;
    {
        Statement stmt(connection,
                       QStringLiteral("select PapNam, PapCtg from paper where PapID = ?"),
                       QStringLiteral("[表 paper]"));
        stmt.bind(1, papId);
        if (!stmt.step())
            throw ExchangeError(QStringLiteral("试题库中没有标识为 %1 的试卷.").arg(papId));
        paper.name = stmt.text(0);
        paper.category = stmt.text(1);
    }
    // One joined read, in the order the cursors give the rows.
    Statement stmt(connection,
                   QStringLiteral("select q.QstID, q.QstTyp, q.QstScr, q.QstCon, q.IsTrue, "
                                  "c.ChcID, c.ChcCon, c.IsTrue from question q left join choice "
                                  "c on c.QstIdx = q.QstID where q.PapIdx = ? "
                                  "order by q.QstID, q.rowid, c.ChcID, c.rowid"),
                   QStringLiteral("[表 question]"));
    stmt.bind(1, papId);
    QVector<Question> questions;
    qint64 last = 0;
    bool any = false;
    while (stmt.step()) {
        const qint64 qstId = stmt.int64(0);
        if (!any || qstId != last) {
            Question& q = questions.emplace_back();
            q.kind = questionKindOf(stmt.text(1));
            q.mark = integerValue(QStringLiteral("question"), QStringLiteral("QstScr"),
                                  stmt.value(2, ColumnKind::Integer));
            q.html = stmt.text(3);
            q.answer = flag(stmt, 4);
            last = qstId;
            any = true;
        }
        if (!stmt.isNull(5) && questions.last().kind != QuestionKind::TrueFalse)
            questions.last().choices.push_back({stmt.text(6), flag(stmt, 7)});
    }
    // The page's parts: true/false, single, multiple, each keeping its order.
    std::stable_sort(questions.begin(), questions.end(), [](const Question& a, const Question& b) {
        return int(a.kind) < int(b.kind);
    });
    paper.questions = questions;
    return paper;
}

QVector<int> addPapers(Connection& connection, const QVector<Paper>& papers,
                       const QString& outputFile) {
    Transaction transaction(connection);
    Query maxId(connection);
    Command trim(connection);
    TableCursor paperCursor(connection, QStringLiteral("paper"));
    TableCursor questionCursor(connection, QStringLiteral("question"));
    TableCursor choiceCursor(connection, QStringLiteral("choice"));
    // Cursors that hold no rows: records are only added through them.
    paperCursor.setFilter(QStringLiteral("PapID < -2147483648"));
    questionCursor.setFilter(QStringLiteral("QstID < -2147483648"));
    choiceCursor.setFilter(QStringLiteral("ChcID < -2147483648"));
    paperCursor.open();
    questionCursor.open();
    choiceCursor.open();
    // Numbered once for the whole import, as a record-by-record numbering would.
    qint64 records = papers.size();
    for (const Paper& paper : papers)
        for (const Question& q : paper.questions)
            records += 1 + q.choices.size();
    RecordSequence numbers(maxId, trim, records);
    QVector<int> added;
    for (const Paper& paper : papers) {
        qint64 fullMark = 0;
        for (const Question& q : paper.questions)
            fullMark += q.mark;
        paperCursor.insert();
        fillNewPaper(paperCursor, numbers.newPaper(), int(std::clamp<qint64>(fullMark, 0, INT_MAX)),
                     paper.name, outputFile, paper.category);
        paperCursor.post();
        const int papId = paperCursor.asInteger(QStringLiteral("PapID"));
        added << papId;
        for (const Question& q : paper.questions) {
            const RecordSequence::Numbered number = numbers.newQuestion();
            questionCursor.insert();
            fillNewQuestion(questionCursor, number.id, papId, number.number);
            questionCursor.setString(QStringLiteral("QstTyp"), questionTypeWord(q.kind));
            questionCursor.setInteger(QStringLiteral("QstScr"), q.mark);
            questionCursor.setString(QStringLiteral("QstCon"), q.html);
            questionCursor.setBoolean(QStringLiteral("IsTrue"), q.answer);
            questionCursor.post();
            const int qstId = questionCursor.asInteger(QStringLiteral("QstID"));
            for (const Choice& c : q.choices) {
                const RecordSequence::Numbered choice = numbers.newChoice();
                choiceCursor.insert();
                fillNewChoice(choiceCursor, choice.id, qstId, choice.number);
                choiceCursor.setBoolean(QStringLiteral("IsTrue"), c.correct);
                choiceCursor.setString(QStringLiteral("ChcCon"), c.html);
                choiceCursor.post();
            }
        }
    }
    transaction.commit();
    return added;
}

} // namespace tess::exchange
