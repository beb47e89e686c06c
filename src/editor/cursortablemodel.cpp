#include "editor/cursortablemodel.h"

namespace tess {

namespace {

// Texts longer than this show in full in a tooltip.
constexpr int kLongText = 40;

QString rowMark(CursorState state) {
    switch (state) {
    case CursorState::Edit:
        return QStringLiteral("✎");
    case CursorState::Insert:
        return QStringLiteral("✱");
    default:
        return QStringLiteral("▶");
    }
}

} // namespace

CursorTableModel::CursorTableModel(TableCursor& cursor, QVector<GridColumn> columns,
                                   QObject* parent)
    : QAbstractTableModel(parent), m_cursor(&cursor), m_columns(std::move(columns)) {
    m_rows = shownCount();
    m_link = cursor.addView([this](ViewChange change, int row) { cursorChanged(change, row); });
}

QString CursorTableModel::fieldOf(int column) const {
    return column >= 0 && column < m_columns.size() ? m_columns[column].field : QString();
}

int CursorTableModel::columnOf(const QString& field) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void CursorTableModel::guarded(const std::function<void()>& fn) const {
    if (m_guard)
        m_guard(fn);
    else
        fn();
}

void CursorTableModel::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    reset();
    Q_EMIT enabledChanged(enabled);
}

int CursorTableModel::shownCount() const {
    return m_enabled && m_cursor && m_cursor->isOpen() ? m_cursor->recordCount() : 0;
}

void CursorTableModel::reset(bool detach) {
    beginResetModel();
    if (detach)
        m_cursor = nullptr;
    m_rows = shownCount();
    endResetModel();
    announceCurrent();
}

int CursorTableModel::currentRow() const {
    if (!m_cursor || m_rows == 0)
        return -1;
    const int row = m_cursor->recNo();
    return row < m_rows ? row : -1;
}

void CursorTableModel::announceCurrent() {
    const int row = currentRow();
    if (row == m_announced)
        return;
    const int before = m_announced;
    m_announced = row;
    // The row mark moves with the current record.
    for (int r : {before, row})
        if (r >= 0 && r < m_rows)
            Q_EMIT headerDataChanged(Qt::Vertical, r, r);
    Q_EMIT currentRowChanged(row);
}

void CursorTableModel::cursorChanged(ViewChange change, int row) {
    switch (change) {
    case ViewChange::Detached:
        m_link.reset();
        reset(true);
        return;
    case ViewChange::UpdateRecord:
        Q_EMIT updateRecordRequested();
        return;
    case ViewChange::RowsReset:
        reset();
        return;
    default:
        break;
    }
    if (!m_enabled)
        return;
    switch (change) {
    case ViewChange::RowInserted:
        beginInsertRows(QModelIndex(), row, row);
        ++m_rows;
        endInsertRows();
        break;
    case ViewChange::RowsChanged:
        if (m_rows > 0)
            Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
        announceCurrent();
        break;
    case ViewChange::RowRemoving:
        m_removing = row >= 0 && row < m_rows;
        if (m_removing)
            beginRemoveRows(QModelIndex(), row, row);
        break;
    case ViewChange::RowRemoved:
        if (!m_removing)
            break;
        m_removing = false;
        --m_rows;
        // The mark is repainted wherever the current record lands.
        m_announced = -2;
        endRemoveRows();
        break;
    case ViewChange::DataChange:
        if (row >= 0 && row < m_rows)
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
        announceCurrent();
        break;
    case ViewChange::StateChange:
        if (row >= 0 && row < m_rows)
            Q_EMIT headerDataChanged(Qt::Vertical, row, row);
        Q_EMIT stateChanged();
        break;
    default:
        break;
    }
}

int CursorTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int CursorTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant CursorTableModel::data(const QModelIndex& index, int role) const {
    if (!m_cursor || !index.isValid() || index.row() >= m_rows ||
        index.column() >= m_columns.size())
        return QVariant();
    const QString& field = m_columns[index.column()].field;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_cursor->textAt(index.row(), field);
    case Qt::ToolTipRole: {
        const QString text = m_cursor->textAt(index.row(), field);
        if (text.size() > kLongText || text.contains(QLatin1Char('\n')))
            return text;
        return QVariant();
    }
    case Qt::TextAlignmentRole: {
        // Numbers to the right, as they are read.
        const QVariant value = m_cursor->valueAt(index.row(), field);
        const bool number =
            value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    default:
        return QVariant();
    }
}

QVariant CursorTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return QVariant();
        if (role == Qt::DisplayRole)
            return m_columns[section].title;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(m_columns[section].titleAlignment | Qt::AlignVCenter);
        return QVariant();
    }
    if (role == Qt::DisplayRole && m_cursor && section == currentRow())
        return rowMark(m_cursor->state());
    return QVariant();
}

Qt::ItemFlags CursorTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

bool CursorTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !m_cursor || !index.isValid() || index.row() != currentRow() ||
        index.column() >= m_columns.size())
        return false;
    bool stored = false;
    guarded([&] {
        m_cursor->edit();
        if (!m_cursor->isEditing())
            return;
        const QString field = m_columns[index.column()].field;
        const QString text = value.toString();
        // Typing the text a field already holds changes nothing.
        if (m_cursor->asString(field) != text)
            m_cursor->setString(field, text);
        stored = true;
    });
    return stored;
}

} // namespace tess
