#pragma once

#include "bank/questionsearch.h"

#include <QDialog>
#include <QVector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tess {

class Frame;
class PaperBank;
class PaperNavigator;

// "题库检索": questions found across the whole bank by a text of theirs or
// their choices, a type and a category, and copied or moved to the end of
// the paper selected in the main window.
class TFormSearch : public QDialog {
    Q_OBJECT

public:
    TFormSearch(Frame& frame, PaperBank& bank, PaperNavigator& navigator, QWidget* parent);

    // Fills the category list from the bank; the window's filters stay.
    void RefreshCategories();
    // Runs the search with what the window's fields say.
    void Search();

    // At most this many questions are listed for one search.
    static constexpr int kMostListed = 1000;

    QLineEdit* EditText = nullptr;
    QComboBox* CBType = nullptr;
    QComboBox* CBCategory = nullptr;
    QLineEdit* EditPaper = nullptr;
    QSpinBox* SpinMarkFrom = nullptr; // its lowest value stands for no bound
    QSpinBox* SpinMarkTo = nullptr;
    QPushButton* BtnSearch = nullptr;
    QTableWidget* GridHits = nullptr;
    QLabel* LabelCount = nullptr;
    QPushButton* BtnCopy = nullptr;
    QPushButton* BtnMove = nullptr;

private:
    void TakeIntoPaper(bool move);
    QVector<int> SelectedQuestions() const;

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    QVector<QuestionHit> m_hits;
};

// The command that opens the search window (OnSearchBank); the window is made
// once and kept.
class SearchCommands : public QObject {
    Q_OBJECT

public:
    SearchCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator, QAction* searchBank,
                   QObject* parent);
    TFormSearch* window() const { return m_window; }

private:
    void OnSearchBankExecute();

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    TFormSearch* m_window = nullptr;
};

} // namespace tess
