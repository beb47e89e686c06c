#pragma once

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

// The entries of the navigator's paper list. The list is refilled as a whole,
// so that a bank with a hundred thousand papers shows at once, and a paper
// added or deleted changes one entry.
class PaperListModel : public QAbstractListModel {
    Q_OBJECT

public:
    // The PapID an entry carries.
    static constexpr int PapIdRole = Qt::UserRole + 1;

    explicit PaperListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setEntries(QVector<PaperEntry> entries);
    void clear();
    // Adds an entry after the others and removes one, the others keeping their places.
    void appendEntry(const PaperEntry& entry);
    void removeEntry(int row);
    int papIdAt(int row) const; // -1 outside the list
    int rowOf(int papId) const; // -1 when no entry carries it; the first where several do
    const QVector<PaperEntry>& entries() const { return m_entries; }

private:
    void indexEntries();

    QVector<PaperEntry> m_entries;
    // Entries in ascending identifier order (as the paper cursor gives them)
    // are found by halving; otherwise through the index of rows.
    bool m_ascending = true;
    QHash<int, int> m_rowOfId; // PapID -> row, while the entries are not in order
};

} // namespace tess
