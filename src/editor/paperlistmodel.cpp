#include "editor/paperlistmodel.h"

#include <algorithm>

namespace tess {

PaperListModel::PaperListModel(QObject* parent) : QAbstractListModel(parent) {}

int PaperListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant PaperListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    const PaperEntry& entry = m_entries[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // a name too long for the pane can be read in full
        return entry.name;
    case PapIdRole:
        return entry.papId;
    default:
        return QVariant();
    }
}

Qt::ItemFlags PaperListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void PaperListModel::setEntries(QVector<PaperEntry> entries) {
    beginResetModel();
    m_entries = std::move(entries);
    indexEntries();
    endResetModel();
}

void PaperListModel::indexEntries() {
    m_ascending =
        std::is_sorted(m_entries.cbegin(), m_entries.cend(),
                       [](const PaperEntry& a, const PaperEntry& b) { return a.papId < b.papId; });
    m_rowOfId.clear();
    if (m_ascending)
        return;
    m_rowOfId.reserve(m_entries.size());
    for (int row = int(m_entries.size()) - 1; row >= 0; --row)
        m_rowOfId.insert(m_entries[row].papId, row);
}

void PaperListModel::appendEntry(const PaperEntry& entry) {
    const int row = int(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    if (m_ascending && row > 0 && m_entries[row - 1].papId > entry.papId)
        indexEntries();
    else if (!m_ascending)
        m_rowOfId.insert(entry.papId, row); // keeps an earlier entry carrying the same identifier
    endInsertRows();
}

void PaperListModel::removeEntry(int row) {
    if (row < 0 || row >= m_entries.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.removeAt(row);
    if (!m_ascending)
        indexEntries();
    endRemoveRows();
}

void PaperListModel::clear() {
    setEntries({});
}

int PaperListModel::papIdAt(int row) const {
    return row >= 0 && row < m_entries.size() ? m_entries[row].papId : -1;
}

int PaperListModel::rowOf(int papId) const {
    if (!m_ascending)
        return m_rowOfId.value(papId, -1);
    const auto found =
        std::lower_bound(m_entries.cbegin(), m_entries.cend(), papId,
                         [](const PaperEntry& entry, int id) { return entry.papId < id; });
    return found != m_entries.cend() && found->papId == papId ? int(found - m_entries.cbegin())
                                                              : -1;
}

} // namespace tess
