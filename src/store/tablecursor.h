#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace tess {

class Connection;
class Statement;
template <typename T> class PackedArray;

enum class CursorState { Inactive, Browse, Edit, Insert };

// Events with one handler each, as the windows' handlers are named after them
// (TPaperBeforeInsert, TQuestionAfterScroll, ...).
enum class CursorEvent {
    // The current record is about to be left or the rows read again: a move,
    // locate, new filter, refresh, insert, delete or close. A handler that
    // throws stops the operation before anything changed.
    BeforeLeave,
    AfterOpen,
    BeforeClose,
    BeforeInsert,
    AfterInsert,
    AfterPost,
    AfterScroll,
    AfterDelete
};

// What bound views are told, with the row it concerns (-1 where none does).
//   RowsReset     the set of rows changed as a whole (open, close, filter, refresh)
//   RowsChanged   the same rows were read again; any of their values may differ
//   RowInserted   a row was added at row
//   RowRemoving   the row at row is about to go (deleted, or a new record
//                 dropped); it is still there to be read
//   RowRemoved    the row at row went
//   DataChange    the current record (row) moved or one of its columns changed
//   StateChange   browse, edit or insert changed
//   UpdateRecord  the record is about to be posted or left: a view holding
//                 typed text not yet in the record puts it there now
//   Detached      the cursor is going away; the view must not touch it again
enum class ViewChange {
    RowsReset,
    RowsChanged,
    RowInserted,
    RowRemoving,
    RowRemoved,
    DataChange,
    StateChange,
    UpdateRecord,
    Detached
};
using ViewListener = std::function<void(ViewChange change, int row)>;

// A view's registration with a cursor. It ends when the link is destroyed or
// reset, and is harmless when the cursor has gone first, so views and cursors
// may die in either order.
class ViewLink {
public:
    ViewLink() = default;
    ~ViewLink() { reset(); }
    ViewLink(ViewLink&& other) noexcept;
    ViewLink& operator=(ViewLink&& other) noexcept;
    ViewLink(const ViewLink&) = delete;
    ViewLink& operator=(const ViewLink&) = delete;
    void reset();
    bool isLinked() const { return !m_views.expired(); }

private:
    friend class TableCursor;
    struct Views;
    ViewLink(const std::shared_ptr<Views>& views, int id) : m_views(views), m_id(id) {}
    std::weak_ptr<Views> m_views;
    int m_id = 0;
};

// The static table cursor: the rows of one table that pass its filter, read
// when it opens, in ascending identifier order. It sees its own changes at
// once and changes made by statements only after close/open or refresh().
class TableCursor {
public:
    TableCursor(Connection& connection, const QString& table);
    ~TableCursor();
    TableCursor(const TableCursor&) = delete;
    TableCursor& operator=(const TableCursor&) = delete;

    QString table() const { return m_table; }
    // Column whose ascending order the rows follow ("PapID", "QstID", "ChcID";
    // empty for users, which keep the order of insertion).
    QString identityColumn() const { return m_identity; }

    // "Column op value": op is =, < or <> (>, <= and >= are taken too); texts in
    // single quotes with inner quotes doubled, numbers bare; "" passes every row.
    // Names ignore case. A malformed filter throws EngineError and changes nothing.
    // On an open cursor a new filter re-reads the rows and moves to the first
    // one (AfterScroll); the same filter again changes nothing.
    void setFilter(const QString& filter);
    QString filter() const { return m_filter; }

    void open();
    void close();
    bool isOpen() const { return m_state != CursorState::Inactive; }
    // Re-reads the rows under the filter and stays on the same record where it still passes.
    void refresh();
    // Another program has committed changes to the bank since the rows were
    // read: they may no longer be the bank's. This connection's own changes
    // through other cursors or statements are not counted.
    bool rowsOutdated() const;

    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    int recNo() const { return m_row; } // 0-based, -1 without a current record
    void first();
    void next();
    void prior();
    void last();
    void moveTo(int row);
    // Moves to the first row whose column equals value, ignoring letter case.
    bool locate(const QString& column, const QString& value);

    CursorState state() const { return m_state; }
    bool isEditing() const {
        return m_state == CursorState::Edit || m_state == CursorState::Insert;
    }
    bool isModified() const { return m_modified; }
    void insert(); // BeforeInsert, new empty record made current, AfterInsert
    void edit();   // on an empty cursor this starts an insert
    // Throws EngineError; the record stays in its edit state then. A new record
    // whose identifier another program took meanwhile gets the next free one.
    void post();
    void cancel();
    void remove(); // deletes the current record

    QStringList columns() const { return m_columns; }
    bool hasColumn(const QString& column) const;

    // Fields of the current record (its edit buffer while editing or inserting).
    QVariant value(const QString& column) const;
    bool isNull(const QString& column) const;
    int asInteger(const QString& column) const;    // null reads as 0
    QString asString(const QString& column) const; // booleans as "True"/"False", null as ""
    bool asBoolean(const QString& column) const;
    void setValue(const QString& column, const QVariant& value);
    void setInteger(const QString& column, int value);
    // Text into any column: "" into an integer column is null; "True"/"False"
    // into a boolean column. What the column cannot hold is refused at post().
    void setString(const QString& column, const QString& text);
    void setBoolean(const QString& column, bool value);
    void setNull(const QString& column);

    // Rows for views, read without moving the cursor (the current row shows its edit buffer).
    QString textAt(int row, const QString& column) const;
    QVariant valueAt(int row, const QString& column) const;
    // The same by the column's place, for reading many rows (columnIndex
    // throws for an unknown column).
    int columnIndex(const QString& column) const;
    QVariant valueAt(int row, int columnIndex) const;
    QString textAt(int row, int columnIndex) const;
    // The same text as UTF-8 appended to out, without a string made for it
    // on the way: for filling a long list from the rows.
    void appendUtf8At(int row, int columnIndex, PackedArray<char>& out) const;

    // Order of what is told (views in brackets):
    //   open:   [StateChange, RowsReset] AfterOpen, AfterScroll (when not empty), [DataChange]
    //   close:  BeforeClose [StateChange, RowsReset]
    //   moves, locate, new filter: ([RowsReset] for a filter) AfterScroll [DataChange]
    //   insert: BeforeInsert [RowInserted, StateChange] AfterInsert, AfterScroll [DataChange]
    //   edit:   [StateChange]; setting a field: [DataChange]
    //   post:   [UpdateRecord, StateChange, DataChange] AfterPost
    //   cancel: [StateChange, DataChange]; of a new record
    //           [RowRemoving, RowRemoved, StateChange] AfterScroll [DataChange]
    //   remove: [RowRemoving, RowRemoved, StateChange] AfterDelete, AfterScroll [DataChange]
    // A move or an insert while editing first posts or drops the record
    // (checkBrowseMode). Handlers are told also while views are suspended.
    // An event may have several handlers (the bank's, the navigator's, the
    // grids'); they run in the order they were added.
    void addHandler(CursorEvent event, std::function<void()> handler);

    // Posts a changed record and drops an unchanged one's edit state, as any
    // move does; views are asked for their typed text first.
    void checkBrowseMode();

    // Bound views. Suspended views hear nothing until resumed; resuming sends
    // RowsReset and DataChange so they catch up.
    [[nodiscard]] ViewLink addView(ViewListener listener);
    void suspendViews();
    void resumeViews();
    bool viewsSuspended() const { return m_suspend > 0; }

private:
    struct Impl;
    void ensureColumns() const;
    int column(const QString& name) const; // index; throws for an unknown column
    void ensureActive() const;
    // A row's value; the current row's edit buffer while it is being edited.
    QVariant rowValue(int row, int index) const;
    void readRows();
    // The record's values as the bank holds them now, into values (left as
    // they are when it is not found).
    void readBack(qint64 rowid, QVector<QVariant>& values);
    // On a server an insert or update gives back the row it stored, sparing
    // the read-back's request: the clause that asks for it (empty on a file),
    // and the row taken from the stepped statement into stored.
    QString returningRow() const;
    void takeReturnedRow(const Statement& stmt, QVector<QVariant>& stored) const;
    void forgetStatements();
    // Inserts values; stored receives the row as the bank holds it, where the
    // insert gave it back.
    qint64 storeNew(const QVector<QVariant>& values, QVector<QVariant>& stored);
    void postRecord();
    void scrolled(); // AfterScroll, then DataChange to views
    void fire(CursorEvent event);
    void notify(ViewChange change, int row = -1);

    Connection& m_connection;
    QString m_table;
    QString m_identity;
    QString m_filter;
    QStringList m_columns;
    CursorState m_state = CursorState::Inactive;
    bool m_modified = false;
    bool m_eof = true;
    bool m_bof = true;
    int m_row = -1;
    int m_suspend = 0;
    qint64 m_readVersion = -1; // the bank's data version when the rows were read
    Impl* m_impl = nullptr;
    std::map<CursorEvent, std::vector<std::function<void()>>> m_handlers;
    std::shared_ptr<ViewLink::Views> m_views;
};

} // namespace tess
