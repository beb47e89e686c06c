// The main window's paper commands: new paper, the properties dialog, and
// the deletions of papers and questions.
#include "app/tmainform.h"
#include "editor/paperlistmodel.h"
#include "editor/teditor.h"

#include <QAction>
#include <QListView>

void TMainForm::createPaperCommands() {
    ConnectBankCommand(OnNewPaper, [this] { OnNewPaperExecute(); });
    ConnectBankCommand(OnEditPaper, [this] { OnEditPaperExecute(); });
    ConnectBankCommand(OnDelPaper, [this] { OnDelPaperExecute(); });
    ConnectBankCommand(OnDelAllPaper, [this] { OnDelAllPaperExecute(); });
    ConnectBankCommand(OnDelAllQuestion, [this] { OnDelAllQuestionExecute(); });
}

void TMainForm::OnNewPaperExecute() {
    if (!TPaper.isOpen())
        TPaper.open();
    TPaper.insert();
    try {
        TPaper.post();
    } catch (...) {
        // Nothing the user typed is in it: drop it rather than leave the
        // cursor stuck on a record that cannot be stored.
        TPaper.cancel();
        throw;
    }
    // The new paper by its own identifier: another program may have added one after it.
    const int newId = TPaper.asInteger(QStringLiteral("PapID"));
    TPaper.close();
    RefreshPaperList();
    SelectPaperRow(PaperListModel->rowOf(newId));
}

void TMainForm::OnEditPaperExecute() {
    // On an empty cursor this starts a new paper with its identifier and defaults.
    TPaper.edit();
    TEditor editor(
        TPaper, QPapCtg, ExeFolder(), [this](const std::function<void()>& fn) { Guarded(fn); },
        this);
    const bool ok = editor.exec() == QDialog::Accepted;
    if (!ok)
        TPaper.cancel();
    // After the close box too, when a "..." button has already stored the
    // record: the navigator shows what the bank now holds.
    if (!ok && !editor.posted())
        return;
    const int remembered = SelectedPaperRow();
    const int editedId = TPaper.asInteger(QStringLiteral("PapID"));
    RefreshPaperClasses();
    RefreshPaperList();
    if (remembered < 0) {
        SelectPaperRow(-1);
        return;
    }
    // The edited paper where the list still shows it; otherwise the entry at
    // the remembered place, or the last one when the list has become shorter.
    int row = PaperListModel->rowOf(editedId);
    if (row < 0)
        row = std::min(remembered, PaperListModel->rowCount() - 1);
    SelectPaperRow(row);
}

void TMainForm::OnDelPaperExecute() {
    if (!TPaper.isOpen() || TPaper.isEmpty())
        return;
    if (!AskYesNo(QStringLiteral("删除当前试卷操作一旦被执行将不可恢复，真的要删除当前试卷吗？")))
        return;
    TPaper.remove();
    RefreshPaperList();
    SelectPaperRow(PaperListModel->rowCount() - 1);
}

void TMainForm::OnDelAllPaperExecute() {
    if (!TPaper.isOpen() || TPaper.isEmpty())
        return;
    if (!AskYesNo(QStringLiteral("执行此操作，数据库中所有试卷和题目将被清空，且不能恢复!\n"
                                 "真的要删除所有试卷吗?")))
        return;
    for (const char* statement :
         {"delete * from paper", "delete * from question", "delete * from choice"}) {
        CmdDelQsts.setText(QLatin1String(statement));
        CmdDelQsts.execute();
    }
    RefreshPaperList();
}

void TMainForm::OnDelAllQuestionExecute() {
    if (!TQuestion.isOpen())
        return;
    // Without a selected entry the paper would be one the list does not show.
    if (SelectedPaperRow() < 0)
        return;
    TQuestion.close();
    CmdDelQsts.setText(QStringLiteral("delete * from question where papidx =") +
                       QString::number(CurPapID));
    try {
        CmdDelQsts.execute();
    } catch (...) {
        TQuestion.open(); // the grid keeps showing the paper's questions
        throw;
    }
    TQuestion.open();
}
