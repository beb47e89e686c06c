// The main window's record numbering: the counters computed before every new
// record and what each cursor's new record receives.
#include "app/tmainform.h"
#include "store/recordnumbering.h"

#include <QAction>
#include <QComboBox>

void TMainForm::createNumbering() {
    using tess::CursorEvent;
    TPaper.setHandler(CursorEvent::BeforeInsert, [this] { TPaperBeforeInsert(); });
    TPaper.setHandler(CursorEvent::AfterInsert, [this] { TPaperAfterInsert(); });
    TQuestion.setHandler(CursorEvent::BeforeInsert, [this] { TQuestionBeforeInsert(); });
    TQuestion.setHandler(CursorEvent::AfterInsert, [this] { TQuestionAfterInsert(); });
    TChoice.setHandler(CursorEvent::BeforeInsert, [this] { TChoiceBeforeInsert(); });
    TChoice.setHandler(CursorEvent::AfterInsert, [this] { TChoiceAfterInsert(); });
}

void TMainForm::RefreshNextIDs() {
    const tess::NextIds next = tess::refreshNextIds(QMaxID, CmdTrim, CurPapID, CurQstID);
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
