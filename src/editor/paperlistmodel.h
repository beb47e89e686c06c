#pragma once

#include "store/packedarray.h"

#include <QAbstractListModel>
#include <QHash>
#include <QString>
#include <QVector>

namespace tess {

// One entry of the paper list: the paper's name and the identifier it carries.
struct PaperEntry {
    QString name; // PapNam
    int papId = 0;
};

// Entries as the list keeps them: the names' UTF-8 one after another and the
// identifiers beside them, so that a bank of a hundred thousand papers fills
// the list with a few blocks rather than a string per paper; a name is
// decoded when it is shown.
class PaperEntries {
public:
    int size() const { return int(m_ids.size()); }
    void reserve(int count);
    void append(const PaperEntry& entry);
    // An entry whose name writeName appends, as UTF-8, to the block it is given.
    template <typename WriteName> void append(int papId, WriteName&& writeName) {
        writeName(m_names);
        m_ends.append(m_names.size());
        m_ids.append(papId);
    }
    void removeAt(int row);
    int papId(int row) const { return m_ids[row]; }
    QString name(int row) const;
    // Whether the name contains needle, UTF-8 with its Latin letters in lower
    // case; the name's Latin letters are compared without regard to case.
    bool nameContains(int row, const QByteArray& needle) const;
    const PackedArray<int>& ids() const { return m_ids; }

private:
    PackedArray<char> m_names;
    PackedArray<qsizetype> m_ends; // where each name ends in m_names
    PackedArray<int> m_ids;
};

// The entries of the navigator's paper list. The list is refilled as a whole,
// so that a bank with a hundred thousand papers shows at once, and a paper
// added or deleted changes one entry.
class PaperListModel : public QAbstractListModel {
    Q_OBJECT

public:
    // The PapID an entry carries.
    static constexpr int PapIdRole = Qt::UserRole + 1;

    explicit PaperListModel(QObject* parent = nullptr);

    // Shows only the entries whose names contain text (Latin letters without
    // regard to case); an empty text shows them all. The filter stays while
    // the entries are refilled or change. Rows are counted among the entries shown.
    void setNameFilter(const QString& text);
    QString nameFilter() const { return m_filterText; }
    // Every entry, shown or not.
    int entryCount() const { return m_entries.size(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setEntries(PaperEntries entries);
    void setEntries(const QVector<PaperEntry>& entries);
    void clear();
    // Adds an entry after the others and removes one, the others keeping their places.
    void appendEntry(const PaperEntry& entry);
    void removeEntry(int row);
    int papIdAt(int row) const; // -1 outside the list
    // -1 when no entry shown carries it; the first where several do
    int rowOf(int papId) const;
    // Every entry shown, each name decoded: for short lists and for looking at the list.
    QVector<PaperEntry> entries() const;

private:
    void indexEntries();
    // The entry a shown row stands for, and the row an entry is shown at (-1: hidden).
    int entryAt(int row) const;
    int rowOfEntry(int entry) const;
    bool filtered() const { return !m_filter.isEmpty(); }
    // Finds the entries to show: among all of them, or among those shown
    // already when the filter only grew longer.
    void applyFilter(bool narrowing);

    QString m_filterText;
    QByteArray m_filter;  // the filter as UTF-8, Latin letters in lower case
    QVector<int> m_shown; // while filtered: the entries shown, in order

    PaperEntries m_entries;
    // Entries in ascending identifier order (as the paper cursor gives them)
    // are found by halving; otherwise through the index of rows.
    bool m_ascending = true;
    QHash<int, int> m_rowOfId; // PapID -> row, while the entries are not in order
};

} // namespace tess
