#include "store/recordnumbering.h"

#include "store/orphanwatch.h"
#include "store/query.h"
#include "store/tablecursor.h"

#include <climits>

namespace tess {

namespace {

// One max statement: its lines, its one row's "maxID" (null reads as 0) plus one.
int nextFrom(Query& maxId, const QStringList& lines) {
    maxId.close();
    maxId.clearSql();
    for (const QString& line : lines)
        maxId.addLine(line);
    maxId.open();
    const int max = maxId.asInteger(QStringLiteral("maxID"));
    return max == INT_MAX ? max : max + 1;
}

} // namespace

NextIds refreshNextIds(Query& maxId, Command& trim, int curPapId, int curQstId) {
    NextIds next;
    next.papId = nextFrom(maxId, {QStringLiteral("select max(PapID) as maxID from paper")});
    next.qstId = nextFrom(maxId, {QStringLiteral("select max(QstID) as maxID from question")});
    next.chcId = nextFrom(maxId, {QStringLiteral("select max(ChcID) as maxID from choice")});
    next.chcIdx =
        nextFrom(maxId, {QStringLiteral("select max(chcidx) as maxID from choice "),
                         QStringLiteral("where choice.qstidx = ") + QString::number(curQstId)});
    next.qstIdx = nextFrom(maxId, {QStringLiteral("select max(qstidx) as maxID from question"),
                                   QStringLiteral("where papidx = ") + QString::number(curPapId)});
    trimOrphans(trim);
    maxId.close();
    return next;
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
    question.setString(QStringLiteral("QstTyp"), QStringLiteral("判断题"));
    question.setInteger(QStringLiteral("QstIdx"), qstIdx);
}

void fillNewChoice(TableCursor& choice, int chcId, int qstId, int chcIdx) {
    choice.setInteger(QStringLiteral("ChcID"), chcId);
    choice.setInteger(QStringLiteral("QstIdx"), qstId);
    choice.setInteger(QStringLiteral("ChcIdx"), chcIdx);
}

} // namespace tess
