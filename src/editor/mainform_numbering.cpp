// The main window's record numbering: the counters computed before every new
// record and what each cursor's new record receives.
#include "app/tmainform.h"
#include "app/waitcursor.h"
#include "store/orphanwatch.h"
#include "store/recordnumbering.h"

#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <optional>

void TMainForm::createNumbering() {
    using tess::CursorEvent;
    TPaper.setHandler(CursorEvent::BeforeInsert, [this] { TPaperBeforeInsert(); });
    TPaper.setHandler(CursorEvent::AfterInsert, [this] { TPaperAfterInsert(); });
    TQuestion.setHandler(CursorEvent::BeforeInsert, [this] { TQuestionBeforeInsert(); });
    TQuestion.setHandler(CursorEvent::AfterInsert, [this] { TQuestionAfterInsert(); });
    TChoice.setHandler(CursorEvent::BeforeInsert, [this] { TChoiceBeforeInsert(); });
    TChoice.setHandler(CursorEvent::AfterInsert, [this] { TChoiceAfterInsert(); });
}

namespace {

// More owners than this recorded as gone, and the trim is announced.
constexpr qint64 kManyOrphanOwners = 1000;

} // namespace

void TMainForm::RefreshNextIDs() {
    // Reading the whole bank, or removing the records of thousands of deleted
    // papers or questions, takes seconds on a district's bank: the teacher
    // sees why the window does not answer.
    const tess::TrimScope scope = tess::trimScope(Conn);
    const bool told =
        scope == tess::TrimScope::Whole ||
        (scope == tess::TrimScope::Suspects && tess::recordedOwners(Conn) > kManyOrphanOwners);
    std::optional<tess::WaitCursor> wait;
    if (told || scope == tess::TrimScope::Unwatched)
        wait.emplace();
    if (told) {
        AddMessage(QStringLiteral("正在检查试题库, 清除没有试卷的题目和没有题目的选项. "
                                  "试题库很大时需要几秒钟, 请稍候..."));
        MessageArea->repaint();
    }
    const tess::NextIds next = tess::refreshNextIds(QMaxID, CmdTrim, CurPapID, CurQstID);
    if (told)
        AddMessage(QStringLiteral("试题库检查完毕."));
    NextPapID = next.papId;
    NextQstID = next.qstId;
    NextChcID = next.chcId;
    NextChcIdx = next.chcIdx;
    NextQstIdx = next.qstIdx;
}

void TMainForm::TPaperBeforeInsert() {
    RefreshNextIDs();
}

void TMainForm::TQuestionBeforeInsert() {
    RefreshNextIDs();
}

void TMainForm::TChoiceBeforeInsert() {
    RefreshNextIDs();
}

void TMainForm::TPaperAfterInsert() {
    // Before the categories are first filled nothing is chosen: all papers.
    const bool allPapers = !CBPaperClass || CBPaperClass->currentIndex() <= 0;
    tess::fillNewPaper(
        TPaper, NextPapID, Defaults.fullMark, Defaults.name, Defaults.outputFile,
        tess::newPaperCategory(allPapers, CBPaperClass ? CBPaperClass->currentText() : QString(),
                               Defaults.category));
}

void TMainForm::TQuestionAfterInsert() {
    tess::fillNewQuestion(TQuestion, NextQstID, TPaper.asInteger(QStringLiteral("PapID")),
                          NextQstIdx);
}

void TMainForm::TChoiceAfterInsert() {
    tess::fillNewChoice(TChoice, NextChcID, TQuestion.asInteger(QStringLiteral("QstID")),
                        NextChcIdx);
    OnDelChoice->setEnabled(true);
}
