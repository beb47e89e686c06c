#include "editor/recordgrid.h"

#include "editor/cursortablemodel.h"
#include "store/engineerror.h"
#include "store/tablecursor.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace tess {

// Cells shown on one line and edited in a frameless line editor; the first
// keystroke that changes the text puts the record into editing.
class GridCellDelegate : public QStyledItemDelegate {
public:
    explicit GridCellDelegate(RecordGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->setObjectName(QStringLiteral("CellEditor"));
        m_grid->editorOpened(editor);
        return editor;
    }

    QString displayText(const QVariant& value, const QLocale& locale) const override {
        if (value.typeId() != QMetaType::QString)
            return QStyledItemDelegate::displayText(value, locale);
        // A cell holds one line; every line break shows as one blank.
        QString text = value.toString();
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        return QStyledItemDelegate::displayText(text, locale);
    }

protected:
    // The editor's Down and Tab keys are the grid's, before Qt's own handling
    // would move into the next cell.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && m_grid->editorKey(static_cast<QKeyEvent*>(event)))
            return true;
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    RecordGrid* m_grid;
};

RecordGrid::RecordGrid(CursorTableModel& source, QWidget* pane)
    : QTableView(pane), m_source(source), m_pane(pane) {
    // While rows come and go the view moves its current index by itself; that
    // is no move of the teacher's and must not move the cursor. Held before
    // the view hears of the change, released after it has dealt with it.
    const auto hold = [this] { ++m_rowChanges; };
    // The view lets go of an open editor on these without closing it through
    // closeEditor; it must not be committed afterwards.
    const auto dropEditor = [this] { m_editor = nullptr; };
    connect(&source, &QAbstractItemModel::rowsAboutToBeRemoved, this, dropEditor);
    connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, dropEditor);
    const auto release = [this] { --m_rowChanges; };
    connect(&source, &QAbstractItemModel::rowsAboutToBeRemoved, this, hold);
    connect(&source, &QAbstractItemModel::rowsAboutToBeInserted, this, hold);
    connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, hold);
    setModel(&source);
    connect(&source, &QAbstractItemModel::rowsRemoved, this, release);
    connect(&source, &QAbstractItemModel::rowsInserted, this, release);
    connect(&source, &QAbstractItemModel::modelReset, this, release);
    setItemDelegate(new GridCellDelegate(this));
    // The pane lies on the grey work area; the headers keep the window colour.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    setPalette(colours);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // Not on a click of the current cell: typing right after it would be lost
    // while the view waits to tell a click from a double click.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false); // Tab leaves the grid
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setMinimumWidth(14);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setHighlightSections(false);
    const QVector<GridColumn>& columns = source.gridColumns();
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns[i].width);

    connect(&source, &CursorTableModel::currentRowChanged, this, &RecordGrid::followCursor);
    connect(&source, &QAbstractItemModel::modelReset, this,
            [this] { followCursor(m_source.currentRow()); });
    connect(&source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                const int row = m_source.currentRow();
                if (row >= topLeft.row() && row <= bottomRight.row())
                    for (List& list : m_lists)
                        if (list.combo->isVisible())
                            showItemOf(list);
            });
    connect(&source, &CursorTableModel::updateRecordRequested, this, &RecordGrid::commitEditor);

    connect(qApp, &QApplication::focusChanged, this, &RecordGrid::focusMoved);
}

QComboBox* RecordGrid::addList(const ListSetup& setup) {
    List list;
    list.setup = setup;
    list.column = m_source.columnOf(setup.field);
    list.combo = new QComboBox(m_pane);
    list.combo->setObjectName(setup.objectName);
    list.combo->setAccessibleName(setup.accessibleName);
    list.combo->setEditable(false); // pick only
    // A narrow arrow, so that a column's word fits beside it in the cell.
    list.combo->setStyleSheet(QStringLiteral(
        "QComboBox { padding: 0px 0px 0px 2px; } QComboBox::drop-down { width: 12px; }"));
    list.combo->addItems(setup.items);
    list.combo->setCurrentIndex(-1);
    list.combo->hide();
    list.combo->installEventFilter(this);
    QComboBox* combo = list.combo;
    m_lists.push_back(list);
    connect(combo, &QComboBox::activated, this, [this, combo] {
        for (List& l : m_lists)
            if (l.combo == combo)
                listPicked(l);
        // Opened from the grid by the keyboard: the keyboard goes back there.
        if (m_openedFromGrid == combo) {
            m_openedFromGrid = nullptr;
            setFocus(Qt::OtherFocusReason);
        }
    });
    return combo;
}

bool RecordGrid::run(const std::function<void()>& fn) {
    bool done = false;
    m_source.guarded([&] {
        try {
            fn();
        } catch (const EngineError& error) {
            // The typed row is kept as it was; the teacher must know it is
            // neither saved nor lost, and how to save it.
            const TableCursor* cursor = activeCursor();
            if (!error.connectionLost() || !cursor || !cursor->isEditing())
                throw;
            m_keptAfterLoss = true;
            throw EngineError(
                error.message() +
                QStringLiteral("\n刚才输入的内容还在表格中, 没有丢失. 等服务器恢复后, "
                               "移到另一行或离开表格, 就会再保存一次."))
                .markConnectionLost();
        }
        done = true;
    });
    return done;
}

TableCursor* RecordGrid::activeCursor() const {
    TableCursor* cursor = m_source.cursor();
    return m_source.isEnabled() && cursor && cursor->isOpen() ? cursor : nullptr;
}

RecordGrid::List* RecordGrid::listAt(int column) {
    for (List& list : m_lists)
        if (list.column == column && column >= 0)
            return &list;
    return nullptr;
}

bool RecordGrid::contains(const QWidget* widget) const {
    return widget && (widget == this || isAncestorOf(widget));
}

namespace {

// A menu or a list's drop-down: taking the keyboard there leaves nothing.
bool isPopup(const QWidget* widget) {
    return (widget->window()->windowFlags() & Qt::Popup) == Qt::Popup;
}

} // namespace

void RecordGrid::storeItem(const List& list, TableCursor& cursor) {
    const QString text = list.combo->currentText();
    cursor.setString(list.setup.field, list.setup.toField ? list.setup.toField(text) : text);
}

// --- editing states -----------------------------------------------------------

void RecordGrid::commitEditor() {
    if (m_editor)
        commitData(m_editor);
}

void RecordGrid::finishEditing() {
    QPointer<QLineEdit> editor = m_editor;
    commitEditor();
    if (editor)
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void RecordGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // Qt deletes a closed editor later; it must not be committed again.
    if (editor == m_editor)
        m_editor = nullptr;
    QTableView::closeEditor(editor, hint);
}

void RecordGrid::inputMethodEvent(QInputMethodEvent* event) {
    // Text from an input method starts editing the cell as a typed key does,
    // and goes into the new editor instead of being lost.
    const QModelIndex current = currentIndex();
    if (!m_editor && !event->commitString().isEmpty() && current.isValid() &&
        !listAt(current.column()) && QTableView::edit(current, AllEditTriggers, nullptr) &&
        m_editor) {
        m_editor->selectAll();
        QApplication::sendEvent(m_editor, event);
        return;
    }
    QTableView::inputMethodEvent(event);
}

void RecordGrid::editorOpened(QLineEdit* editor) {
    m_editor = editor;
    connect(editor, &QLineEdit::textEdited, this, &RecordGrid::editorTyped);
    connect(editor, &QObject::destroyed, this, [this, editor] {
        if (m_editor == editor)
            m_editor = nullptr;
    });
}

void RecordGrid::editorTyped() {
    TableCursor* cursor = activeCursor();
    if (cursor && !cursor->isEditing() && cursor->recordCount() > 0)
        run([cursor] { cursor->edit(); });
}

void RecordGrid::showItemOf(List& list) {
    const TableCursor* cursor = activeCursor();
    const int row = m_source.currentRow();
    const QString field = cursor && row >= 0 ? cursor->textAt(row, list.setup.field) : QString();
    const QString item = list.setup.toItem ? list.setup.toItem(field) : field;
    // No item when the field holds none of the list's texts.
    list.combo->setCurrentIndex(item.isEmpty() ? -1
                                               : int(list.combo->findText(item, Qt::MatchExactly)));
}

void RecordGrid::colEnter(int column) {
    List* list = listAt(column);
    if (!list)
        return;
    showItemOf(*list);
    placeLists();
    list->combo->show();
    TableCursor* cursor = activeCursor();
    if (cursor && cursor->recordCount() > 0)
        cursor->edit();
}

void RecordGrid::colExit(int) {
    TableCursor* cursor = activeCursor();
    if (cursor && cursor->isEditing())
        cursor->post();
    for (List& list : m_lists)
        list.combo->hide();
}

void RecordGrid::gridEnter() {
    const QModelIndex current = currentIndex();
    const int column = current.isValid() ? current.column() : m_column;
    placeLists();
    for (List& list : m_lists) {
        const bool here = list.column == column && m_source.rowCount() > 0;
        if (here)
            showItemOf(list);
        list.combo->setVisible(here);
    }
}

void RecordGrid::gridExit() {
    commitEditor();
    TableCursor* cursor = activeCursor();
    if (cursor && cursor->isEditing())
        cursor->post();
}

void RecordGrid::focusMoved(QWidget*, QWidget* now) {
    // A pop-up and another window taking the keyboard leave the grid's focus as it is.
    if (!now || isPopup(now))
        return;
    const bool inside = contains(now);
    if (inside && !m_hasFocus) {
        m_hasFocus = true;
        run([this] { gridEnter(); });
    } else if (!inside && m_hasFocus) {
        m_hasFocus = false;
        run([this] { gridExit(); });
    }
}

void RecordGrid::listPicked(List& list) {
    run([this, &list] {
        TableCursor* cursor = activeCursor();
        if (!cursor || cursor->recordCount() == 0)
            return;
        cursor->edit();
        if (cursor->isEditing())
            storeItem(list, *cursor);
    });
}

void RecordGrid::listLeft(List& list) {
    run([this, &list] {
        TableCursor* cursor = activeCursor();
        if (list.setup.storeOnExit && cursor && cursor->isEditing() &&
            list.combo->currentIndex() >= 0)
            storeItem(list, *cursor);
        // The list stands for the grid's cell: going on elsewhere leaves the
        // grid too, and what was picked is saved rather than left pending.
        const QWidget* now = QApplication::focusWidget();
        const bool elsewhere = now && !contains(now) && !isPopup(now);
        if (elsewhere && cursor && cursor->isEditing())
            cursor->post();
    });
    list.combo->hide();
}

void RecordGrid::openList(List& list) {
    if (!list.combo->isEnabled() || m_source.rowCount() == 0)
        return;
    showItemOf(list);
    placeLists();
    list.combo->show();
    m_openedFromGrid = list.combo;
    list.combo->setFocus(Qt::OtherFocusReason);
    list.combo->showPopup();
}

// --- the current cell follows the cursor, and the cursor the current cell ----

void RecordGrid::setCurrentCell(int row, int column) {
    const QScopedValueRollback<bool> following(m_following, true);
    if (row < 0 || m_source.rowCount() == 0) {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
        return;
    }
    const int col = std::clamp(column < 0 ? 0 : column, 0, m_source.columnCount() - 1);
    const QModelIndex index = m_source.index(row, col);
    if (currentIndex() != index)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void RecordGrid::followCursor(int row) {
    setCurrentCell(row, m_column);
    for (List& list : m_lists)
        if (list.combo->isVisible())
            showItemOf(list);
    viewport()->update();
}

void RecordGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous); // commits an open cell editor
    if (!current.isValid())
        return;
    const int oldColumn = m_column;
    if (m_following || m_rowChanges > 0) {
        m_column = current.column();
        return;
    }
    TableCursor* cursor = activeCursor();
    const bool columnChanged = current.column() != oldColumn;
    // A column left whose record cannot be posted keeps the user where they were.
    if (columnChanged && oldColumn >= 0 && !run([this, oldColumn] { colExit(oldColumn); })) {
        setCurrentCell(cursor ? cursor->recNo() : -1, oldColumn);
        return;
    }
    m_column = current.column();
    if (cursor && current.row() != cursor->recNo() &&
        !run([cursor, &current] { cursor->moveTo(current.row()); })) {
        setCurrentCell(cursor->recNo(), m_column);
        return;
    }
    if (columnChanged)
        run([this] { colEnter(m_column); });
}

// --- the in-cell lists ------------------------------------------------------------

void RecordGrid::placeLists() {
    const QModelIndex current = currentIndex();
    List* list = current.isValid() ? listAt(current.column()) : nullptr;
    if (!list)
        return;
    const QRect cell = visualRect(current);
    if (!viewport()->rect().intersects(cell)) {
        // Scrolled out of sight: the list must not stand over another row.
        list->combo->hide();
        return;
    }
    // The cell in the grid's client coordinates, the grid's place in the pane.
    const QPoint topLeft = viewport()->mapTo(m_pane, cell.topLeft());
    list->combo->setGeometry(topLeft.x() + 1, topLeft.y() + 1, cell.width() + 1, cell.height());
    if (m_hasFocus && !list->combo->isVisible())
        list->combo->show();
}

void RecordGrid::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    // A list left shown follows its cell also when the grid is scrolled
    // without the focus, so that it never stands over another row.
    bool shown = false;
    for (const List& list : m_lists)
        shown = shown || list.combo->isVisible();
    if (m_hasFocus || shown)
        placeLists();
}

bool RecordGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // A column with a list is edited through the list only: a double click
    // or Space opens it.
    if (List* list = listAt(index.column())) {
        if (trigger == DoubleClicked || trigger == EditKeyPressed ||
            (trigger == AnyKeyPressed && event && event->type() == QEvent::KeyPress &&
             static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space))
            openList(*list);
        return false;
    }
    return QTableView::edit(index, trigger, event);
}

// --- keys ---------------------------------------------------------------------------

void RecordGrid::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    TableCursor* active = activeCursor();
    if (key == Qt::Key_Down) {
        // Never appends: on the last record the cursor stays. A post that
        // fails is reported, so that what was typed is not thought saved.
        event->accept();
        commitEditor();
        if (active)
            run([active] { active->next(); });
        return;
    }
    if (key == Qt::Key_Insert && mods == Qt::NoModifier) {
        event->accept();
        if (active)
            run([this, active] {
                if (!m_beforeInsert || m_beforeInsert())
                    active->insert();
            });
        return;
    }
    if (key == Qt::Key_Delete && mods == Qt::ControlModifier) {
        event->accept();
        if (active && active->recordCount() > 0)
            run([active] { active->remove(); });
        return;
    }
    if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
        event->accept();
        if (active && active->isEditing())
            run([this, active] {
                active->cancel();
                m_keptAfterLoss = false;
            });
        return;
    }
    QTableView::keyPressEvent(event);
}

bool RecordGrid::editorKey(QKeyEvent* key) {
    if (key->key() == Qt::Key_Down) {
        keyPressEvent(key);
        return true;
    }
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        // Out of the grid, not into the next cell.
        finishEditing();
        focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
        return true;
    }
    return false;
}

bool RecordGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Opening its drop-down moves the focus into it; the list stays.
        for (List& list : m_lists)
            if (watched == list.combo && !list.combo->view()->isVisible() &&
                static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
                listLeft(list);
                break;
            }
    }
    return QTableView::eventFilter(watched, event);
}

} // namespace tess
