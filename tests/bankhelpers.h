#pragma once

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/query.h"
#include "store/schema.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
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

// A fresh empty bank at path, as tess::createPaperBank makes it: a copy of one
// bank made by it once per test program, so that a test program making a bank
// for each of its tests pays for one set of syncs instead of one set per test.
// Like createPaperBank, it never replaces an existing file.
inline void freshBank(const QString& path) {
    static QTemporaryDir templateDir; // removed when the test program ends
    static const QString templateBank = [] {
        const QString bank = templateDir.filePath(QStringLiteral("template.mdb"));
        tess::createPaperBank(bank);
        return bank;
    }();
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink() || !QFile::copy(templateBank, path))
        throw tess::EngineError(QStringLiteral("test bank not copied to ") + path);
}

// One transaction around set-up rows written while it lives, through any
// cursor or statement on conn: committing once costs one set of syncs instead
// of a set per row. Left without commit() (a failed set-up), it rolls back.
using SetupTransaction = tess::Transaction;

// Set-up statements run in one transaction, in their order.
inline void executeInOneTransaction(tess::Connection& conn, const QStringList& statements) {
    SetupTransaction transaction(conn);
    for (const QString& statement : statements)
        conn.execute(statement);
    transaction.commit();
}

} // namespace banktest
