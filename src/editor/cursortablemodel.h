#pragma once

#include "store/tablecursor.h"

#include <QAbstractTableModel>
#include <QVector>
#include <functional>

namespace tess {

// One column of a grid: the field it shows, its title, width and title alignment.
struct GridColumn {
    QString field;
    QString title;
    int width = 64;
    Qt::Alignment titleAlignment = Qt::AlignLeft;
};

// The data source of a grid: the rows of a table cursor as a table model.
// While disabled it shows no rows, and the grid and its navigator are inert.
// It follows the cursor row by row (a new, dropped or changed record is one
// row's signal), and resets only when the cursor's set of rows is replaced.
// The cursor may go away before the model: from then on the model is empty.
class CursorTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    CursorTableModel(TableCursor& cursor, QVector<GridColumn> columns, QObject* parent = nullptr);

    TableCursor* cursor() const { return m_cursor; }
    const QVector<GridColumn>& gridColumns() const { return m_columns; }
    QString fieldOf(int column) const;
    int columnOf(const QString& field) const; // -1 when no column shows it

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // Edits run through this, so that an error reaches the program's handler
    // instead of crossing the event loop.
    using Guard = std::function<void(const std::function<void()>&)>;
    void setGuard(Guard guard) { m_guard = std::move(guard); }
    void guarded(const std::function<void()>& fn) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Only the current record takes values: it is put into editing and the
    // text stored into the field; the engine judges it when the record is posted.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The row of the cursor's current record as shown; -1 when none shows.
    int currentRow() const;

Q_SIGNALS:
    void enabledChanged(bool enabled);
    // The cursor's current record moved (also after a reset).
    void currentRowChanged(int row);
    // Browse, edit or insert changed.
    void stateChanged();
    // The record is about to be posted or left: typed text goes into it now.
    void updateRecordRequested();

private:
    void cursorChanged(ViewChange change, int row);
    void reset(bool detach = false);
    int shownCount() const;
    void announceCurrent();

    TableCursor* m_cursor;
    QVector<GridColumn> m_columns;
    bool m_enabled = true;
    int m_rows = 0;
    int m_announced = -2;
    bool m_removing = false; // between RowRemoving and RowRemoved
    Guard m_guard;
    ViewLink m_link;
};

} // namespace tess
