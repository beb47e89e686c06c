#pragma once

#include <QSet>
#include <QString>
#include <QtGlobal>

struct sqlite3;

namespace tess {

// A connection to one paper bank file. It opens existing banks only: a missing
// bank is never created behind the user's back. A second program holding the
// file makes statements wait (busy timeout) before they fail with a clear error.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The "Data Source": full path of the paper bank, or a server bank's URI.
    void setDataSource(const QString& path);
    QString dataSource() const;
    // Whether name is a server bank's connection URI (postgresql:// or
    // postgres://, any letter case) rather than a file path.
    static bool isServerName(const QString& name);
    // Whether the named bank is on a server.
    bool isServer() const { return isServerName(m_path); }

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

    // Rewrites the program's statement forms into what SQLite takes.
    static QString translate(const QString& sql);

    sqlite3* handle() const { return m_db; }

    // How long a statement waits for another program holding the bank.
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_busyTimeoutMs; }

    // Whether table.column holds a boolean (text form "True"/"False"). Known once open.
    bool isBooleanColumn(const QString& table, const QString& column) const;

    // Throws the engine's error when the connection is not open.
    void ensureOpen() const;

private:
    void openFile(bool readOnly);
    void checkPaperBank();

    QString m_path;
    QString m_upgradeProblem;
    sqlite3* m_db = nullptr;
    int m_busyTimeoutMs = 5000;
    QSet<QString> m_booleans; // "table.column", lower case
};

// A bank's name as the teacher is shown it: a file path as it is, a server
// bank's URI without its password.
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
