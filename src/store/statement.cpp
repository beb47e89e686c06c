#include "store/statement.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/servererror.h"
#include "store/sqliteerror.h"

#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstring>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <vector>

namespace tess {

namespace {

// Type identifiers of the server's built-in types the bank uses.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

// Whether sql[i] starts the word `word` (lower case), standing alone.
bool wordAt(const QByteArray& sql, qsizetype i, const char* word) {
    const qsizetype n = qsizetype(std::strlen(word));
    auto isWordChar = [](char c) { return std::isalnum(uchar(c)) || c == '_'; };
    return sql.mid(i, n).toLower() == word && (i == 0 || !isWordChar(sql[i - 1])) &&
           (i + n >= sql.size() || !isWordChar(sql[i + n]));
}

// The program's statements as the server takes them: "?" placeholders become
// $1, $2, ... ("?NNN" names its number), instr() is strpos(), and the
// literals True and False are the 1 and 0 that boolean columns hold. Quoted
// texts, quoted names and comments are left as they are. count is the
// largest placeholder number.
QByteArray translateForServer(const QByteArray& sql, int& count) {
    QByteArray out;
    out.reserve(sql.size() + 16);
    count = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const qsizetype end = sql.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += sql.mid(i, stop - i);
            i = stop - 1;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const qsizetype end = sql.indexOf('\n', i);
            const qsizetype stop = end < 0 ? sql.size() : end;
            out += sql.mid(i, stop - i);
            i = stop - 1;
        } else if (c == '?') {
            qsizetype end = i + 1;
            while (end < sql.size() && sql[end] >= '0' && sql[end] <= '9')
                ++end;
            const int number = end > i + 1 ? sql.mid(i + 1, end - i - 1).toInt() : count + 1;
            out += '$' + QByteArray::number(number);
            count = std::max(count, number);
            i = end - 1;
        } else if (wordAt(sql, i, "instr") && sql.mid(i + 5, 1) == "(") {
            out += "strpos";
            i += 4;
        } else if (wordAt(sql, i, "true")) {
            out += '1';
            i += 3;
        } else if (wordAt(sql, i, "false")) {
            out += '0';
            i += 4;
        } else {
            out += c;
        }
    }
    return out;
}

std::atomic<qint64> roundTrips{0};

} // namespace

qint64 serverRoundTrips() {
    return roundTrips.load(std::memory_order_relaxed);
}

void countServerRoundTrip() {
    roundTrips.fetch_add(1, std::memory_order_relaxed);
}

struct Statement::Server {
    PGconn* conn = nullptr;
    const Connection* connection = nullptr;
    QByteArray sql;
    std::vector<QByteArray> values;
    std::vector<bool> nulls;
    PGresult* result = nullptr;
    int row = -1;
    int rows = 0;
    bool sent = false;
    qint64 changes = 0;
    // What the failed step broke, for failedOnUnique().
    QString failedState;
    QString failedTable;
    QString failedDetail;

    ~Server() { PQclear(result); }

    void clear() {
        PQclear(result);
        result = nullptr;
        row = -1;
        rows = 0;
        sent = false;
    }

    void send(const QString& where) {
        clear();
        std::vector<const char*> params(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            params[i] = nulls[i] ? nullptr : values[i].isNull() ? "" : values[i].constData();
        countServerRoundTrip();
        result = PQexecParams(conn, sql.constData(), int(params.size()), nullptr, params.data(),
                              nullptr, nullptr, 0);
        sent = true;
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_TUPLES_OK) {
            rows = PQntuples(result);
            changes = QByteArray(PQcmdTuples(result)).toLongLong();
            return;
        }
        if (status == PGRES_COMMAND_OK || status == PGRES_EMPTY_QUERY) {
            changes = QByteArray(PQcmdTuples(result)).toLongLong();
            return;
        }
        failedState = serverErrorState(result);
        const char* table = result ? PQresultErrorField(result, PG_DIAG_TABLE_NAME) : nullptr;
        const char* detail = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL) : nullptr;
        failedTable = QString::fromUtf8(table ? table : "");
        failedDetail = QString::fromUtf8(detail ? detail : "");
        EngineError error = serverError(conn, result, where);
        clear();
        sent = true;
        throw error;
    }

    const char* at(int i) const { return PQgetvalue(result, row, i); }
    Oid type(int i) const { return PQftype(result, i); }
};

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
    if (connection.serverHandle()) {
        m_server = std::make_unique<Server>();
        m_server->conn = connection.serverHandle();
        int count = 0;
        m_server->sql = translateForServer(sql.toUtf8(), count);
        m_server->connection = &connection;
        m_server->values.resize(size_t(count));
        m_server->nulls.assign(size_t(count), true);
        return;
    }
    prepare(sql.toUtf8(), 0);
}

Statement::Server& Statement::server() const {
    if (!m_server->sent)
        m_server->send(m_where);
    return *m_server;
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
    if (m_server) {
        if (index < 1 || size_t(index) > m_server->values.size())
            throw EngineError(QStringLiteral("语句没有第 %1 个参数. ").arg(index) + m_where);
        const size_t i = size_t(index - 1);
        m_server->nulls[i] = value.isNull();
        switch (value.typeId()) {
        case QMetaType::Bool: // taken by integer and boolean columns alike
            m_server->values[i] = value.toBool() ? "1" : "0";
            break;
        case QMetaType::Double:
            m_server->values[i] = QByteArray::number(value.toDouble(), 'g', 17);
            break;
        default:
            m_server->values[i] = value.toString().toUtf8();
        }
        m_server->sent = false;
        return;
    }
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
    if (m_server) {
        if (!m_server->sent) {
            try {
                m_server->send(m_where);
            } catch (const EngineError&) {
                m_failure = SQLITE_ERROR;
                throw;
            }
        }
        return ++m_server->row < m_server->rows;
    }
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

void Statement::runAllOnServer(pg_conn* conn, const QByteArray& sql, const QString& where) {
    if (!conn)
        throw EngineError(QStringLiteral("试题库没有打开."));
    // The simple protocol takes several statements in one text.
    countServerRoundTrip();
    PGresult* result = PQexec(conn, sql.constData());
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) {
        PQclear(result);
        return;
    }
    EngineError error = serverError(conn, result, where);
    PQclear(result);
    throw error;
}

void Statement::reset() {
    m_failure = SQLITE_OK;
    if (m_server) {
        m_server->clear();
        return;
    }
    sqlite3_reset(m_stmt);
}

bool Statement::failedOnUnique(const QString& table, const QString& column) const {
    if (m_server) {
        static const QRegularExpression key(QStringLiteral("^Key \\(([^)]*)\\)"));
        return m_server->failedState == QLatin1String("23505") &&
               m_server->failedTable.compare(table, Qt::CaseInsensitive) == 0 &&
               key.match(m_server->failedDetail).captured(1).compare(column, Qt::CaseInsensitive) ==
                   0;
    }
    return m_failure == SQLITE_CONSTRAINT_UNIQUE &&
           QString::fromUtf8(sqlite3_errmsg(m_db))
               .endsWith(table + QLatin1Char('.') + column, Qt::CaseInsensitive);
}

qint64 Statement::changes() const {
    return m_server ? m_server->changes : sqlite3_changes64(m_db);
}

qint64 Statement::insertedRowid() const {
    if (m_server) {
        const Server& s = server();
        return s.rows > 0 && PQnfields(s.result) > 0
                   ? QByteArray(PQgetvalue(s.result, 0, 0)).toLongLong()
                   : 0;
    }
    return sqlite3_last_insert_rowid(m_db);
}

int Statement::columnCount() const {
    if (m_server)
        return PQnfields(server().result);
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int i) const {
    if (m_server)
        return QString::fromUtf8(PQfname(server().result, i));
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

bool Statement::isNull(int i) const {
    if (m_server)
        return PQgetisnull(m_server->result, m_server->row, i) != 0;
    return sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

qint64 Statement::int64(int i) const {
    if (m_server) {
        const char* v = m_server->at(i);
        if (m_server->type(i) == kBool)
            return v[0] == 't' ? 1 : 0;
        return QByteArray(v).toLongLong();
    }
    return sqlite3_column_int64(m_stmt, i);
}

bool Statement::isInteger(int i) const {
    if (m_server) {
        const Oid type = m_server->type(i);
        return !isNull(i) && (type == kInt2 || type == kInt4 || type == kInt8);
    }
    return sqlite3_column_type(m_stmt, i) == SQLITE_INTEGER;
}

bool Statement::isBoolean(int i) const {
    if (!m_server)
        return false;
    const Server& s = server();
    return s.type(i) == kBool ||
           s.connection->isBooleanColumn(PQftable(s.result, i), PQftablecol(s.result, i));
}

QByteArray Statement::serverDialect(const QByteArray& sql) {
    int count = 0;
    return translateForServer(sql, count);
}

QString Statement::declaredType(int i) const {
    if (m_server) {
        switch (server().type(i)) {
        case kInt2:
        case kInt4:
        case kInt8:
            return QStringLiteral("INTEGER");
        case kBool:
            return QStringLiteral("BOOLEAN");
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return QStringLiteral("REAL");
        default:
            return QStringLiteral("TEXT");
        }
    }
    const char* declared = sqlite3_column_decltype(m_stmt, i);
    return QString::fromUtf8(declared ? declared : "");
}

QVariant Statement::value(int i, ColumnKind kind) const {
    if (!m_server)
        return columnValue(m_stmt, i, kind);
    if (isNull(i))
        return QVariant();
    const char* v = m_server->at(i);
    switch (m_server->type(i)) {
    case kBool:
        return kind == ColumnKind::Integer ? QVariant(v[0] == 't' ? 1 : 0) : QVariant(v[0] == 't');
    case kInt2:
    case kInt4:
    case kInt8: {
        const qlonglong n = QByteArray(v).toLongLong();
        if (kind == ColumnKind::Boolean)
            return QVariant(n != 0);
        if (kind == ColumnKind::Text)
            return QString::number(n);
        if (n >= INT_MIN && n <= INT_MAX)
            return QVariant(int(n));
        return QVariant(n);
    }
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return QByteArray(v).toDouble();
    default:
        return QString::fromUtf8(v, PQgetlength(m_server->result, m_server->row, i));
    }
}

QString Statement::text(int i) const {
    if (m_server) {
        if (isNull(i))
            return QString();
        if (m_server->type(i) == kBool)
            return m_server->at(i)[0] == 't' ? QStringLiteral("1") : QStringLiteral("0");
        return QString::fromUtf8(m_server->at(i), PQgetlength(m_server->result, m_server->row, i));
    }
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    return utf8 ? QString::fromUtf8(utf8, sqlite3_column_bytes(m_stmt, i)) : QString();
}

} // namespace tess
