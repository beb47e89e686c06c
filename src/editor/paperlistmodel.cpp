#include "editor/paperlistmodel.h"

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
    m_rowOfId.clear();
    m_rowOfId.reserve(m_entries.size());
    for (int row = int(m_entries.size()) - 1; row >= 0; --row)
        m_rowOfId.insert(m_entries[row].papId, row);
    endResetModel();
}

void PaperListModel::appendEntry(const PaperEntry& entry) {
    const int row = int(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    m_rowOfId.insert(entry.papId, row); // keeps an earlier entry carrying the same identifier
    endInsertRows();
}

void PaperListModel::removeEntry(int row) {
    if (row < 0 || row >= m_entries.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    const int papId = m_entries[row].papId;
    m_entries.removeAt(row);
    // The entries after it move up by one.
    for (auto it = m_rowOfId.begin(); it != m_rowOfId.end(); ++it)
        if (it.value() > row)
            --it.value();
    if (m_rowOfId.value(papId, -1) == row) {
        m_rowOfId.remove(papId);
        for (int other = row; other < m_entries.size(); ++other)
            if (m_entries[other].papId == papId) {
                m_rowOfId.insert(papId, other);
                break;
            }
    }
    endRemoveRows();
}

void PaperListModel::clear() {
    setEntries({});
}

int PaperListModel::papIdAt(int row) const {
    return row >= 0 && row < m_entries.size() ? m_entries[row].papId : -1;
}

int PaperListModel::rowOf(int papId) const {
    return m_rowOfId.value(papId, -1);
}

} // namespace tess
