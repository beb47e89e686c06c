#include "store/statement.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/sqliteerror.h"

#include <climits>
#include <sqlite3.h>

namespace tess {

ColumnKind columnKind(const QString& declaredType, bool boolean) {
    if (boolean)
        return ColumnKind::Boolean;
    const QString type = declaredType.toUpper();
    if (type.contains(QLatin1String("INT")))
        return ColumnKind::Integer;
    if (type.contains(QLatin1String("TEXT")) || type.contains(QLatin1String("CHAR")))
        return ColumnKind::Text;
    return ColumnKind::Other;
}

QVariant columnValue(sqlite3_stmt* stmt, int i, ColumnKind kind) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qlonglong v = sqlite3_column_int64(stmt, i);
        if (kind == ColumnKind::Boolean)
            return QVariant(v != 0);
        if (kind == ColumnKind::Text)
            return QString::number(v);
        if (v >= INT_MIN && v <= INT_MAX)
            return QVariant(int(v));
        return QVariant(v);
    }
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                 sqlite3_column_bytes(stmt, i));
    }
}

int integerValue(const QString& table, const QString& column, const QVariant& v) {
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    if (v.typeId() == QMetaType::Int)
        return v.toInt();
    bool ok = false;
    const qlonglong n = v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok)
                                                         : v.toLongLong(&ok);
    if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty())
        return 0;
    if (!ok || n < INT_MIN || n > INT_MAX)
        throw EngineError(
            QStringLiteral("表 %1 的列 %2 的值 \"%3\" 不是整数.").arg(table, column, v.toString()));
    return int(n);
}

QString textValue(const QVariant& value) {
    if (value.isNull())
        return QString();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return value.toString();
}

Statement::Statement(const Connection& connection, const QString& sql, const QString& where)
    : m_db(connection.handle()), m_where(where) {
    connection.ensureOpen();
    prepare(sql.toUtf8(), 0);
}

Statement::Statement(sqlite3* db, const QByteArray& sql, qsizetype offset, const QString& where)
    : m_db(db), m_where(where) {
    if (!db)
        throw EngineError(QStringLiteral("试题库没有打开."));
    prepare(sql, offset);
}

void Statement::prepare(const QByteArray& sql, qsizetype offset) {
    const char* start = sql.constData() + offset;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, start, int(sql.size() - offset), &m_stmt, &tail);
    if (rc != SQLITE_OK)
        throw sqliteError(m_db, rc, m_where);
    m_tail = tail ? tail - sql.constData() : sql.size();
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(m_stmt, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Short:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()),
                                   SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        throw sqliteError(m_db, rc, m_where);
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_failure = rc;
    throw sqliteError(m_db, rc, m_where);
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::runAll(sqlite3* db, const QByteArray& sql, const QString& where) {
    for (qsizetype offset = 0; offset < sql.size();) {
        Statement stmt(db, sql, offset, where);
        if (stmt.isEmpty()) // only blanks or a comment were left
            break;
        stmt.run();
        offset = stmt.tail();
    }
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    m_failure = SQLITE_OK;
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int i) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

bool Statement::isNull(int i) const {
    return sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

qint64 Statement::int64(int i) const {
    return sqlite3_column_int64(m_stmt, i);
}

bool Statement::isInteger(int i) const {
    return sqlite3_column_type(m_stmt, i) == SQLITE_INTEGER;
}

QString Statement::declaredType(int i) const {
    const char* declared = sqlite3_column_decltype(m_stmt, i);
    return QString::fromUtf8(declared ? declared : "");
}

QString Statement::text(int i) const {
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    return utf8 ? QString::fromUtf8(utf8, sqlite3_column_bytes(m_stmt, i)) : QString();
}

} // namespace tess
