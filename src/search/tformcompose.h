#pragma once

#include "exchange/compose.h"

#include <QDialog>
#include <QHash>
#include <QSet>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace tess {

class Frame;
class PaperBank;
class PaperNavigator;

// "从题库组卷": the teacher says how many questions of each type at what
// mark, and from which categories and papers; the window draws them at
// random, shows the draw to be redrawn in part or whole, and makes a new
// paper of it.
class TFormCompose : public QDialog {
    Q_OBJECT

public:
    TFormCompose(Frame& frame, PaperBank& bank, PaperNavigator& navigator, QWidget* parent);

    // Fills the category lists from the bank and the paper list by its filter;
    // what the teacher chose stays chosen.
    void RefreshSources();

    // At most this many papers are listed for one filter.
    static constexpr int kMostPapers = 200;

    QLineEdit* EditName = nullptr;
    QComboBox* CBPaperCategory = nullptr;
    QTableWidget* GridRows = nullptr; // type, count, mark of each request row
    QPushButton* BtnAddRow = nullptr;
    QPushButton* BtnRemoveRow = nullptr;
    QLabel* LabelTotal = nullptr;
    QListWidget* ListCategories = nullptr;
    QLineEdit* EditPaperFilter = nullptr;
    QListWidget* ListPapers = nullptr;
    QLabel* LabelPapers = nullptr;
    QCheckBox* CheckExclude = nullptr;
    QPushButton* BtnDraw = nullptr;
    QPushButton* BtnRedrawOne = nullptr;
    QPushButton* BtnRedrawAll = nullptr;
    QTableWidget* GridDrawn = nullptr;
    QLabel* LabelStatus = nullptr;
    QPushButton* BtnMake = nullptr;

    // A request row as the table shows it.
    void AddRow(const QString& type, int count, int mark);

private:
    void RemoveRow();
    void RequestChanged();
    void FillPapers();
    ComposeRequest Request() const;
    void Draw();
    void RedrawOne();
    void MakePaper();
    void ShowDraw();
    void ShowStatus(const QString& text, bool problem);

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    ComposeRequest m_request; // what the draw shown was drawn for
    ComposeDraw m_draw;
    QSet<int> m_chosenPapers; // ticked in the paper list, also while filtered out
};

} // namespace tess
