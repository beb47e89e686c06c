#pragma once

#include <QObject>

class QComboBox;
class QLabel;
class TMainForm;

namespace tess {

class CursorTableModel;
class RecordGrid;
class RecordNavigator;

// The right-hand side of the main window: the question grid over the question
// cursor and the choice grid over the choice cursor, with their status strips,
// in-cell lists and commands. The choice cursor follows the current question.
// Owned by the main window; it builds itself into the question and choice panes.
class QuestionGrids : public QObject {
    Q_OBJECT

public:
    explicit QuestionGrids(TMainForm& form);

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
    void createQuestionGrid();
    void createChoiceGrid();
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

    TMainForm& m_form;
};

} // namespace tess
