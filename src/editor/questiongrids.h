#pragma once

#include <QObject>

class QAction;
class QComboBox;
class QLabel;
class QWidget;

namespace tess {

class CursorTableModel;
class Frame;
class PaperBank;
class PaperNavigator;
class RecordGrid;
class RecordNavigator;

// The commands the grids carry out; the window keeps them in its menus.
struct GridCommands {
    QAction* addQuestion = nullptr;    // OnAddQustion
    QAction* delQuestion = nullptr;    // OnDelQuestion
    QAction* addChoice = nullptr;      // OnAddChoice
    QAction* delChoice = nullptr;      // OnDelChoice
    QAction* insertImage = nullptr;    // OnInsertImage
    QAction* insertImageChc = nullptr; // OnInsertImageChc
};

// The right-hand side of the window: the question grid over the question
// cursor and the choice grid over the choice cursor, with their status strips,
// in-cell lists and commands. The choice cursor follows the current question,
// the question grid the navigator's list. It builds itself into the question
// and choice panes it is given.
class QuestionGrids : public QObject {
    Q_OBJECT

public:
    QuestionGrids(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                  const GridCommands& commands, QWidget* questionPane, QWidget* choicePane);

    // Status texts, the data sources, the commands and the choice cursor's
    // filter after the question cursor opened, posted or moved.
    void RefreshQuestionView();
    // The choice side after the choice cursor opened or a choice was added or deleted.
    void RefreshChoiceView();

    CursorTableModel* DSQuestion = nullptr;
    CursorTableModel* DSChoice = nullptr;
    RecordGrid* DBGridQuestion = nullptr;
    RecordGrid* DBGridChoice = nullptr;
    QComboBox* CBEditor = nullptr;
    QComboBox* CBTruOrFalse = nullptr;
    QComboBox* CBTruOrFalse2 = nullptr;
    QLabel* LabelQuestion = nullptr;
    QLabel* LabelChoice = nullptr;
    RecordNavigator* DBNavigator1 = nullptr;
    RecordNavigator* DBNavigator2 = nullptr;

private:
    void createQuestionGrid(QWidget* pane);
    void createChoiceGrid(QWidget* pane);
    // The question side while the navigator lists papers or none.
    void PapersListed(bool any);
    void OnAddQustionExecute();
    void OnDelQuestionExecute();
    void OnAddChoiceExecute();
    void OnDelChoiceExecute();
    void TQuestionBeforeClose();
    void TQuestionAfterOpen();
    void TQuestionAfterPost();
    void TQuestionAfterScroll();
    void TChoiceAfterOpen();
    void TChoiceBeforeClose();
    void TChoiceAfterDelete();
    void TChoiceAfterScroll();
    void OnInsertImageUpdate();
    void OnInsertImageExecute();
    void OnInsertImageChcUpdate();
    void OnInsertImageChcExecute();
    // Brings a chosen picture into the pictures folder and appends its tag to
    // the text field of the grid's current record.
    void insertPicture(RecordGrid* grid, const QString& field);
    void tellSavedAfterLoss(RecordGrid* grid);

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    GridCommands m_commands;
};

} // namespace tess
