#include "store/recordnumbering.h"

#include "store/connection.h"
#include "store/orphanwatch.h"
#include "store/query.h"
#include "store/questionkind.h"
#include "store/tablecursor.h"

#include <climits>

namespace tess {

namespace {

int following(int value) {
    return value == INT_MAX ? value : value + 1;
}

// One max statement: its lines, its one row's "maxID" (null reads as 0) plus one.
int nextFrom(Query& maxId, const QStringList& lines) {
    maxId.close();
    maxId.clearSql();
    for (const QString& line : lines)
        maxId.addLine(line);
    maxId.open();
    return following(maxId.asInteger(QStringLiteral("maxID")));
}

const QString kMaxPapId = QStringLiteral("select max(PapID) as maxID from paper");
const QString kMaxQstId = QStringLiteral("select max(QstID) as maxID from question");
const QString kMaxChcId = QStringLiteral("select max(ChcID) as maxID from choice");

// On a server every request is a round trip over the network: the five
// maxima and the trim's state come in one statement.
NextIds readNextIdsFromServer(Query& maxId, int curPapId, int curQstId) {
    maxId.close();
    maxId.setSql(
        QStringLiteral(
            "select (select max(PapID) from paper) as PapID, (select max(QstID) from question) "
            "as QstID, (select max(ChcID) from choice) as ChcID, (select max(chcidx) from choice "
            "where choice.qstidx = %1) as ChcIdx, (select max(qstidx) from question where papidx "
            "= %2) as QstIdx, %3")
            .arg(curQstId)
            .arg(curPapId)
            .arg(serverTrimStateColumns(maxId.connection())));
    maxId.open();
    NextIds next;
    next.papId = following(maxId.asInteger(QStringLiteral("PapID")));
    next.qstId = following(maxId.asInteger(QStringLiteral("QstID")));
    next.chcId = following(maxId.asInteger(QStringLiteral("ChcID")));
    next.chcIdx = following(maxId.asInteger(QStringLiteral("ChcIdx")));
    next.qstIdx = following(maxId.asInteger(QStringLiteral("QstIdx")));
    next.trim = serverTrimState(maxId);
    maxId.close();
    return next;
}

} // namespace

NextIds readNextIds(Query& maxId, int curPapId, int curQstId) {
    if (maxId.connection().isServer())
        return readNextIdsFromServer(maxId, curPapId, curQstId);
    NextIds next;
    next.papId = nextFrom(maxId, {kMaxPapId});
    next.qstId = nextFrom(maxId, {kMaxQstId});
    next.chcId = nextFrom(maxId, {kMaxChcId});
    next.chcIdx =
        nextFrom(maxId, {QStringLiteral("select max(chcidx) as maxID from choice "),
                         QStringLiteral("where choice.qstidx = ") + QString::number(curQstId)});
    next.qstIdx = nextFrom(maxId, {QStringLiteral("select max(qstidx) as maxID from question"),
                                   QStringLiteral("where papidx = ") + QString::number(curPapId)});
    maxId.close();
    next.trim = trimState(maxId.connection());
    return next;
}

NextIds refreshNextIds(Query& maxId, Command& trim, int curPapId, int curQstId) {
    const NextIds next = readNextIds(maxId, curPapId, curQstId);
    trimOrphans(trim, next.trim.scope);
    return next;
}

RecordSequence::RecordSequence(Query& maxId, Command& trim, qint64 records) {
    if (records <= 0)
        return;
    m_papId = nextFrom(maxId, {kMaxPapId});
    trimOrphans(trim);
    m_qstId = nextFrom(maxId, {kMaxQstId});
    if (records > 1)
        trimOrphans(trim);
    m_chcId = nextFrom(maxId, {kMaxChcId});
    maxId.close();
}

int RecordSequence::newPaper() {
    const int id = m_papId;
    m_papId = following(id);
    m_qstIdx = 0;
    return id;
}

RecordSequence::Numbered RecordSequence::newQuestion() {
    const int id = m_qstId;
    m_qstId = following(id);
    m_qstIdx = following(m_qstIdx);
    m_chcIdx = 0;
    return {id, m_qstIdx};
}

RecordSequence::Numbered RecordSequence::newChoice() {
    const int id = m_chcId;
    m_chcId = following(id);
    m_chcIdx = following(m_chcIdx);
    return {id, m_chcIdx};
}

QString newPaperCategory(bool allPapersChosen, const QString& chosenCategory,
                         const QString& defaultCategory) {
    return allPapersChosen ? defaultCategory : chosenCategory;
}

void fillNewPaper(TableCursor& paper, int papId, int fullMark, const QString& name,
                  const QString& outputFile, const QString& category) {
    paper.setInteger(QStringLiteral("PapID"), papId);
    paper.setInteger(QStringLiteral("PapScr"), fullMark);
    paper.setString(QStringLiteral("PapNam"), name);
    paper.setString(QStringLiteral("PapSav"), outputFile);
    paper.setString(QStringLiteral("PapCtg"), category);
}

void fillNewQuestion(TableCursor& question, int qstId, int papId, int qstIdx) {
    question.setInteger(QStringLiteral("QstID"), qstId);
    question.setInteger(QStringLiteral("PapIdx"), papId);
    question.setString(QStringLiteral("QstTyp"), questionTypeWord(QuestionKind::TrueFalse));
    question.setInteger(QStringLiteral("QstIdx"), qstIdx);
}

void fillNewChoice(TableCursor& choice, int chcId, int qstId, int chcIdx) {
    choice.setInteger(QStringLiteral("ChcID"), chcId);
    choice.setInteger(QStringLiteral("QstIdx"), qstId);
    choice.setInteger(QStringLiteral("ChcIdx"), chcIdx);
}

} // namespace tess
