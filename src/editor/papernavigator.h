#pragma once

#include "editor/paperlistmodel.h"
#include "store/tablecursor.h"

#include <QVector>
#include <QWidget>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;

namespace tess {

class Frame;
class PaperBank;

// The commands the navigator carries out; the window keeps them in its menus.
struct PaperCommands {
    QAction* newPaper = nullptr;       // OnNewPaper
    QAction* editPaper = nullptr;      // OnEditPaper
    QAction* delPaper = nullptr;       // OnDelPaper
    QAction* delAllPaper = nullptr;    // OnDelAllPaper
    QAction* delAllQuestion = nullptr; // OnDelAllQuestion
};

// The left pane: the category filter, the paper list and the information
// panel over the bank's paper cursor. The selected paper drives the question
// cursor. It carries out the paper commands, and catches the window up with
// what another program changed in the bank before a command acts.
class PaperNavigator : public QWidget {
    Q_OBJECT

public:
    PaperNavigator(Frame& frame, PaperBank& bank, const PaperCommands& commands,
                   QWidget* parent = nullptr);

    // --- the list ---
    void RefreshPaperList();
    void RefreshPaperClasses();
    void SelectPaper(const QString& papId);
    // Delete-paper, and the question side, while the list has entries.
    void EnablePaperCommands();
    // Empties the list, the categories and the panel after the bank closed.
    void Clear();

    // The selected entry: its caption as listed and the paper it carries.
    std::optional<PaperEntry> SelectedPaper() const;
    int SelectedPaperRow() const; // -1 without a selected entry
    void SelectPaperRow(int row); // -1 leaves no entry selected
    // The category chosen in the drop-down; empty while it shows all papers.
    QString ShownCategory() const;

    // --- another program on the same bank ---
    // When another program has changed the bank since the list was last
    // read, the list and the grids are read again, keeping the selected
    // paper, question and choice. Returns false, with a line in the message
    // area, when the selected paper or question has gone or changed
    // underneath: a command must then not act on it.
    bool CatchUp();
    // New papers (made here, composed or imported) take the page style the
    // settings give new papers. A bank that refuses it keeps them classic and
    // the message area says so.
    void GiveDefaultStyle(const QVector<int>& papIds);

    QComboBox* CBPaperClass = nullptr;
    // Narrows the list to the papers whose names contain its text.
    QLineEdit* EditPaperFilter = nullptr;
    QListView* ListView = nullptr;
    tess::PaperListModel* PaperListModel = nullptr;
    QLabel* DBText1 = nullptr;
    QLabel* DBText2 = nullptr;
    QLabel* DBText3 = nullptr;
    QLabel* DBText4 = nullptr; // the page style

Q_SIGNALS:
    // The teacher selected another paper; its questions are in the question cursor.
    void paperSelected(int papId);
    // The list has entries (any) or none: the question side follows.
    void papersListed(bool any);

private:
    void createPanel();
    void ListViewSelectItem(int row);
    void ListViewDblClick();
    void CBPaperClassChange();
    // The list shows the papers the filter's text leaves; the selected paper
    // stays selected where it is shown, else the first one shown is selected.
    void EditPaperFilterChange();
    void ClearNameFilter();
    void DSPaperDataChange();
    void DBTextMouseMove(QLabel* label);
    void TPaperBeforeClose();
    void TPaperAfterOpen();
    void ShowPaperInfo();
    // The style of a paper as the information panel shows it.
    QString styleText(int papId) const;

    // paper commands
    void OnNewPaperExecute();
    void OnEditPaperExecute();
    void OnDelPaperExecute();
    void OnDelAllPaperExecute();
    void OnDelAllQuestionExecute();

    Frame& m_frame;
    PaperBank& m_bank;
    PaperCommands m_commands;
    bool m_restoringSelection = false; // ListViewSelectItem going back after a failure
    // While set, the paper cursor's moves do not re-read the question cursor:
    // a new filter follows at once and reads it.
    bool m_holdQuestions = false;
    ViewLink m_paperView;
    qint64 m_seenVersion = -1; // the bank's data version the list last caught up with
};

} // namespace tess
