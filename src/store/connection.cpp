#include "store/connection.h"

#include "store/engineerror.h"
#include "store/orphanwatch.h"
#include "store/sqliteerror.h"
#include "store/statement.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

void Connection::setDataSource(const QString& path) {
    m_path = path;
}

QString Connection::dataSource() const {
    return m_path;
}

bool Connection::isServerName(const QString& name) {
    return name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString displayBankName(const QString& name) {
    if (!Connection::isServerName(name))
        return name;
    static const QRegularExpression userPassword(QStringLiteral("^([^:]+://[^/?@:]*):[^/?@]*@"));
    static const QRegularExpression passwordParameter(QStringLiteral("([?&])password=[^&]*(&|$)"),
                                                      QRegularExpression::CaseInsensitiveOption);
    QString shown = name;
    shown.replace(userPassword, QStringLiteral("\\1@"));
    shown.replace(passwordParameter, QStringLiteral("\\1"));
    if (shown.endsWith(QLatin1Char('&')) || shown.endsWith(QLatin1Char('?')))
        shown.chop(1);
    return shown;
}

void Connection::setBusyTimeout(int milliseconds) {
    m_busyTimeoutMs = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
}

bool Connection::isOpen() const {
    return m_db != nullptr;
}

void Connection::ensureOpen() const {
    if (!m_db)
        throw EngineError(QStringLiteral("试题库没有打开."));
}

void Connection::open() {
    openFile(false);
}

void Connection::openForReading() {
    openFile(true);
}

void Connection::openFile(bool readOnly) {
    if (m_db)
        return;
    m_upgradeProblem.clear();
    if (m_path.isEmpty())
        throw EngineError(QStringLiteral("没有指定试题库文件."));
    if (isServer())
        throw EngineError(QStringLiteral("本程序的这个版本还不能打开服务器上的试题库 ") +
                          displayBankName(m_path) + QLatin1Char('.'));
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

void Connection::close() {
    if (!m_db)
        return;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_booleans.clear();
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
    Statement::runAll(m_db, translate(sql).toUtf8(), where);
}

qint64 Connection::dataVersion() const {
    Statement stmt(*this, QStringLiteral("pragma data_version"),
                   QStringLiteral("pragma data_version"));
    stmt.step();
    return stmt.int64(0);
}

Transaction::Transaction(Connection& connection)
    : m_connection(connection),
      m_nested(connection.isOpen() && sqlite3_get_autocommit(connection.handle()) == 0) {
    // Inside another transaction a savepoint gives the same all-or-nothing.
    m_connection.execute(m_nested ? QStringLiteral("savepoint tess_nested")
                                  : QStringLiteral("begin immediate"));
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
}

void Transaction::commit() {
    m_connection.execute(m_nested ? QStringLiteral("release tess_nested")
                                  : QStringLiteral("commit"));
    m_open = false;
}

} // namespace tess
