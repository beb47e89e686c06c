#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace tess {

class Connection;
class Statement;

// Rows appended to one table in one go, as a whole bank is copied. On a
// server they stream in with COPY, one request for all of them, where an
// insert per row would cost a round trip (and a statement's triggers) each;
// in a file they go through one prepared insert. (A table's rows go in
// several COPY statements, each well within the statement timeout.) Values are taken as
// Statement::bind takes them. Use it inside a Transaction, and nothing else
// on the connection until finish(): a failure may surface only there, and a
// BulkInsert dropped unfinished leaves the transaction to be rolled back.
class BulkInsert {
public:
    BulkInsert(Connection& connection, const QString& table, const QStringList& columns);
    ~BulkInsert();
    BulkInsert(const BulkInsert&) = delete;
    BulkInsert& operator=(const BulkInsert&) = delete;

    // Value of column i (from 0) of the row being made.
    void setValue(int i, const QVariant& value);
    // Appends the row made with setValue; every column starts again as null.
    void addRow();
    // Sends what is left and waits for the engine's answer; throws its error.
    void finish();

private:
    void startCopy();
    void flush();
    void abandon();

    Connection& m_connection;
    QString m_where;
    int m_columns;
    std::unique_ptr<Statement> m_insert; // the file's insert
    QList<QVariant> m_row;               // the server's row being made
    QByteArray m_copySql;                // the server's COPY statement
    QByteArray m_buffer;                 // COPY text not yet sent
    qint64 m_rowsInCopy = 0;
    bool m_copying = false;
};

} // namespace tess
