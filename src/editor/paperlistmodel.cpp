#include "editor/paperlistmodel.h"

#include <algorithm>

namespace tess {

void PaperEntries::reserve(int count) {
    m_ends.reserve(count);
    m_ids.reserve(count);
}

void PaperEntries::append(const PaperEntry& entry) {
    const QByteArray utf8 = entry.name.toUtf8();
    append(entry.papId,
           [&utf8](PackedArray<char>& names) { names.append(utf8.constData(), utf8.size()); });
}

void PaperEntries::removeAt(int row) {
    const qsizetype start = row > 0 ? m_ends[row - 1] : 0;
    const qsizetype length = m_ends[row] - start;
    m_names.remove(start, length);
    m_ends.remove(row);
    for (qsizetype i = row; i < m_ends.size(); ++i)
        m_ends[i] -= length;
    m_ids.remove(row);
}

QString PaperEntries::name(int row) const {
    const qsizetype start = row > 0 ? m_ends[row - 1] : 0;
    return QString::fromUtf8(m_names.data() + start, m_ends[row] - start);
}

PaperListModel::PaperListModel(QObject* parent) : QAbstractListModel(parent) {}

int PaperListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_entries.size();
}

QVariant PaperListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // a name too long for the pane can be read in full
        return m_entries.name(index.row());
    case PapIdRole:
        return m_entries.papId(index.row());
    default:
        return QVariant();
    }
}

Qt::ItemFlags PaperListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void PaperListModel::setEntries(PaperEntries entries) {
    beginResetModel();
    m_entries = std::move(entries);
    indexEntries();
    endResetModel();
}

void PaperListModel::setEntries(const QVector<PaperEntry>& entries) {
    PaperEntries packed;
    packed.reserve(int(entries.size()));
    for (const PaperEntry& entry : entries)
        packed.append(entry);
    setEntries(std::move(packed));
}

void PaperListModel::indexEntries() {
    const PackedArray<int>& ids = m_entries.ids();
    m_ascending = std::is_sorted(ids.begin(), ids.end());
    m_rowOfId.clear();
    if (m_ascending)
        return;
    m_rowOfId.reserve(ids.size());
    for (int row = int(ids.size()) - 1; row >= 0; --row)
        m_rowOfId.insert(ids[row], row);
}

void PaperListModel::appendEntry(const PaperEntry& entry) {
    const int row = m_entries.size();
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    if (m_ascending && row > 0 && m_entries.papId(row - 1) > entry.papId)
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
    setEntries(PaperEntries());
}

int PaperListModel::papIdAt(int row) const {
    return row >= 0 && row < m_entries.size() ? m_entries.papId(row) : -1;
}

int PaperListModel::rowOf(int papId) const {
    if (!m_ascending)
        return m_rowOfId.value(papId, -1);
    const PackedArray<int>& ids = m_entries.ids();
    const int* found = std::lower_bound(ids.begin(), ids.end(), papId);
    return found != ids.end() && *found == papId ? int(found - ids.begin()) : -1;
}

QVector<PaperEntry> PaperListModel::entries() const {
    QVector<PaperEntry> out;
    out.reserve(m_entries.size());
    for (int row = 0; row < m_entries.size(); ++row)
        out.push_back({m_entries.name(row), m_entries.papId(row)});
    return out;
}

} // namespace tess
