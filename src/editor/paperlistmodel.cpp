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

namespace {

char lowerLatin(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

bool PaperEntries::nameContains(int row, const QByteArray& needle) const {
    const char* start = m_names.data() + (row > 0 ? m_ends[row - 1] : 0);
    const char* end = m_names.data() + m_ends[row];
    // Bytes of UTF-8 sequences are never ASCII letters: lowering them one by
    // one leaves every other character as it is.
    return std::search(start, end, needle.begin(), needle.end(),
                       [](char a, char b) { return lowerLatin(a) == b; }) != end;
}

PaperListModel::PaperListModel(QObject* parent) : QAbstractListModel(parent) {}

int PaperListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return filtered() ? int(m_shown.size()) : m_entries.size();
}

int PaperListModel::entryAt(int row) const {
    if (row < 0 || row >= rowCount())
        return -1;
    return filtered() ? m_shown[row] : row;
}

int PaperListModel::rowOfEntry(int entry) const {
    if (entry < 0 || !filtered())
        return entry;
    const auto found = std::lower_bound(m_shown.begin(), m_shown.end(), entry);
    return found != m_shown.end() && *found == entry ? int(found - m_shown.begin()) : -1;
}

void PaperListModel::setNameFilter(const QString& text) {
    if (text == m_filterText)
        return;
    QByteArray folded = text.toUtf8();
    std::transform(folded.begin(), folded.end(), folded.begin(), lowerLatin);
    // Typing on narrows what is shown already; anything else looks at every entry.
    const bool narrowing = filtered() && folded.contains(m_filter);
    beginResetModel();
    m_filterText = text;
    m_filter = folded;
    applyFilter(narrowing);
    endResetModel();
}

void PaperListModel::applyFilter(bool narrowing) {
    if (!filtered()) {
        m_shown.clear();
        return;
    }
    if (narrowing) {
        m_shown.removeIf([this](int entry) { return !m_entries.nameContains(entry, m_filter); });
        return;
    }
    m_shown.clear();
    for (int entry = 0; entry < m_entries.size(); ++entry)
        if (m_entries.nameContains(entry, m_filter))
            m_shown.append(entry);
}

QVariant PaperListModel::data(const QModelIndex& index, int role) const {
    const int entry = index.isValid() ? entryAt(index.row()) : -1;
    if (entry < 0)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // a name too long for the pane can be read in full
        return m_entries.name(entry);
    case PapIdRole:
        return m_entries.papId(entry);
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
    applyFilter(false);
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
    const int added = m_entries.size();
    m_entries.append(entry);
    if (m_ascending && added > 0 && m_entries.papId(added - 1) > entry.papId)
        indexEntries();
    else if (!m_ascending)
        m_rowOfId.insert(entry.papId, added); // keeps an earlier entry carrying the same identifier
    if (filtered() && !m_entries.nameContains(added, m_filter))
        return;
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    if (filtered())
        m_shown.append(added);
    endInsertRows();
}

void PaperListModel::removeEntry(int row) {
    const int entry = entryAt(row);
    if (entry < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.removeAt(entry);
    if (!m_ascending)
        indexEntries();
    if (filtered()) {
        m_shown.remove(row);
        for (qsizetype i = row; i < m_shown.size(); ++i)
            --m_shown[i];
    }
    endRemoveRows();
}

void PaperListModel::clear() {
    setEntries(PaperEntries());
}

int PaperListModel::papIdAt(int row) const {
    const int entry = entryAt(row);
    return entry >= 0 ? m_entries.papId(entry) : -1;
}

int PaperListModel::rowOf(int papId) const {
    if (!m_ascending)
        return rowOfEntry(m_rowOfId.value(papId, -1));
    const PackedArray<int>& ids = m_entries.ids();
    const int* found = std::lower_bound(ids.begin(), ids.end(), papId);
    return found != ids.end() && *found == papId ? rowOfEntry(int(found - ids.begin())) : -1;
}

QVector<PaperEntry> PaperListModel::entries() const {
    QVector<PaperEntry> out;
    out.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        out.push_back({m_entries.name(entryAt(row)), m_entries.papId(entryAt(row))});
    return out;
}

} // namespace tess
