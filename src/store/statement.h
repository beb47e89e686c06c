#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace tess {

class Connection;

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
// and reads its statements through it, so that failures read alike.
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
    bool isEmpty() const { return m_stmt == nullptr; }
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

    int columnCount() const;
    QString columnName(int i) const;
    bool isNull(int i) const;
    qint64 int64(int i) const;
    QString text(int i) const;   // null reads as the null string
    bool isInteger(int i) const; // the value is stored as an integer
    // The type the column was declared with; empty for an expression.
    QString declaredType(int i) const;
    // Typed as the table cursors read a column of that kind.
    QVariant value(int i, ColumnKind kind) const { return columnValue(m_stmt, i, kind); }

    sqlite3_stmt* get() const { return m_stmt; }

    // Runs every statement of the UTF-8 text sql on db, one after the other.
    static void runAll(sqlite3* db, const QByteArray& sql, const QString& where);

private:
    void prepare(const QByteArray& sql, qsizetype offset);

    sqlite3* m_db;
    QString m_where;
    sqlite3_stmt* m_stmt = nullptr;
    qsizetype m_tail = 0;
    int m_failure = 0;
};

} // namespace tess
