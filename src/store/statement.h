#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

namespace tess {

class Connection;

// How many requests this process has sent to a server bank and waited for
// the answer of: the measure the benchmarks count round trips by.
qint64 serverRoundTrips();

// How a column's stored values are read, by its declared type: a boolean
// column gives true/false, an integer one numbers, a text one texts (an
// integer stored there becomes its decimal text).
enum class ColumnKind { Integer, Boolean, Text, Other };
ColumnKind columnKind(const QString& declaredType, bool boolean);
// The value of column i of stmt's current row, read as its kind says.
QVariant columnValue(sqlite3_stmt* stmt, int i, ColumnKind kind);
// Such a value as a 32-bit integer: null (or blank text) reads as 0; what is
// no integer throws EngineError naming table.column.
int integerValue(const QString& table, const QString& column, const QVariant& value);
// Such a value as text: booleans as "True"/"False", null as "".
QString textValue(const QVariant& value);

// One prepared statement of the bank, finalized when it goes out of scope,
// also when a step throws. Every part of the store prepares, binds, steps
// and reads its statements through it, so that failures read alike. On a
// server bank the statement is sent with its values when it is first
// stepped (or its columns are asked for), and its rows are read from the answer.
class Statement {
public:
    // Prepares the first statement of sql. `where` names what a failure is
    // about in its message (a table, the statement, the file).
    Statement(const Connection& connection, const QString& sql, const QString& where);
    // Prepares the statement that starts at `offset` of the UTF-8 text sql;
    // tail() tells where the next one starts.
    Statement(sqlite3* db, const QByteArray& sql, qsizetype offset, const QString& where);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Only blanks or a comment were left to prepare.
    bool isEmpty() const { return m_stmt == nullptr && !m_server; }
    qsizetype tail() const { return m_tail; }

    void bind(int index, const QVariant& value);
    // True while there is a row; throws the engine's error on failure.
    bool step();
    // Steps through all rows, reading none of them.
    void run();
    // Back to the start, bindings kept; the failure is forgotten.
    void reset();
    // The extended result code of the step that failed (SQLITE_OK before one).
    int failure() const { return m_failure; }
    // Whether the step that failed broke the unique index of table.column.
    bool failedOnUnique(const QString& table, const QString& column) const;
    // Rows the last step changed (insert, update, delete).
    qint64 changes() const;
    // The rowid of the row an insert stored. On a server the insert must end
    // with "returning rowid" (further columns may follow) and have been stepped.
    qint64 insertedRowid() const;

    int columnCount() const;
    QString columnName(int i) const;
    bool isNull(int i) const;
    qint64 int64(int i) const;
    QString text(int i) const;   // null reads as the null string
    bool isInteger(int i) const; // the value is stored as an integer
    // The type the column was declared with; empty for an expression.
    QString declaredType(int i) const;
    // Typed as the table cursors read a column of that kind.
    QVariant value(int i, ColumnKind kind) const;
    // Whether column i holds booleans (on a server; a file stores them as integers).
    bool isBoolean(int i) const;

    // The file engine's statement; null on a server.
    sqlite3_stmt* get() const { return m_stmt; }

    // Runs every statement of the UTF-8 text sql on db, one after the other.
    static void runAll(sqlite3* db, const QByteArray& sql, const QString& where);
    // The same on a server, the text sent as it is.
    static void runAllOnServer(pg_conn* conn, const QByteArray& sql, const QString& where);
    // The program's statement text as the server takes it (placeholders,
    // function names, the literals True and False).
    static QByteArray serverDialect(const QByteArray& sql);

private:
    struct Server;
    void prepare(const QByteArray& sql, qsizetype offset);
    Server& server() const;

    sqlite3* m_db = nullptr;
    QString m_where;
    sqlite3_stmt* m_stmt = nullptr;
    qsizetype m_tail = 0;
    int m_failure = 0;
    std::unique_ptr<Server> m_server;
};

} // namespace tess
