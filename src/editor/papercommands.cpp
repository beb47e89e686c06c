// The navigator's paper commands: new paper, the properties dialog, and the
// deletions of papers and questions.
#include "editor/papernavigator.h"

#include "bank/paperbank.h"
#include "editor/teditor.h"
#include "frame/frame.h"
#include "settings/programfiles.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/pagestyle.h"

#include <QAction>
#include <QComboBox>
#include <QListView>
#include <QScopedValueRollback>

namespace tess {

void PaperNavigator::OnNewPaperExecute() {
    // The new paper is selected in the list: a name filter could hide it.
    ClearNameFilter();
    if (!m_bank.TPaper.isOpen())
        m_bank.TPaper.open();
    const bool listed = PaperListModel->rowCount() == m_bank.TPaper.recordCount() &&
                        (m_bank.TPaper.filter().isEmpty() || CBPaperClass->currentIndex() > 0);
    const int lastId = PaperListModel->papIdAt(PaperListModel->rowCount() - 1);
    {
        // The questions are read once, when the new paper is selected.
        const QScopedValueRollback<bool> hold(m_holdQuestions, true);
        m_bank.TPaper.insert();
        try {
            m_bank.TPaper.post();
        } catch (...) {
            // Nothing the user typed is in it: drop it rather than leave the
            // cursor stuck on a record that cannot be stored.
            m_bank.TPaper.cancel();
            throw;
        }
    }
    // The new paper by its own identifier: another program may have added one after it.
    const int newId = m_bank.TPaper.asInteger(QStringLiteral("PapID"));
    GiveDefaultStyle({newId});
    // While the list shows the cursor's rows and they are still the bank's,
    // the new paper joins both in place, at the end, as it has the largest
    // identifier. Otherwise the list is read again.
    Query newest(m_bank.Conn);
    newest.setSql(QStringLiteral("select max(PapID) as maxID from paper"));
    newest.open();
    if (listed && newId > lastId && !m_bank.TPaper.rowsOutdated() &&
        newest.asInteger(QStringLiteral("maxID")) == newId) {
        PaperListModel->appendEntry({m_bank.TPaper.asString(QStringLiteral("PapNam")), newId});
        EnablePaperCommands();
        // A paper taking the identifier of the one deleted last is selected
        // already: its questions (gone with the trim) are read again here.
        if (newId == m_bank.CurPapID) {
            m_bank.TQuestion.close();
            m_bank.TQuestion.open();
        }
        SelectPaperRow(PaperListModel->rowCount() - 1);
        return;
    }
    m_bank.TPaper.close();
    RefreshPaperList();
    SelectPaperRow(PaperListModel->rowOf(newId));
}

void PaperNavigator::GiveDefaultStyle(const QVector<int>& papIds) {
    if (m_bank.Defaults.pageStyle == PageStyle::Classic || papIds.isEmpty())
        return;
    try {
        if (!canKeepPaperStyle(m_bank.Conn))
            throw EngineError(QStringLiteral("试题库还没有升级到本程序的格式, 不能记录页面样式."));
        Transaction transaction(m_bank.Conn);
        for (const int papId : papIds)
            writePaperStyle(m_bank.Conn, papId, PaperStyle{m_bank.Defaults.pageStyle});
        transaction.commit();
    } catch (const EngineError& e) {
        m_frame.AddMessage(QStringLiteral("警告: 新试卷没能用上系统设置中的页面样式 \"%1\", "
                                          "仍按经典样式生成, 可以在试卷属性中再选. %2")
                               .arg(pageStyleName(m_bank.Defaults.pageStyle), e.message()));
    }
    ShowPaperInfo();
}

void PaperNavigator::OnEditPaperExecute() {
    // On an empty cursor this starts a new paper with its identifier and defaults.
    m_bank.TPaper.edit();
    TEditor editor(
        m_bank.TPaper, m_bank.QPapCtg, ProgramFiles::WorkFolder(),
        [this](const std::function<void()>& fn) { m_frame.Guarded(fn); }, m_frame.FrameWidget());
    // A new paper starts in the default style; one of a bank that cannot
    // keep styles is always classic.
    const bool isNew = m_bank.TPaper.state() == CursorState::Insert;
    const bool keepsStyle = canKeepPaperStyle(m_bank.Conn);
    const PaperStyle before =
        isNew ? PaperStyle{m_bank.Defaults.pageStyle}
              : readPaperStyle(m_bank.Conn, m_bank.TPaper.asInteger(QStringLiteral("PapID")));
    editor.setPaperStyle(keepsStyle ? before : PaperStyle{});
    if (!keepsStyle)
        editor.setStyleUnavailable(QStringLiteral(
            "试题库还没有升级到本程序的格式, 不能记录页面样式, 试卷按经典样式生成."));
    const bool ok = editor.exec() == QDialog::Accepted;
    if (ok && keepsStyle)
        writePaperStyle(m_bank.Conn, m_bank.TPaper.asInteger(QStringLiteral("PapID")),
                        editor.paperStyle());
    if (!ok)
        m_bank.TPaper.cancel();
    // After the close box too, when a "..." button has already stored the
    // record: the navigator shows what the bank now holds.
    if (!ok && !editor.posted())
        return;
    const int remembered = SelectedPaperRow();
    const int editedId = m_bank.TPaper.asInteger(QStringLiteral("PapID"));
    // A new category may take the paper out of the filtered list: read again.
    if (!m_bank.TPaper.filter().isEmpty())
        m_bank.TPaper.close();
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

void PaperNavigator::OnDelPaperExecute() {
    if (!m_bank.TPaper.isOpen() || m_bank.TPaper.isEmpty())
        return;
    if (!m_frame.AskYesNo(
            QStringLiteral("删除当前试卷操作一旦被执行将不可恢复，真的要删除当前试卷吗？")))
        return;
    const bool inPlace = !m_bank.TPaper.rowsOutdated() &&
                         PaperListModel->entryCount() == m_bank.TPaper.recordCount();
    const int row = PaperListModel->rowOf(m_bank.TPaper.asInteger(QStringLiteral("PapID")));
    {
        // The questions are read once, for the paper selected next.
        const QScopedValueRollback<bool> hold(m_holdQuestions, true);
        m_bank.TPaper.remove();
    }
    if (!inPlace || row < 0) {
        RefreshPaperList();
        SelectPaperRow(PaperListModel->rowCount() - 1);
        return;
    }
    // The list loses the entry as the cursor lost the row. Unselected first:
    // the selection moving on would select the paper after it on the way.
    SelectPaperRow(-1);
    PaperListModel->removeEntry(row);
    EnablePaperCommands();
    if (PaperListModel->rowCount() == 0) {
        // Nothing to select: the question cursor is read again as the list
        // refill would, under the deleted paper's filter.
        m_bank.TQuestion.close();
        m_bank.TQuestion.open();
        return;
    }
    SelectPaperRow(PaperListModel->rowCount() - 1);
}

void PaperNavigator::OnDelAllPaperExecute() {
    if (!m_bank.TPaper.isOpen() || m_bank.TPaper.isEmpty())
        return;
    if (!m_frame.AskYesNo(QStringLiteral("执行此操作，数据库中所有试卷和题目将被清空，且不能恢复!\n"
                                         "真的要删除所有试卷吗?")))
        return;
    {
        // All three or none. Choices first: no deleted paper or question then
        // leaves a record behind for the orphan watch to note.
        Transaction transaction(m_bank.Conn);
        for (const char* statement :
             {"delete * from choice", "delete * from question", "delete * from paper"}) {
            m_bank.CmdDelQsts.setText(QLatin1String(statement));
            m_bank.CmdDelQsts.execute();
        }
        transaction.commit();
    }
    // The paper cursor did not see these deletions: it reads the table again.
    m_bank.TPaper.close();
    RefreshPaperList();
}

void PaperNavigator::OnDelAllQuestionExecute() {
    if (!m_bank.TQuestion.isOpen())
        return;
    // Without a selected entry the paper would be one the list does not show.
    if (SelectedPaperRow() < 0)
        return;
    m_bank.TQuestion.close();
    m_bank.CmdDelQsts.setText(QStringLiteral("delete * from question where papidx =") +
                              QString::number(m_bank.CurPapID));
    try {
        m_bank.CmdDelQsts.execute();
    } catch (...) {
        m_bank.TQuestion.open(); // the grid keeps showing the paper's questions
        throw;
    }
    m_bank.TQuestion.open();
}

} // namespace tess
