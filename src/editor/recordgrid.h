#pragma once

#include <QTableView>
#include <QVector>
#include <functional>
#include <utility>

class QComboBox;
class QLineEdit;

namespace tess {

class CursorTableModel;
class TableCursor;

// An editable grid over a data source: one row per record of its cursor, the
// current row following the cursor's current record. Cells are edited in
// place; a column may instead have an in-cell list, a pick-only drop-down
// laid over the current cell while the grid holds the focus.
//
// The rules of the records' editing states:
//   entering a column with a list   the list shows the field's item and the
//                                   record is put into editing
//   leaving a column                an edited record is posted, the lists hidden
//   the grid gaining the focus      the list of the current column shows
//   the grid losing the focus       an edited record is posted
//   a list picked by the user       the record into editing, the item stored
//   a list losing the focus         (optionally the item stored again,) hidden
// Keys: Down moves to the next record and never appends one, posting a
// changed record first; Insert starts a record; Ctrl+Delete deletes the
// current record; Esc undoes the cell's typing, then the record's changes;
// Tab leaves the grid. The keys act only while the data source is enabled.
class RecordGrid : public QTableView {
    Q_OBJECT

public:
    // The grid's in-cell lists are children of pane, which holds the grid.
    RecordGrid(CursorTableModel& source, QWidget* pane);

    struct ListSetup {
        QString field;
        QStringList items;
        QString objectName;
        QString accessibleName;
        // Field text to the item shown, and item picked to the field text.
        std::function<QString(const QString&)> toItem;
        std::function<QString(const QString&)> toField;
        bool storeOnExit = false;
    };
    QComboBox* addList(const ListSetup& setup);

    CursorTableModel& source() const { return m_source; }
    // Asked before the Insert key starts a record; false keeps it from starting.
    void setBeforeInsert(std::function<bool()> check) { m_beforeInsert = std::move(check); }

    // Whether a row kept in the grid when the connection to a server bank was
    // lost is still waiting to be saved; asking forgets it. The grid's owner
    // asks once the row is posted (to tell the teacher it is saved now) and
    // when the rows are read again or dropped (the row is gone).
    bool takeKeptAfterLoss() { return std::exchange(m_keptAfterLoss, false); }
    // The column of the current cell; kept while the grid has no focus and
    // across re-reads of the rows. -1 before any cell was current.
    int currentColumn() const { return m_column; }
    bool holdsFocus() const { return m_hasFocus; }
    // Writes the text typed into an open cell editor into the record.
    void commitEditor();
    // As commitEditor, then closes the editor, so that a text changed from
    // outside the grid is not overwritten by what the editor still shows.
    void finishEditing();
    // Moves the lists over the current cell (the placement rule).
    void placeLists();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void paintEvent(QPaintEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    friend class GridCellDelegate;
    struct List {
        QComboBox* combo = nullptr;
        ListSetup setup;
        int column = -1;
    };

    // Runs fn through the data source's guard; false when it threw.
    bool run(const std::function<void()>& fn);
    TableCursor* activeCursor() const; // null unless open and the source enabled
    List* listAt(int column);
    void colEnter(int column);
    void colExit(int column);
    void gridEnter();
    void gridExit();
    void focusMoved(QWidget* old, QWidget* now);
    void listPicked(List& list);
    void listLeft(List& list);
    static void storeItem(const List& list, TableCursor& cursor); // the item into the field
    void showItemOf(List& list);
    void openList(List& list);
    void followCursor(int row);
    void setCurrentCell(int row, int column);
    void editorOpened(QLineEdit* editor);
    void editorTyped();
    bool editorKey(QKeyEvent* key); // true when the grid took the key
    bool contains(const QWidget* widget) const;

    CursorTableModel& m_source;
    QWidget* m_pane;
    QVector<List> m_lists;
    std::function<bool()> m_beforeInsert;
    QLineEdit* m_editor = nullptr;
    QComboBox* m_openedFromGrid = nullptr; // its pick returns the focus to the grid
    int m_column = -1;
    bool m_hasFocus = false;
    bool m_keptAfterLoss = false;
    bool m_following = false;
    int m_rowChanges = 0; // the model is inserting, removing or resetting rows
};

} // namespace tess
