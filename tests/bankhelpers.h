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
#include <libpq-fe.h>
#include <map>
#include <unistd.h>

// Looking into a paper bank directly from a test, beside the program's own cursors.
namespace banktest {

// Whether the test program runs on the server engine (TESS_TEST_ENGINE=postgres,
// the test server's URI in TESS_PG_URI): the banks a test names by file paths
// are then databases on that server, one for each path.
inline bool onServer() {
    return qEnvironmentVariable("TESS_TEST_ENGINE") == QLatin1String("postgres");
}

// The engine's name, which its errors carry at their end.
inline QString engineName() {
    return onServer() ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite");
}

// The test server's databases standing for bank paths, dropped when the program ends.
class ServerBanks {
public:
    static ServerBanks& instance() {
        static ServerBanks banks;
        return banks;
    }
    ~ServerBanks() {
        for (const auto& [path, name] : m_names)
            drop(name);
        if (!m_template.isEmpty())
            drop(m_template);
        PQfinish(m_admin);
    }
    // The URI of the database for path, made as a copy of the one `from`
    // stands for, or of a fresh bank made by createPaperBank once.
    QString make(const QString& path, const QString& from = QString()) {
        if (from.isEmpty() && m_template.isEmpty()) {
            m_template = QStringLiteral("tess_%1_template").arg(::getpid());
            drop(m_template);
            run(QStringLiteral("create database %1 template template0").arg(m_template));
            tess::createPaperBank(uri(m_template));
        }
        const QString name = fresh(path);
        run(QStringLiteral("create database %1 template %2")
                .arg(name, from.isEmpty() ? m_template : m_names.at(from)));
        return uri(name);
    }
    // The URI of a database without tables for path.
    QString makeEmpty(const QString& path) {
        const QString name = fresh(path);
        run(QStringLiteral("create database %1 template template0").arg(name));
        return uri(name);
    }
    // The URI for path when a database stands for it, else path itself.
    QString name(const QString& path) const {
        const auto it = m_names.find(path);
        return it == m_names.end() ? path : uri(it->second);
    }
    // The server's URI for database name.
    static QString uri(const QString& name) {
        QString base = qEnvironmentVariable("TESS_PG_URI");
        // postgresql:///postgres?host=... names the server's own database.
        base.replace(QStringLiteral(":///postgres"), QStringLiteral(":///") + name);
        return base;
    }
    // Runs one statement on the database uri names, on a connection of its own.
    static void run(const QString& uri, const QString& sql) {
        PGconn* conn = PQconnectdb(uri.toUtf8().constData());
        PGresult* result = PQexec(conn, sql.toUtf8().constData());
        const bool ok =
            PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
        const QString error = QString::fromUtf8(PQerrorMessage(conn));
        PQclear(result);
        PQfinish(conn);
        if (!ok)
            throw tess::EngineError(sql + QStringLiteral(": ") + error);
    }
    // Runs an administrative statement on the server's own database.
    void run(const QString& sql) {
        if (!m_admin) {
            m_admin = PQconnectdb(uri(QStringLiteral("postgres")).toUtf8().constData());
            if (PQstatus(m_admin) != CONNECTION_OK)
                throw tess::EngineError(QStringLiteral("test server not reached: ") +
                                        QString::fromUtf8(PQerrorMessage(m_admin)));
            PQsetNoticeProcessor(
                m_admin, [](void*, const char*) {}, nullptr);
        }
        PGresult* result = PQexec(m_admin, sql.toUtf8().constData());
        const bool ok =
            PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
        const QString error = QString::fromUtf8(PQresultErrorMessage(result));
        PQclear(result);
        if (!ok)
            throw tess::EngineError(sql + QStringLiteral(": ") + error);
    }

private:
    // The database name for path, no database of that name left.
    QString fresh(const QString& path) {
        auto it = m_names.find(path);
        if (it == m_names.end())
            it = m_names
                     .emplace(path,
                              QStringLiteral("tess_%1_%2").arg(::getpid()).arg(m_names.size() + 1))
                     .first;
        drop(it->second);
        return it->second;
    }
    void drop(const QString& name) {
        run(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    }

    PGconn* m_admin = nullptr;
    QString m_template;
    std::map<QString, QString> m_names;
};

// The name a test's bank path stands for on the engine under test.
inline QString bankName(const QString& path) {
    return onServer() ? ServerBanks::instance().name(path) : path;
}

// Points conn at the bank file (or the database standing for it) and opens it.
inline void openConnection(tess::Connection& conn, const QString& path) {
    conn.setDataSource(bankName(path));
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
    if (onServer()) {
        ServerBanks::instance().make(path);
        return;
    }
    static QTemporaryDir templateDir; // removed when the test program ends
    static const QString templateBank = [] {
        const QString bank = templateDir.filePath(QStringLiteral("template.mdb"));
        tess::createPaperBank(bank);
        return bank;
    }();
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink() || !QFile::copy(templateBank, path))
        throw tess::EngineError(QStringLiteral("test bank not copied to ") + path);
}

// A copy of the bank at from (which no connection may hold) at to.
inline void copyBank(const QString& from, const QString& to) {
    if (onServer()) {
        ServerBanks::instance().make(to, from);
        return;
    }
    if (!QFile::copy(from, to))
        throw tess::EngineError(QStringLiteral("test bank not copied to ") + to);
}

// Makes the bank refuse every insert into table (those for which `when`, an
// expression on new.*, holds), as a bank can refuse a write halfway through
// an import: a trigger in the engine's own dialect.
inline void refuseInserts(tess::Connection& conn, const QString& table,
                          const QString& when = QString()) {
    if (onServer()) {
        conn.execute(QStringLiteral("create or replace function tess_test_refuse() returns "
                                    "trigger language plpgsql as $$ begin raise exception "
                                    "'refused'; end $$"));
        conn.execute(
            QStringLiteral("create trigger refuse_%1 before insert on %1 for each row "
                           "%2 execute function tess_test_refuse()")
                .arg(table, when.isEmpty() ? QString() : QStringLiteral("when (%1)").arg(when)));
        return;
    }
    conn.execute(QStringLiteral("create trigger refuse_%1 before insert on %1 %2 begin select "
                                "raise(abort, 'refused'); end")
                     .arg(table, when.isEmpty() ? QString() : QStringLiteral("when ") + when));
}

// Takes refuseInserts back.
inline void allowInserts(tess::Connection& conn, const QString& table) {
    conn.execute(onServer() ? QStringLiteral("drop trigger refuse_%1 on %1").arg(table)
                            : QStringLiteral("drop trigger refuse_%1").arg(table));
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
