#include "store/bulkinsert.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/servererror.h"
#include "store/statement.h"

#include <libpq-fe.h>
#include <optional>

namespace tess {

namespace {

// COPY's text form of a value, as Statement::bind would send it: null as \N,
// and the characters that end a value or a row escaped.
void appendCopyValue(QByteArray& out, const QVariant& value) {
    if (value.isNull()) {
        out += "\\N";
        return;
    }
    QByteArray text;
    switch (value.typeId()) {
    case QMetaType::Bool:
        text = value.toBool() ? "1" : "0";
        break;
    case QMetaType::Double:
        text = QByteArray::number(value.toDouble(), 'g', 17);
        break;
    default:
        text = value.toString().toUtf8();
    }
    for (const char c : std::as_const(text)) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

// Sent to the server in pieces of about this size.
constexpr qsizetype kCopyChunk = 1 << 20;
// Rows of one COPY statement: the statement timeout bounds each statement,
// and a whole district's choices in one would outlast it.
constexpr qint64 kRowsPerCopy = 50000;

} // namespace

BulkInsert::BulkInsert(Connection& connection, const QString& table, const QStringList& columns)
    : m_connection(connection), m_where(table), m_columns(int(columns.size())) {
    connection.ensureOpen();
    if (!connection.isServer()) {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        m_insert =
            std::make_unique<Statement>(connection,
                                        QStringLiteral("insert into %1 (%2) values (%3)")
                                            .arg(table, columns.join(u','), marks.join(u',')),
                                        table);
        return;
    }
    m_copySql = QStringLiteral("copy %1 (%2) from stdin").arg(table, columns.join(u',')).toUtf8();
    m_row.resize(m_columns);
    m_buffer.reserve(kCopyChunk + 4096);
    startCopy();
}

void BulkInsert::startCopy() {
    PGconn* conn = m_connection.serverHandle();
    countServerRoundTrip();
    PGresult* result = PQexec(conn, m_copySql.constData());
    if (PQresultStatus(result) != PGRES_COPY_IN) {
        EngineError error = serverError(conn, result, m_where);
        PQclear(result);
        throw error;
    }
    PQclear(result);
    m_copying = true;
    m_rowsInCopy = 0;
}

BulkInsert::~BulkInsert() {
    if (m_copying)
        abandon();
}

void BulkInsert::setValue(int i, const QVariant& value) {
    if (m_insert)
        m_insert->bind(i + 1, value);
    else
        m_row[i] = value;
}

void BulkInsert::addRow() {
    if (m_insert) {
        m_insert->run();
        m_insert->reset();
        for (int i = 0; i < m_columns; ++i)
            m_insert->bind(i + 1, QVariant());
        return;
    }
    for (int i = 0; i < m_columns; ++i) {
        if (i > 0)
            m_buffer += '\t';
        appendCopyValue(m_buffer, m_row.at(i));
        m_row[i] = QVariant();
    }
    m_buffer += '\n';
    if (++m_rowsInCopy >= kRowsPerCopy) {
        finish();
        startCopy();
    } else if (m_buffer.size() >= kCopyChunk) {
        flush();
    }
}

void BulkInsert::flush() {
    PGconn* conn = m_connection.serverHandle();
    if (!m_buffer.isEmpty() &&
        PQputCopyData(conn, m_buffer.constData(), int(m_buffer.size())) != 1) {
        m_copying = false;
        throw serverError(conn, nullptr, m_where);
    }
    m_buffer.clear();
}

void BulkInsert::finish() {
    if (!m_copying)
        return;
    PGconn* conn = m_connection.serverHandle();
    flush();
    m_copying = false;
    if (PQputCopyEnd(conn, nullptr) != 1)
        throw serverError(conn, nullptr, m_where);
    countServerRoundTrip();
    // The rows are checked as they arrive; the answer says whether all went in.
    std::optional<EngineError> failure;
    while (PGresult* result = PQgetResult(conn)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK && !failure)
            failure = serverError(conn, result, m_where);
        PQclear(result);
    }
    if (failure)
        throw *failure;
}

void BulkInsert::abandon() {
    // The server drops the rows sent so far, and the transaction fails with them.
    m_copying = false;
    PGconn* conn = m_connection.serverHandle();
    if (PQputCopyEnd(conn, "abandoned") == 1)
        while (PGresult* result = PQgetResult(conn))
            PQclear(result);
}

} // namespace tess
