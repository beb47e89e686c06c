#include "store/schema.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/servererror.h"
#include "store/sqliteerror.h"
#include "store/statement.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/stat.h>

// Resources of a static library must be pulled in by name.
static void initStoreResources() {
    Q_INIT_RESOURCE(store);
}

namespace tess {

namespace {

void fillBank(const QString& path) {
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        EngineError error = sqliteError(db, rc, fileWhere(path));
        sqlite3_close_v2(db);
        throw error;
    }
    sqlite3_extended_result_codes(db, 1);
    try {
        // One transaction: each statement committing on its own costs a sync apiece.
        Statement::runAll(db,
                          (QStringLiteral("BEGIN;\n") + paperBankSchema() +
                           QStringLiteral("\nINSERT INTO users (acount, password) VALUES "
                                          "('Admin', '');\nCOMMIT;\n"))
                              .toUtf8(),
                          fileWhere(path));
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    rc = sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw sqliteError(rc, QString::fromUtf8(sqlite3_errstr(rc)), fileWhere(path));
}

void createServerBank(const QString& uri);

QString schemaResource(const QString& name) {
    initStoreResources();
    QFile file(QStringLiteral(":/store/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(QStringLiteral("程序缺少试题库的结构说明, 请重新安装本程序."));
    return QString::fromUtf8(file.readAll());
}

} // namespace

QString paperBankSchema() {
    return schemaResource(QStringLiteral("schema.sql")) + QLatin1Char('\n') + schemaAdditions() +
           QLatin1Char('\n') + textSchemaAdditions() + QLatin1Char('\n') + styleSchemaAdditions();
}

QString schemaAdditions() {
    return schemaResource(QStringLiteral("schema-2.sql"));
}

QString textSchemaAdditions() {
    return schemaResource(QStringLiteral("schema-3.sql"));
}

QString styleSchemaAdditions() {
    return schemaResource(QStringLiteral("schema-4.sql"));
}

QString serverSchemaAdditions() {
    return schemaResource(QStringLiteral("schema-pg-3.sql")) + QLatin1Char('\n') +
           schemaResource(QStringLiteral("schema-pg-4.sql")) + QLatin1Char('\n') +
           schemaResource(QStringLiteral("schema-pg-5.sql"));
}

QString serverPaperBankSchema() {
    return schemaResource(QStringLiteral("schema-pg.sql")) + QLatin1Char('\n') +
           serverSchemaAdditions();
}

void createPaperBank(const QString& path) {
    if (Connection::isServerName(path)) {
        createServerBank(path);
        return;
    }
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw EngineError(QStringLiteral("文件已经存在, 不会覆盖它. 请换一个文件名, "
                                         "或者先把原来的文件移走. ") +
                          fileWhere(path));
    // Built under a temporary name and moved into place at the end, so that a
    // failure leaves no half-made bank, and an existing file is never replaced.
    const QFileInfo info(path);
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.newbank-XXXXXX"));
    if (!temp.open())
        throw EngineError(
            QStringLiteral("无法在这个文件夹里创建试题库, 请确认文件夹存在而且可以写入. ") +
            fileWhere(path));
    const QString tempPath = temp.fileName();
    temp.close();
    fillBank(tempPath);
    // QFile::rename refuses an existing target.
    if (!QFile::rename(tempPath, path)) {
        const bool exists = QFileInfo::exists(path);
        throw EngineError((exists ? QStringLiteral("文件已经存在, 不会覆盖它. ")
                                  : QStringLiteral("无法创建试题库文件. ")) +
                          fileWhere(path));
    }
    temp.setAutoRemove(false);
    // The temporary file was private to its owner; the bank gets the
    // permissions any new file of this user would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
}

namespace {

// Makes the schema in an empty database, all of it in one transaction, so
// that a failure leaves the database as empty as it was.
void createServerBank(const QString& uri) {
    PGconn* conn = connectToServer(uri, "tessaloom-newbank");
    const QString where = fileWhere(uri);
    struct Closer {
        PGconn* conn;
        ~Closer() { PQfinish(conn); }
    } closer{conn};
    // The lock keeps two programs making a bank in the same database apart.
    Statement::runAllOnServer(conn, "begin; select pg_advisory_xact_lock(1413829459)", where);
    PGresult* tables = PQexec(conn, "select count(*) from pg_class c join pg_namespace n on "
                                    "n.oid = c.relnamespace where n.nspname = current_schema() "
                                    "and c.relkind in ('r', 'v', 'm', 'p', 'f')");
    const bool counted = PQresultStatus(tables) == PGRES_TUPLES_OK;
    const QByteArray count = counted ? QByteArray(PQgetvalue(tables, 0, 0)) : QByteArray();
    if (!counted) {
        EngineError error = serverError(conn, tables, where);
        PQclear(tables);
        throw error;
    }
    PQclear(tables);
    if (count != "0")
        throw EngineError(QStringLiteral("这个数据库里已经有表了, 不会在里面建立试题库. "
                                         "请让管理员新建一个空数据库后再试. ") +
                          where);
    Statement::runAllOnServer(
        conn,
        (serverPaperBankSchema() +
         QStringLiteral("\nINSERT INTO users (acount, password) VALUES ('Admin', '');\nCOMMIT;\n"))
            .toUtf8(),
        where);
}

} // namespace

} // namespace tess
