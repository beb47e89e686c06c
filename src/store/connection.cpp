#include "store/connection.h"

#include "store/engineerror.h"
#include "store/orphanwatch.h"
#include "store/servererror.h"
#include "store/sqliteerror.h"
#include "store/statement.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

namespace tess {

namespace {

struct TableNeed {
    const char* table;
    const char* columns; // separated by blanks
};

// What the program reads and writes; a file lacking any of it is no paper bank.
const TableNeed kNeeded[] = {
    {"paper", "PapID PapNam PapScr PapSav PapCtg"},
    {"question", "QstID PapIdx QstIdx QstTyp QstScr QstCon IsTrue"},
    {"choice", "ChcID QstIdx ChcIdx IsTrue ChcCon"},
    {"users", "acount password"},
};

// Runs a statement whose rows are read by `row` (column texts).
template <typename RowFn>
void eachRow(const Connection& connection, const QString& sql, const QString& where, RowFn row) {
    Statement stmt(connection, sql, where);
    while (stmt.step()) {
        QStringList values;
        for (int i = 0; i < stmt.columnCount(); ++i)
            values << stmt.text(i);
        row(values);
    }
}

} // namespace

Connection::Connection() = default;

Connection::~Connection() {
    close();
}

void Connection::setDataSource(const QString& pathOrUri) {
    m_path = pathOrUri;
    m_server = isServerName(pathOrUri);
}

bool Connection::isServerName(const QString& name) {
    return name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString displayBankName(const QString& name) {
    if (!Connection::isServerName(name))
        return name;
    // The password may stand after the user ("user:secret@host") or as a
    // parameter ("?password=secret"); neither is shown. libpq's multi-host
    // lists are no valid URL for QUrl, so this works on the text itself.
    static const QRegularExpression userPassword(
        QStringLiteral("^([A-Za-z]+://[^:@/?]*):[^@/?]*@"));
    static const QRegularExpression passwordParameter(QStringLiteral("([?&])password=[^&]*(&?)"),
                                                      QRegularExpression::CaseInsensitiveOption);
    QString text = name;
    text.replace(userPassword, QStringLiteral("\\1@"));
    text.replace(passwordParameter, QStringLiteral("\\1"));
    while (text.endsWith(QLatin1Char('&')) || text.endsWith(QLatin1Char('?')))
        text.chop(1);
    return text;
}

QString Connection::dataSource() const {
    return m_path;
}

void Connection::setBusyTimeout(int milliseconds) {
    m_busyTimeoutMs = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    if (m_pg)
        applyServerSettings();
}

void Connection::setStatementTimeout(int milliseconds) {
    m_statementTimeoutMs = milliseconds;
    if (m_pg)
        applyServerSettings();
}

void Connection::applyServerSettings() const {
    // The busy timeout bounds the wait for another program's locks, as it
    // does for the file; a statement running too long is stopped by the server.
    Statement::runAllOnServer(m_pg,
                              QStringLiteral("set lock_timeout = %1; set statement_timeout = %2; "
                                             "set default_transaction_read_only = %3")
                                  .arg(m_busyTimeoutMs)
                                  .arg(m_statementTimeoutMs)
                                  .arg(m_readOnly ? QLatin1String("on") : QLatin1String("off"))
                                  .toUtf8(),
                              fileWhere(m_path));
}

void Connection::reviveServer() const {
    if (m_transactions > 0)
        throw EngineError(QStringLiteral("与试题库服务器的连接断开了, 这一组修改都没有保存. "
                                         "请等服务器恢复后再做一次. ") +
                          fileWhere(m_path))
            .markConnectionLost();
    m_schemaFacts.clear();
    PQreset(m_pg);
    if (PQstatus(m_pg) != CONNECTION_OK)
        throw EngineError(QStringLiteral("与试题库服务器的连接断开了, 修改没有保存. "
                                         "请检查网络, 等服务器恢复后再试. ") +
                          fileWhere(m_path) + QStringLiteral(" (PostgreSQL: ") +
                          QString::fromUtf8(PQerrorMessage(m_pg)).trimmed() + QLatin1Char(')'))
            .markConnectionLost();
    // The session starts afresh; its own change count with it, so the next
    // look at the data version reads the bank again, as it should after a break.
    applyServerSettings();
}

bool Connection::isOpen() const {
    return m_db != nullptr || m_pg != nullptr;
}

void Connection::ensureOpen() const {
    if (!isOpen())
        throw EngineError(QStringLiteral("试题库没有打开."));
    if (m_pg && PQstatus(m_pg) == CONNECTION_BAD)
        reviveServer();
}

bool Connection::inTransaction() const {
    if (m_pg) {
        const PGTransactionStatusType status = PQtransactionStatus(m_pg);
        return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
    }
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void Connection::open() {
    openFile(false);
}

void Connection::openForReading() {
    openFile(true);
}

void Connection::openFile(bool readOnly) {
    if (isOpen())
        return;
    m_upgradeProblem.clear();
    m_readOnly = readOnly;
    if (m_server) {
        openServer(readOnly);
        return;
    }
    if (m_path.isEmpty())
        throw EngineError(QStringLiteral("没有指定试题库文件."));
    const QFileInfo info(m_path);
    // SQLite would happily create a missing file; a missing bank must be reported instead.
    if (!info.exists())
        throw EngineError(QStringLiteral("找不到试题库文件, 请确认它在程序所在的文件夹中. ") +
                          fileWhere(m_path));
    if (!info.isFile())
        throw EngineError(QStringLiteral("试题库路径指向的不是文件. ") + fileWhere(m_path));

    sqlite3* db = nullptr;
    const QByteArray path = QFile::encodeName(m_path);
    // One thread uses a connection: no lock around every call into the engine.
    const int rc = sqlite3_open_v2(
        path.constData(), &db,
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        EngineError error = sqliteError(db, rc, fileWhere(m_path));
        sqlite3_close_v2(db);
        throw error;
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    try {
        if (readOnly) {
            checkPaperBank();
            return;
        }
        // SQLite falls back to reading only when the file refuses writes; every
        // change would then fail later, so say it now.
        if (sqlite3_db_readonly(m_db, "main") == 1)
            throw EngineError(QStringLiteral("试题库文件是只读的, 无法保存修改. "
                                             "请取消文件的只读属性后再试. ") +
                              fileWhere(m_path));
        // Every change writes a journal beside the bank.
        const QByteArray folder = QFile::encodeName(info.absolutePath());
        if (::access(folder.constData(), W_OK) != 0)
            throw EngineError(QStringLiteral("试题库所在的文件夹不能写入, 无法保存修改. "
                                             "请把试题库放到可以写入的文件夹后再试. ") +
                              fileWhere(m_path));
        checkPaperBank();
        m_upgradeProblem = addOrphanWatch(*this);
    } catch (...) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        m_booleans.clear();
        throw;
    }
}

void Connection::checkPaperBank() {
    const QString where = fileWhere(m_path);
    QSet<QString> tables;
    QSet<QString> booleans;
    static const QRegularExpression boolRe(QStringLiteral("\\b(\\w+)_is_boolean\\b"));
    try {
        eachRow(*this, QStringLiteral("select name, sql from sqlite_schema where type = 'table'"),
                where, [&](const QStringList& row) {
                    const QString table = row.value(0).toLower();
                    tables.insert(table);
                    auto it = boolRe.globalMatch(row.value(1));
                    while (it.hasNext())
                        booleans.insert(table + QLatin1Char('.') + it.next().captured(1).toLower());
                });
    } catch (const EngineError& e) {
        if ((sqlite3_errcode(m_db) & 0xff) == SQLITE_NOTADB)
            throw EngineError(QStringLiteral("文件不是试题库, 或者已经损坏. ") + where +
                              QStringLiteral(" (SQLite: ") +
                              QString::fromUtf8(sqlite3_errmsg(m_db)) + QLatin1Char(')'));
        throw;
    }
    QStringList missing;
    for (const TableNeed& need : kNeeded) {
        const QString table = QString::fromLatin1(need.table);
        if (!tables.contains(table)) {
            missing << QStringLiteral("表 ") + table;
            continue;
        }
        QSet<QString> present;
        eachRow(*this, QStringLiteral("pragma table_info(\"%1\")").arg(table), where,
                [&](const QStringList& row) { present.insert(row.value(1).toLower()); });
        const QStringList columns = QString::fromLatin1(need.columns).split(QLatin1Char(' '));
        for (const QString& column : columns)
            if (!present.contains(column.toLower()))
                missing << QStringLiteral("列 ") + table + QLatin1Char('.') + column;
    }
    if (!missing.isEmpty())
        throw EngineError(QStringLiteral("文件不是试题库: 缺少") +
                          missing.join(QStringLiteral(", ")) + QStringLiteral(". ") + where);
    m_booleans = booleans;
}

void Connection::openServer(bool readOnly) {
    PGconn* conn = connectToServer(m_path, "tessaloom");
    m_pg = conn;
    m_readOnly = readOnly;
    try {
        applyServerSettings();
        checkServerBank();
        if (!readOnly)
            m_upgradeProblem = addOrphanWatch(*this);
    } catch (...) {
        PQfinish(m_pg);
        m_pg = nullptr;
        m_booleans.clear();
        throw;
    }
}

void Connection::checkServerBank() {
    const QString where = fileWhere(m_path);
    QHash<QString, QSet<QString>> columns;
    eachRow(*this,
            QStringLiteral("select table_name, column_name from information_schema.columns "
                           "where table_schema = current_schema()"),
            where, [&](const QStringList& row) {
                columns[row.value(0).toLower()].insert(row.value(1).toLower());
            });
    // Booleans are integers named so by their constraint, as in the file.
    QSet<QString> booleans;
    QSet<qint64> booleanColumns;
    eachRow(*this,
            QStringLiteral(
                "select c.relname, a.attname, c.oid, a.attnum from pg_constraint k join pg_class "
                "c on c.oid = k.conrelid join pg_namespace n on n.oid = c.relnamespace join "
                "pg_attribute a on a.attrelid = c.oid and a.attnum = any(k.conkey) where "
                "n.nspname = current_schema() and k.contype = 'c' and lower(k.conname) = "
                "lower(a.attname) || '_is_boolean'"),
            where, [&](const QStringList& row) {
                booleans.insert(row.value(0).toLower() + QLatin1Char('.') + row.value(1).toLower());
                booleanColumns.insert((row.value(2).toLongLong() << 16) | row.value(3).toInt());
            });
    QStringList missing;
    for (const TableNeed& need : kNeeded) {
        const QString table = QString::fromLatin1(need.table);
        if (!columns.contains(table)) {
            missing << QStringLiteral("表 ") + table;
            continue;
        }
        const QStringList names = QString::fromLatin1(need.columns).split(QLatin1Char(' '));
        for (const QString& column : names)
            if (!columns[table].contains(column.toLower()))
                missing << QStringLiteral("列 ") + table + QLatin1Char('.') + column;
    }
    if (!missing.isEmpty() || !columns.contains(QStringLiteral("tess_change")) ||
        !columns.contains(QStringLiteral("tess_schema")))
        throw EngineError(
            QStringLiteral("这个数据库不是试题库") +
            (missing.isEmpty() ? QString()
                               : QStringLiteral(": 缺少") + missing.join(QStringLiteral(", "))) +
            QStringLiteral(". 请用 tessaloom-newbank 在一个空数据库里建立试题库. ") + where);
    m_booleans = booleans;
    m_booleanColumns = booleanColumns;
}

QString Connection::canonicalColumn(const QString& table, const QString& column) {
    // The server folds names to lower case; the program shows them as the file has them.
    for (const TableNeed& need : kNeeded) {
        if (table.compare(QLatin1String(need.table), Qt::CaseInsensitive) != 0)
            continue;
        const QStringList names = QString::fromLatin1(need.columns).split(QLatin1Char(' '));
        for (const QString& name : names)
            if (name.compare(column, Qt::CaseInsensitive) == 0)
                return name;
    }
    return column;
}

void Connection::close() {
    if (m_pg) {
        PQfinish(m_pg);
        m_pg = nullptr;
    }
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_booleans.clear();
    m_booleanColumns.clear();
    m_schemaFacts.clear();
}

const std::any* Connection::schemaFact(const QString& key) const {
    const auto it = m_schemaFacts.constFind(key);
    return it == m_schemaFacts.cend() ? nullptr : &*it;
}

void Connection::setSchemaFact(const QString& key, std::any fact) const {
    m_schemaFacts.insert(key, std::move(fact));
}

bool Connection::hasTable(const QString& table) const {
    Statement stmt(*this,
                   m_pg
                       ? QStringLiteral("select 1 from information_schema.tables where "
                                        "table_schema = current_schema() and table_name = lower(?)")
                       : QStringLiteral("select 1 from sqlite_schema where type = 'table' and "
                                        "name = ? collate nocase"),
                   QStringLiteral("[表 ") + table + QLatin1Char(']'));
    stmt.bind(1, table);
    return stmt.step();
}

bool Connection::isBooleanColumn(const QString& table, const QString& column) const {
    return m_booleans.contains(table.toLower() + QLatin1Char('.') + column.toLower());
}

QString Connection::translate(const QString& sql) {
    // The program deletes with "delete * from"; SQLite knows only "delete from".
    // The literal True and the CR LF line ends need nothing.
    static const QRegularExpression deleteStar(QStringLiteral("^(\\s*delete)\\s+\\*\\s*(from\\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString text = sql;
    text.replace(deleteStar, QStringLiteral("\\1 \\2"));
    return text;
}

void Connection::execute(const QString& sql) {
    execute(sql, statementForMessage(sql));
}

void Connection::execute(const QString& sql, const QString& where) {
    ensureOpen();
    // A table made, changed or dropped here: what was read of the schema may be stale.
    static const QRegularExpression schemaChange(QStringLiteral("\\b(create|alter|drop)\\b"),
                                                 QRegularExpression::CaseInsensitiveOption);
    if (!m_schemaFacts.isEmpty() && sql.contains(schemaChange))
        m_schemaFacts.clear();
    if (m_pg)
        Statement::runAllOnServer(m_pg, Statement::serverDialect(translate(sql).toUtf8()), where);
    else
        Statement::runAll(m_db, translate(sql).toUtf8(), where);
}

QString Connection::serverDataVersion() {
    // Every program's changes move the counter; this session's own are taken off.
    return QStringLiteral("coalesce((select n - coalesce(nullif(current_setting("
                          "'tess.own_changes', 't'), ''), '0')::bigint from tess_change limit 1), "
                          "0)");
}

qint64 Connection::dataVersion() const {
    if (m_pg) {
        static const QString sql = QStringLiteral("select ") + serverDataVersion();
        Statement stmt(*this, sql, fileWhere(m_path));
        return stmt.step() ? stmt.int64(0) : 0;
    }
    Statement stmt(*this, QStringLiteral("pragma data_version"),
                   QStringLiteral("pragma data_version"));
    stmt.step();
    return stmt.int64(0);
}

Transaction::Transaction(Connection& connection)
    : m_connection(connection), m_nested((connection.ensureOpen(), connection.inTransaction())) {
    // Inside another transaction a savepoint gives the same all-or-nothing.
    // Writers take the bank one at a time, on a server as in a file, so that
    // numbers read from the bank inside a transaction stay free until its commit.
    if (!connection.isServer() || m_nested) {
        m_connection.execute(m_nested ? QStringLiteral("savepoint tess_nested")
                                      : QStringLiteral("begin immediate"));
        ++m_connection.m_transactions;
        return;
    }
    try {
        // One request for both: the lock is the first thing the transaction does.
        m_connection.execute(
            QStringLiteral("begin; select pg_advisory_xact_lock(1413829459)"),
            statementForMessage(QStringLiteral("select pg_advisory_xact_lock(1413829459)")));
    } catch (const EngineError&) {
        // Not waited long enough: no transaction is left behind, as with the file.
        try {
            m_connection.execute(QStringLiteral("rollback"));
        } catch (const EngineError&) {
        }
        throw;
    }
    ++m_connection.m_transactions;
}

Transaction::~Transaction() {
    if (!m_open)
        return;
    try {
        m_connection.execute(m_nested
                                 ? QStringLiteral("rollback to tess_nested; release tess_nested")
                                 : QStringLiteral("rollback"));
    } catch (const EngineError&) {
        // A failed statement may have ended the transaction already.
    }
    --m_connection.m_transactions;
}

void Transaction::commit() {
    // A server ends a transaction in which a statement failed by dropping
    // all of it, even when asked to commit: that must not pass for saved.
    PGconn* server = m_connection.serverHandle();
    if (server && !m_nested && PQtransactionStatus(server) == PQTRANS_INERROR)
        throw EngineError(QStringLiteral("这一组修改中有一步出错了, 所以整组修改都没有保存. ") +
                          fileWhere(m_connection.dataSource()));
    m_connection.execute(m_nested ? QStringLiteral("release tess_nested")
                                  : QStringLiteral("commit"));
    m_open = false;
    --m_connection.m_transactions;
}

} // namespace tess
