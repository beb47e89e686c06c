#include "exchange/bankexchange.h"

#include "generate/paperwriter.h"
#include "store/bulkinsert.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/pagestyle.h"
#include "store/query.h"
#include "store/recordnumbering.h"
#include "store/statement.h"
#include "store/tablecursor.h"

#include <QHash>
#include <QSet>
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

namespace {

// A question as it is stored: its type word, mark, text and flag as they
// stand, and its choices in their order.
struct QuestionRows {
    QString type;
    QVariant mark;
    QString text;
    bool answer = false;
    QVector<Choice> choices;
};

// Cursors that hold no rows: records are only added through them.
struct AddingCursor : TableCursor {
    AddingCursor(Connection& connection, const QString& table, const QString& identity)
        : TableCursor(connection, table) {
        setFilter(identity + QStringLiteral(" < -2147483648"));
        open();
    }
};

// Adds the question to paper papId, its choices after it, numbered by numbers.
void addQuestion(TableCursor& questions, TableCursor& choices, RecordSequence& numbers, int papId,
                 const QuestionRows& q) {
    const RecordSequence::Numbered number = numbers.newQuestion();
    questions.insert();
    fillNewQuestion(questions, number.id, papId, number.number);
    questions.setString(QStringLiteral("QstTyp"), q.type);
    questions.setValue(QStringLiteral("QstScr"), q.mark);
    questions.setString(QStringLiteral("QstCon"), q.text);
    questions.setBoolean(QStringLiteral("IsTrue"), q.answer);
    questions.post();
    const int qstId = questions.asInteger(QStringLiteral("QstID"));
    for (const Choice& c : q.choices) {
        const RecordSequence::Numbered choice = numbers.newChoice();
        choices.insert();
        fillNewChoice(choices, choice.id, qstId, choice.number);
        choices.setBoolean(QStringLiteral("IsTrue"), c.correct);
        choices.setString(QStringLiteral("ChcCon"), c.html);
        choices.post();
    }
}

// Identifiers count up to the largest 32-bit value and then give it again
// (see RecordSequence). Refused before anything is written, as the cursors
// refuse it record by record: the last identifier is the largest and either
// given twice or held already. ids: those given for the table, in order.
template <typename Id>
void checkIdentifiers(Connection& connection, const QString& table, const QString& column,
                      const QVector<Id>& ids, int (*id)(const Id&)) {
    if (ids.isEmpty() || id(ids.last()) != INT_MAX)
        return;
    bool taken = ids.size() > 1 && id(ids[ids.size() - 2]) == INT_MAX;
    if (!taken) {
        Statement held(
            connection,
            QStringLiteral("select count(*) from %1 where %2 = 2147483647").arg(table, column),
            QStringLiteral("[表 %1]").arg(table));
        taken = held.step() && held.int64(0) > 0;
    }
    if (taken)
        throw EngineError(QStringLiteral("表 %1 的记录标识已经用完, 无法再添加记录.").arg(table));
}

} // namespace

QVector<int> addPapers(Connection& connection, const QVector<Paper>& papers,
                       const QString& outputFile) {
    Transaction transaction(connection);
    // Numbered once for the whole import, as a record-by-record numbering would.
    qint64 records = papers.size();
    for (const Paper& paper : papers)
        for (const Question& q : paper.questions)
            records += 1 + q.choices.size();
    QVector<int> added;
    QVector<RecordSequence::Numbered> questionNumbers;
    QVector<RecordSequence::Numbered> choiceNumbers;
    {
        Query maxId(connection);
        Command trim(connection);
        RecordSequence numbers(maxId, trim, records);
        for (const Paper& paper : papers) {
            added << numbers.newPaper();
            for (const Question& q : paper.questions) {
                questionNumbers << numbers.newQuestion();
                for (qsizetype c = 0; c < q.choices.size(); ++c)
                    choiceNumbers << numbers.newChoice();
            }
        }
    }
    checkIdentifiers<int>(connection, QStringLiteral("paper"), QStringLiteral("PapID"), added,
                          [](const int& id) { return id; });
    const auto numbered = [](const RecordSequence::Numbered& n) { return n.id; };
    checkIdentifiers<RecordSequence::Numbered>(connection, QStringLiteral("question"),
                                               QStringLiteral("QstID"), questionNumbers, numbered);
    checkIdentifiers<RecordSequence::Numbered>(connection, QStringLiteral("choice"),
                                               QStringLiteral("ChcID"), choiceNumbers, numbered);
    // Written a table at a time, each in one go: on a server one COPY a table
    // rather than a request, and a run of the bank's statement triggers, for
    // every record; in a file one prepared insert a table. Each record costs
    // the same however many come before it. The write lock taken above keeps
    // the identifiers free.
    {
        BulkInsert rows(connection, QStringLiteral("paper"),
                        {QStringLiteral("PapID"), QStringLiteral("PapNam"),
                         QStringLiteral("PapScr"), QStringLiteral("PapSav"),
                         QStringLiteral("PapCtg")});
        for (qsizetype p = 0; p < papers.size(); ++p) {
            qint64 fullMark = 0;
            for (const Question& q : papers[p].questions)
                fullMark += q.mark;
            rows.setValue(0, added[p]);
            rows.setValue(1, papers[p].name);
            rows.setValue(2, int(std::clamp<qint64>(fullMark, 0, INT_MAX)));
            rows.setValue(3, outputFile);
            rows.setValue(4, papers[p].category);
            rows.addRow();
        }
        rows.finish();
    }
    {
        BulkInsert rows(connection, QStringLiteral("question"),
                        {QStringLiteral("QstID"), QStringLiteral("PapIdx"),
                         QStringLiteral("QstIdx"), QStringLiteral("QstTyp"),
                         QStringLiteral("QstScr"), QStringLiteral("QstCon"),
                         QStringLiteral("IsTrue")});
        qsizetype k = 0;
        for (qsizetype p = 0; p < papers.size(); ++p)
            for (const Question& q : papers[p].questions) {
                const RecordSequence::Numbered number = questionNumbers[k++];
                rows.setValue(0, number.id);
                rows.setValue(1, added[p]);
                rows.setValue(2, number.number);
                rows.setValue(3, questionTypeWord(q.kind));
                rows.setValue(4, q.mark);
                rows.setValue(5, q.html);
                rows.setValue(6, q.answer);
                rows.addRow();
            }
        rows.finish();
    }
    {
        BulkInsert rows(connection, QStringLiteral("choice"),
                        {QStringLiteral("ChcID"), QStringLiteral("QstIdx"),
                         QStringLiteral("ChcIdx"), QStringLiteral("IsTrue"),
                         QStringLiteral("ChcCon")});
        qsizetype k = 0;
        qsizetype m = 0;
        for (const Paper& paper : papers)
            for (const Question& q : paper.questions) {
                const int qstId = questionNumbers[k++].id;
                for (const Choice& c : q.choices) {
                    const RecordSequence::Numbered number = choiceNumbers[m++];
                    rows.setValue(0, number.id);
                    rows.setValue(1, qstId);
                    rows.setValue(2, number.number);
                    rows.setValue(3, c.correct);
                    rows.setValue(4, c.html);
                    rows.addRow();
                }
            }
        rows.finish();
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
    // The copy is published as the original is.
    if (canKeepPaperStyle(connection)) {
        const PaperStyle style = readPaperStyle(connection, papId);
        if (!(style == PaperStyle{}))
            writePaperStyle(connection, copy, style);
    }
    transaction.commit();
    return copy;
}

namespace {

// Identifiers as a list for "in (...)": numbers only, never text.
QString idList(const QVector<int>& ids) {
    QStringList parts;
    for (const int id : ids)
        parts << QString::number(id);
    return parts.join(QLatin1Char(','));
}

} // namespace

int copyQuestionsTo(Connection& connection, const QVector<int>& qstIds, int papId, bool move,
                    const CopyProgress& progress) {
    Transaction transaction(connection);
    int lastNumber = 0;
    {
        Statement paper(connection,
                        QStringLiteral("select count(*), (select max(QstIdx) from question where "
                                       "PapIdx = ?1) from paper where PapID = ?1"),
                        QStringLiteral("[表 paper]"));
        paper.bind(1, papId);
        paper.step();
        if (paper.int64(0) == 0)
            throw ExchangeError(
                QStringLiteral("目标试卷已经不在试题库中了, 题目没有复制. 请重新选择试卷."));
        lastNumber = int(paper.int64(1));
    }
    // Read in parts of a thousand, within what one statement may carry.
    QHash<int, QuestionRows> stored;
    for (qsizetype from = 0; from < qstIds.size(); from += 1000) {
        Statement read(
            connection,
            QStringLiteral("select q.QstID, q.QstTyp, q.QstScr, q.QstCon, q.IsTrue, "
                           "c.ChcID, c.ChcCon, c.IsTrue from question q left join choice c on "
                           "c.QstIdx = q.QstID where q.QstID in (%1) order by q.QstID, "
                           "c.ChcIdx, c.ChcID")
                .arg(idList(qstIds.mid(from, 1000))),
            QStringLiteral("[表 question]"));
        while (read.step()) {
            const int id = int(read.int64(0));
            const bool first = !stored.contains(id);
            QuestionRows& q = stored[id];
            if (first) {
                q.type = read.text(1);
                q.mark = read.value(2, ColumnKind::Integer);
                q.text = read.text(3);
                q.answer = read.value(4, ColumnKind::Boolean).toBool();
            }
            if (!read.isNull(5))
                q.choices.push_back({read.text(6), read.value(7, ColumnKind::Boolean).toBool()});
        }
    }
    QVector<int> found;
    QSet<int> taken;
    qint64 records = 0;
    for (const int id : qstIds)
        if (stored.contains(id) && !taken.contains(id)) {
            taken.insert(id);
            found << id;
            records += 1 + stored[id].choices.size();
        }
    Query maxId(connection);
    Command trim(connection);
    AddingCursor questionCursor(connection, QStringLiteral("question"), QStringLiteral("QstID"));
    AddingCursor choiceCursor(connection, QStringLiteral("choice"), QStringLiteral("ChcID"));
    RecordSequence numbers(maxId, trim, records);
    numbers.continuePaper(lastNumber);
    qint64 done = 0;
    for (const int id : std::as_const(found)) {
        if (progress && done % 100 == 0 && !progress(done, found.size()))
            return -1;
        addQuestion(questionCursor, choiceCursor, numbers, papId, stored[id]);
        ++done;
    }
    if (progress && !progress(done, found.size()))
        return -1;
    if (move)
        for (qsizetype from = 0; from < found.size(); from += 1000) {
            const QString ids = idList(found.mid(from, 1000));
            connection.execute(QStringLiteral("delete from choice where QstIdx in (%1)").arg(ids));
            connection.execute(QStringLiteral("delete from question where QstID in (%1)").arg(ids));
        }
    transaction.commit();
    return int(found.size());
}

int addPaperOfQuestions(Connection& connection, const QString& name, const QString& category,
                        int fullMark, const QString& outputFile, const QVector<int>& qstIds) {
    Transaction transaction(connection);
    int papId = 0;
    {
        Query maxId(connection);
        Command trim(connection);
        AddingCursor paperCursor(connection, QStringLiteral("paper"), QStringLiteral("PapID"));
        RecordSequence numbers(maxId, trim, 1);
        paperCursor.insert();
        fillNewPaper(paperCursor, numbers.newPaper(), fullMark, name, outputFile, category);
        paperCursor.post();
        papId = paperCursor.asInteger(QStringLiteral("PapID"));
    }
    const int wanted = int(QSet<int>(qstIds.begin(), qstIds.end()).size());
    const int copied = copyQuestionsTo(connection, qstIds, papId, false);
    if (copied != wanted)
        throw ExchangeError(QStringLiteral("有 %1 道题已经不在试题库中了 (另一个程序刚删除了它们), "
                                           "试卷没有生成. 请重新抽题.")
                                .arg(wanted - copied));
    transaction.commit();
    return papId;
}

} // namespace tess::exchange
