#include "bank/paperbank.h"

#include "store/orphanwatch.h"
#include "store/recordnumbering.h"

#include <QScopeGuard>

namespace tess {

namespace {

// The filters of the question and choice cursors until a paper is selected.
const QString kNoQuestions = QStringLiteral("QstIdx = 0");
const QString kNoChoices = QStringLiteral("Qstidx = 0");

// More owners than this recorded as gone, and the trim is announced.
constexpr qint64 kManyOrphanOwners = 1000;

} // namespace

PaperBank::PaperBank() {
    TQuestion.setFilter(kNoQuestions);
    TChoice.setFilter(kNoChoices);
    for (TableCursor* cursor : {&TPaper, &TQuestion, &TChoice})
        cursor->addHandler(CursorEvent::BeforeInsert, [this] { RefreshNextIDs(); });
    TPaper.addHandler(CursorEvent::AfterInsert, [this] { TPaperAfterInsert(); });
    TQuestion.addHandler(CursorEvent::AfterInsert, [this] { TQuestionAfterInsert(); });
    TChoice.addHandler(CursorEvent::AfterInsert, [this] { TChoiceAfterInsert(); });
}

void PaperBank::notice(const QString& text) const {
    if (onNotice)
        onNotice(text);
}

void PaperBank::open(const QString& path) {
    try {
        Conn.setDataSource(path);
        Conn.open();
        if (!Conn.upgradeProblem().isEmpty())
            notice(QStringLiteral("警告: 试题库没能升级到本程序的格式, 照常可以使用, 但每次添加"
                                  "记录时都要检查整个试题库. 排除下面的原因后重新登陆即可完成"
                                  "升级: ") +
                   Conn.upgradeProblem());
        TPaper.open();
        TQuestion.open();
        TChoice.open();
        RefreshNextIDs();
    } catch (...) {
        close();
        throw;
    }
}

void PaperBank::close() {
    for (TableCursor* cursor : {&TableUsers, &TChoice, &TQuestion, &TPaper})
        cursor->close();
    for (Query* query : {&QMaxID, &QPapCtg, &QComplier})
        query->close();
    Conn.close();
    TPaper.setFilter(QString());
    TQuestion.setFilter(kNoQuestions);
    TChoice.setFilter(kNoChoices);
    CurPapID = -1;
    CurQstID = -1;
    NextPapID = NextQstID = NextChcID = NextQstIdx = NextChcIdx = 0;
}

void PaperBank::RefreshNextIDs() {
    // Reading the whole bank, or removing the records of thousands of deleted
    // papers or questions, takes seconds on a district's bank: the teacher
    // sees why the window does not answer.
    const NextIds next = readNextIds(QMaxID, CurPapID, CurQstID);
    const TrimScope scope = next.trim.scope;
    const bool told = scope == TrimScope::Whole ||
                      (scope == TrimScope::Suspects && next.trim.owners > kManyOrphanOwners);
    const bool busy = (told || scope == TrimScope::Unwatched) && onBusy;
    if (busy)
        onBusy(true);
    const auto done = qScopeGuard([this, busy] {
        if (busy)
            onBusy(false);
    });
    if (told)
        notice(QStringLiteral("正在检查试题库, 清除没有试卷的题目和没有题目的选项. "
                              "试题库很大时需要几秒钟, 请稍候..."));
    trimOrphans(CmdTrim, scope);
    if (told)
        notice(QStringLiteral("试题库检查完毕."));
    NextPapID = next.papId;
    NextQstID = next.qstId;
    NextChcID = next.chcId;
    NextChcIdx = next.chcIdx;
    NextQstIdx = next.qstIdx;
}

void PaperBank::TPaperAfterInsert() {
    const QString shown = shownCategory ? shownCategory() : QString();
    fillNewPaper(TPaper, NextPapID, Defaults.fullMark, Defaults.name, Defaults.outputFile,
                 newPaperCategory(shown.isEmpty(), shown, Defaults.category));
}

void PaperBank::TQuestionAfterInsert() {
    fillNewQuestion(TQuestion, NextQstID, TPaper.asInteger(QStringLiteral("PapID")), NextQstIdx);
}

void PaperBank::TChoiceAfterInsert() {
    fillNewChoice(TChoice, NextChcID, TQuestion.asInteger(QStringLiteral("QstID")), NextChcIdx);
}

} // namespace tess
