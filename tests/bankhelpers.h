#pragma once

#include "store/connection.h"
#include "store/query.h"

#include <QString>
#include <QVariant>

// Looking into a paper bank directly from a test, beside the program's own cursors.
namespace banktest {

// Points conn at the bank file and opens it.
inline void openConnection(tess::Connection& conn, const QString& path) {
    conn.setDataSource(path);
    conn.open();
}

// A connection open on the bank for as long as it lives.
struct BankConnection : tess::Connection {
    explicit BankConnection(const QString& path) { openConnection(*this, path); }
};

// The first row's column named v of a statement.
inline QVariant scalar(tess::Connection& conn, const QString& statement) {
    tess::Query q(conn);
    q.setSql(statement);
    q.open();
    return q.value(QStringLiteral("v"));
}

// The records of "table" or of "table where ...".
inline int count(tess::Connection& conn, const QString& tableAndWhere) {
    return scalar(conn, QStringLiteral("select count(*) as v from ") + tableAndWhere).toInt();
}

// A text as an SQL string literal, its quotes doubled.
inline QString quoted(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

} // namespace banktest
