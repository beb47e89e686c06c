#include "store/query.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/sqliteerror.h"
#include "store/statement.h"

#include <climits>
#include <sqlite3.h>

namespace tess {

QString sqlText(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

namespace {

QVariant columnValue(sqlite3_stmt* stmt, int i, bool boolean) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: {
        const qlonglong v = sqlite3_column_int64(stmt, i);
        return boolean ? QVariant(v != 0) : QVariant(v);
    }
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                 sqlite3_column_bytes(stmt, i));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                          sqlite3_column_bytes(stmt, i));
    default:
        return QVariant();
    }
}

} // namespace

Query::Query(Connection& connection) : m_connection(connection) {}

void Query::clearSql() {
    m_lines.clear();
}

void Query::addLine(const QString& line) {
    m_lines << line;
}

void Query::setSql(const QString& text) {
    m_lines = QStringList{text};
}

QString Query::sql() const {
    return m_lines.join(QStringLiteral("\r\n"));
}

void Query::open() {
    if (m_open)
        return;
    const QString text = sql();
    Statement stmt(m_connection, Connection::translate(text), statementForMessage(text));
    if (stmt.isEmpty())
        throw EngineError(QStringLiteral("查询语句是空的."));

    QStringList columns;
    QVector<bool> booleans;
    for (int i = 0; i < stmt.columnCount(); ++i) {
        columns << stmt.columnName(i);
        // A column taken straight from a boolean column keeps its True/False form.
        if (!stmt.get()) {
            booleans << stmt.isBoolean(i);
            continue;
        }
        const char* table = sqlite3_column_table_name(stmt.get(), i);
        const char* origin = sqlite3_column_origin_name(stmt.get(), i);
        booleans << (table && origin &&
                     m_connection.isBooleanColumn(QString::fromUtf8(table),
                                                  QString::fromUtf8(origin)));
    }
    QVector<QVector<QVariant>> rows;
    while (stmt.step()) {
        QVector<QVariant> row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row << (stmt.get()
                        ? columnValue(stmt.get(), i, booleans[i])
                        : stmt.value(i, booleans[i] ? ColumnKind::Boolean : ColumnKind::Other));
        rows << row;
    }
    m_columns = columns;
    m_rows = rows;
    m_pos = 0;
    m_open = true;
}

void Query::close() {
    m_open = false;
    m_columns.clear();
    m_rows.clear();
    m_pos = 0;
}

void Query::next() {
    if (m_pos < m_rows.size())
        ++m_pos;
}

int Query::columnIndex(const QString& column) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    throw EngineError(QStringLiteral("查询结果中没有列 %1.").arg(column));
}

QVariant Query::value(const QString& column) const {
    if (!m_open)
        throw EngineError(QStringLiteral("查询没有打开, 不能读取列 %1.").arg(column));
    const int index = columnIndex(column);
    if (m_pos >= m_rows.size())
        throw EngineError(QStringLiteral("查询结果没有当前记录, 不能读取列 %1.").arg(column));
    return m_rows[m_pos][index];
}

bool Query::isNull(const QString& column) const {
    return value(column).isNull();
}

int Query::asInteger(const QString& column) const {
    const QVariant v = value(column);
    if (v.isNull())
        return 0;
    bool ok = false;
    qlonglong n = 0;
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        ok = d >= -2147483648.0 && d <= 2147483647.0;
        n = static_cast<qlonglong>(d);
    } else if (v.typeId() == QMetaType::Bool) {
        n = v.toBool() ? 1 : 0;
        ok = true;
    } else {
        n = v.toString().trimmed().toLongLong(&ok);
    }
    if (!ok || n < INT_MIN || n > INT_MAX)
        throw EngineError(QStringLiteral("列 %1 的值 \"%2\" 不是整数.").arg(column, v.toString()));
    return static_cast<int>(n);
}

QString Query::asString(const QString& column) const {
    const QVariant v = value(column);
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

void Command::execute() {
    m_connection.execute(m_text);
}

} // namespace tess
