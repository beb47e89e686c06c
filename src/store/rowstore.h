#pragma once

#include "store/packedarray.h"

#include <QVariant>
#include <QVector>
#include <vector>

namespace tess {

enum class ColumnKind;
class Statement;

// The rows a table cursor holds, packed so that a bank of a hundred thousand
// papers costs a few blocks rather than a few allocations per value: each
// row's values are encoded one after another in one block, texts as their
// UTF-8 bytes, and decoded only when a value is read. A row whose values
// change is written again at the end of the block; the room it leaves behind
// is taken back once it makes up half of the block.
class RowStore {
public:
    int size() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    void clear();

    // Steps through the statement and appends its rows: column 0 is the
    // rowid, columns 1.. are read as kinds says (as columnValue reads them).
    // With leading given (on a server), a column comes before the rowid, read
    // into *leading from any row (0 when there is none), and a row whose
    // rowid is null is no row of the table (it only carried that column).
    void appendRows(Statement& stmt, const QVector<ColumnKind>& kinds, qint64* leading = nullptr);
    void append(qint64 rowid, const QVector<QVariant>& values);
    void removeAt(int row);

    qint64 rowid(int row) const { return m_rows[row].rowid; }
    void setRowid(int row, qint64 rowid) { m_rows[row].rowid = rowid; }
    QVariant value(int row, int column) const;
    QVector<QVariant> values(int row) const;
    void setValues(int row, const QVector<QVariant>& values);
    // A text value's UTF-8 bytes appended to out; false (nothing appended)
    // when the value is not a text.
    bool appendUtf8(int row, int column, PackedArray<char>& out) const;

    // Whether the column holds a 32-bit integer in every row, and that integer.
    bool allInt32(int column) const;
    int int32(int row, int column) const;
    // Puts the rows in ascending order of the column's 32-bit integers, rows
    // with equal values in rowid order, unless they already are.
    void sortByInt32(int column);

private:
    struct Row {
        qint64 rowid;
        qint64 offset; // where the row's values start in m_data
    };
    const char* at(int row, int column) const;
    qint64 encodedLength(qint64 offset) const;
    void encode(const QVector<QVariant>& values);
    void dropped(qint64 bytes);

    PackedArray<Row> m_rows;
    PackedArray<char> m_data;
    std::vector<QVariant> m_others; // values of types a bank does not hold
    int m_columns = 0;
    qint64 m_unused = 0; // bytes of m_data no row refers to any more
};

} // namespace tess
