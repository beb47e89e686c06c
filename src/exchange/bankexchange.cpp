#include "exchange/bankexchange.h"

#include "generate/paperwriter.h"
#include "store/connection.h"
#include "store/query.h"
#include "store/recordnumbering.h"
#include "store/statement.h"
#include "store/tablecursor.h"

#include <algorithm>
#include <climits>

namespace tess::exchange {

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
    // The paper's questions and choices exactly as its page has them.
    QVector<Question> questions;
    for (const PageQuestion& read : readPageQuestions(connection, papId)) {
        Question& q = questions.emplace_back();
        q.kind = read.kind;
        q.mark = read.mark;
        q.html = read.html;
        q.answer = read.answer;
        for (const PageChoice& c : read.choices)
            q.choices.push_back({c.html, c.correct});
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

int copyPaper(Connection& connection, int papId) {
    Transaction transaction(connection);
    exchange::Paper paper = readPaper(connection, papId);
    paper.name += QStringLiteral("（副本）");
    QVariant fullMark;
    QString outputFile;
    {
        Statement stmt(connection,
                       QStringLiteral("select PapScr, PapSav from paper where PapID = ?"),
                       QStringLiteral("[表 paper]"));
        stmt.bind(1, papId);
        stmt.step();
        fullMark = stmt.value(0, ColumnKind::Integer);
        outputFile = stmt.text(1);
    }
    const int copy = addPapers(connection, {paper}, outputFile).constFirst();
    // The full mark as the teacher set it, also where it differs from the sum.
    Statement update(connection, QStringLiteral("update paper set PapScr = ? where PapID = ?"),
                     QStringLiteral("[表 paper]"));
    update.bind(1, fullMark);
    update.bind(2, copy);
    update.run();
    transaction.commit();
    return copy;
}

} // namespace tess::exchange
