#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QtGlobal>
#include <any>

struct sqlite3;
struct pg_conn;

namespace tess {

// A connection to one paper bank: a file, or a database on a PostgreSQL server
// named by a libpq URI. It opens existing banks only: a missing bank is never
// created behind the user's back. A second program holding the bank makes
// writes wait (busy timeout) before they fail with a clear error.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The "Data Source": full path of the paper bank file, or a server's URI.
    void setDataSource(const QString& pathOrUri);
    QString dataSource() const;

    // Whether name is a libpq connection URI (postgresql:// or postgres://).
    static bool isServerName(const QString& name);
    // Whether the bank named (or open) is on a server.
    bool isServer() const { return m_server; }

    // Opens the file and checks that it is a paper bank (the four tables).
    // Throws EngineError for a missing file, a non-database, a file without
    // the tables, or a read-only bank. Opening an open connection does nothing.
    // A bank of the earlier schema is upgraded; when that fails it is used as
    // it is and upgradeProblem() says why.
    void open();
    // Opens the bank to read it and nothing else: no write is ever made, not
    // even the upgrade of an earlier schema, and a read-only file is fine.
    void openForReading();
    QString upgradeProblem() const { return m_upgradeProblem; }
    // Whether the bank was opened for reading only.
    bool isReadOnly() const { return m_readOnly; }
    void close();
    bool isOpen() const;

    // Runs one statement that yields no rows. The statement forms the program
    // sends are accepted ("delete * from", the literal True, several lines).
    void execute(const QString& sql);
    // The same, naming the work in a failure's message by `where` instead of the statement.
    void execute(const QString& sql, const QString& where);

    // A number that changes whenever another program has committed changes
    // to the bank since it was last read; this connection's own changes leave it.
    qint64 dataVersion() const;

    // On a server, the expression that reads dataVersion(), for a statement
    // that reads it along with rows, in the same request and snapshot.
    static QString serverDataVersion();

    // Rewrites the program's statement forms into what SQLite takes.
    static QString translate(const QString& sql);

    sqlite3* handle() const { return m_db; }
    pg_conn* serverHandle() const { return m_pg; }
    // Whichever engine's handle is open: statements prepared on another are stale.
    const void* engineHandle() const {
        return m_pg ? static_cast<const void*>(m_pg) : static_cast<const void*>(m_db);
    }
    // Whether a transaction is open on the connection.
    bool inTransaction() const;

    // How long a statement waits for another program holding the bank.
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_busyTimeoutMs; }
    // How long one statement may run on a server before it is stopped.
    void setStatementTimeout(int milliseconds);
    int statementTimeout() const { return m_statementTimeoutMs; }

    // Whether the bank has a table of that name.
    bool hasTable(const QString& table) const;

    // Whether table.column holds a boolean (text form "True"/"False"). Known once open.
    bool isBooleanColumn(const QString& table, const QString& column) const;
    // The same on a server for a result column taken from table oid's column number.
    bool isBooleanColumn(unsigned tableOid, int columnNumber) const {
        return m_booleanColumns.contains((qint64(tableOid) << 16) | columnNumber);
    }

    // A column's name as the program spells it (the server gives lower case).
    static QString canonicalColumn(const QString& table, const QString& column);

    // What this session has read of the server bank's schema (a table's
    // columns), so that it costs one round trip per session rather than one
    // per read; forgotten when the connection closes or is made again, and
    // when a statement of this connection changes the schema. Null when not known.
    const std::any* schemaFact(const QString& key) const;
    void setSchemaFact(const QString& key, std::any fact) const;

    // Throws the engine's error when the connection is not open. A server
    // connection that broke is made again first, unless a transaction was
    // open on it: that one's work is lost, which its owner must hear of.
    void ensureOpen() const;

private:
    friend class Transaction;
    void reviveServer() const;
    void applyServerSettings() const;
    void openFile(bool readOnly);
    void openServer(bool readOnly);
    void checkPaperBank();
    void checkServerBank();

    QString m_path;
    QString m_upgradeProblem;
    bool m_server = false;
    sqlite3* m_db = nullptr;
    pg_conn* m_pg = nullptr;
    int m_busyTimeoutMs = 5000;
    int m_statementTimeoutMs = 60000;
    bool m_readOnly = false;
    int m_transactions = 0;        // Transaction objects open on the connection
    QSet<QString> m_booleans;      // "table.column", lower case
    QSet<qint64> m_booleanColumns; // on a server: table oid << 16 | column number
    mutable QHash<QString, std::any> m_schemaFacts;
};

// The bank's name as the teacher is shown it: a file's path, or a server URI
// without its password.
QString displayBankName(const QString& name);

// One transaction on a connection for as long as it lives: commit() stores
// all of its work; leaving the scope without commit() drops all of it. Inside
// another transaction it is a part of that one, kept or dropped on its own.
class Transaction {
public:
    explicit Transaction(Connection& connection); // waits for the bank's write lock
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& m_connection;
    bool m_nested;
    bool m_open = true;
};

} // namespace tess
