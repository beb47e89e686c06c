#include "store/rowstore.h"

#include "store/statement.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <cstring>
#include <sqlite3.h>

namespace tess {

namespace {

// How a value is encoded: its tag, then for numbers their bytes, for a text
// its length (7 bits a byte, lowest first) and its UTF-8 bytes, for any other
// value its place among the store's other values.
enum Tag : char { Null, Int32, Int64, Double, Text, False, True, Other };

using Bytes = PackedArray<char>;

template <typename T> void put(Bytes& data, T value) {
    data.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T> T get(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

void putText(Bytes& data, const char* text, qsizetype bytes) {
    data.append(char(Text));
    quint64 length = quint64(bytes);
    do {
        const char low = char(length & 0x7f);
        length >>= 7;
        data.append(length ? char(low | 0x80) : low);
    } while (length);
    data.append(text, bytes);
}

// The text starting at p (after its tag): its bytes and where they start.
const char* textAt(const char* p, qsizetype* bytes) {
    quint64 length = 0;
    int shift = 0;
    for (;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        length |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            break;
    }
    *bytes = qsizetype(length);
    return p;
}

// Past the value starting at p.
const char* skip(const char* p) {
    switch (Tag(*p++)) {
    case Int32:
    case Other:
        return p + 4;
    case Int64:
    case Double:
        return p + 8;
    case Text: {
        qsizetype bytes = 0;
        const char* text = textAt(p, &bytes);
        return text + bytes;
    }
    case Null:
    case False:
    case True:
        break;
    }
    return p;
}

} // namespace

void RowStore::clear() {
    m_rows.reset();
    m_data.reset();
    m_others.clear();
    m_columns = 0;
    m_unused = 0;
}

void RowStore::appendRows(Statement& stmt, const QVector<ColumnKind>& kinds, qint64* leading) {
    if (m_rows.isEmpty())
        m_columns = int(kinds.size());
    sqlite3_stmt* s = stmt.get();
    if (!s) { // a server's rows come as texts; typed as the cursor reads them
        const int rowid = leading ? 1 : 0;
        if (leading)
            *leading = 0;
        QVector<QVariant> values(kinds.size());
        while (stmt.step()) {
            if (leading) {
                *leading = stmt.int64(0);
                if (stmt.isNull(rowid))
                    continue;
            }
            for (int i = 0; i < kinds.size(); ++i)
                values[i] = stmt.value(rowid + 1 + i, kinds[i]);
            append(stmt.int64(rowid), values);
        }
        return;
    }
    while (stmt.step()) {
        m_rows.append({sqlite3_column_int64(s, 0), m_data.size()});
        for (int i = 0; i < kinds.size(); ++i) {
            const int c = i + 1;
            switch (sqlite3_column_type(s, c)) {
            case SQLITE_NULL:
                m_data.append(char(Null));
                break;
            case SQLITE_INTEGER: {
                const qint64 v = sqlite3_column_int64(s, c);
                if (kinds[i] == ColumnKind::Boolean) {
                    m_data.append(char(v != 0 ? True : False));
                } else if (kinds[i] == ColumnKind::Text) {
                    const QByteArray digits = QByteArray::number(v);
                    putText(m_data, digits.constData(), digits.size());
                } else if (v >= INT_MIN && v <= INT_MAX) {
                    m_data.append(char(Int32));
                    put(m_data, qint32(v));
                } else {
                    m_data.append(char(Int64));
                    put(m_data, v);
                }
                break;
            }
            case SQLITE_FLOAT:
                m_data.append(char(Double));
                put(m_data, sqlite3_column_double(s, c));
                break;
            default: // texts, and blobs read as texts
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
                putText(m_data, text, sqlite3_column_bytes(s, c));
            }
        }
    }
}

void RowStore::encode(const QVector<QVariant>& values) {
    for (const QVariant& v : values) {
        if (!v.isValid()) {
            m_data.append(char(Null));
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::Bool:
            m_data.append(char(v.toBool() ? True : False));
            break;
        case QMetaType::Int:
            m_data.append(char(Int32));
            put(m_data, qint32(v.toInt()));
            break;
        case QMetaType::LongLong:
            m_data.append(char(Int64));
            put(m_data, qint64(v.toLongLong()));
            break;
        case QMetaType::Double:
            m_data.append(char(Double));
            put(m_data, v.toDouble());
            break;
        case QMetaType::QString: {
            const QByteArray utf8 = v.toString().toUtf8();
            putText(m_data, utf8.constData(), utf8.size());
            break;
        }
        default:
            m_data.append(char(Other));
            put(m_data, qint32(m_others.size()));
            m_others.push_back(v);
        }
    }
}

void RowStore::append(qint64 rowid, const QVector<QVariant>& values) {
    if (m_rows.isEmpty())
        m_columns = int(values.size());
    Q_ASSERT(values.size() == m_columns);
    m_rows.append({rowid, m_data.size()});
    encode(values);
}

void RowStore::setValues(int row, const QVector<QVariant>& values) {
    Q_ASSERT(values.size() == m_columns);
    const qint64 before = encodedLength(m_rows[row].offset);
    m_rows[row].offset = m_data.size();
    encode(values);
    dropped(before);
}

void RowStore::removeAt(int row) {
    const qint64 bytes = encodedLength(m_rows[row].offset);
    m_rows.remove(row);
    dropped(bytes);
}

qint64 RowStore::encodedLength(qint64 offset) const {
    const char* start = m_data.data() + offset;
    const char* p = start;
    for (int i = 0; i < m_columns; ++i)
        p = skip(p);
    return p - start;
}

void RowStore::dropped(qint64 bytes) {
    m_unused += bytes;
    if (m_unused < 65536 || m_unused * 2 < m_data.size())
        return;
    Bytes kept;
    kept.reserve(m_data.size() - m_unused);
    for (Row& row : m_rows) {
        const qint64 length = encodedLength(row.offset);
        const qint64 offset = kept.size();
        kept.append(m_data.data() + row.offset, length);
        row.offset = offset;
    }
    m_data = std::move(kept);
    m_unused = 0;
}

const char* RowStore::at(int row, int column) const {
    const char* p = m_data.data() + m_rows[row].offset;
    for (int i = 0; i < column; ++i)
        p = skip(p);
    return p;
}

QVariant RowStore::value(int row, int column) const {
    const char* p = at(row, column);
    switch (Tag(*p++)) {
    case Null:
        break;
    case Int32:
        return QVariant(int(get<qint32>(p)));
    case Int64:
        return QVariant(qlonglong(get<qint64>(p)));
    case Double:
        return QVariant(get<double>(p));
    case Text: {
        qsizetype bytes = 0;
        const char* text = textAt(p, &bytes);
        return QString::fromUtf8(text, bytes);
    }
    case False:
        return QVariant(false);
    case True:
        return QVariant(true);
    case Other:
        return m_others[size_t(get<qint32>(p))];
    }
    return QVariant();
}

QVector<QVariant> RowStore::values(int row) const {
    QVector<QVariant> out;
    out.reserve(m_columns);
    for (int i = 0; i < m_columns; ++i)
        out << value(row, i);
    return out;
}

bool RowStore::appendUtf8(int row, int column, Bytes& out) const {
    const char* p = at(row, column);
    if (Tag(*p) != Text)
        return false;
    qsizetype bytes = 0;
    const char* text = textAt(p + 1, &bytes);
    out.append(text, bytes);
    return true;
}

bool RowStore::allInt32(int column) const {
    for (int row = 0; row < size(); ++row)
        if (Tag(*at(row, column)) != Int32)
            return false;
    return true;
}

int RowStore::int32(int row, int column) const {
    const char* p = at(row, column);
    return Tag(*p) == Int32 ? get<qint32>(p + 1) : 0;
}

void RowStore::sortByInt32(int column) {
    auto key = [this, column](const Row& row) {
        const char* p = m_data.data() + row.offset;
        for (int i = 0; i < column; ++i)
            p = skip(p);
        return std::pair<qint32, qint64>(Tag(*p) == Int32 ? get<qint32>(p + 1) : 0, row.rowid);
    };
    auto before = [&key](const Row& a, const Row& b) { return key(a) < key(b); };
    if (!std::is_sorted(m_rows.begin(), m_rows.end(), before))
        std::sort(m_rows.begin(), m_rows.end(), before);
}

} // namespace tess
