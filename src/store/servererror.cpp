#include "store/servererror.h"

#include "store/connection.h"
#include "store/sqliteerror.h"

#include <QRegularExpression>
#include <libpq-fe.h>

namespace tess {

namespace {

QString field(const pg_result* result, int code) {
    const char* text = result ? PQresultErrorField(result, code) : nullptr;
    return text ? QString::fromUtf8(text) : QString();
}

// table.column as the program spells them.
QString columnName(const QString& table, const QString& column) {
    return table + QLatin1Char('.') + Connection::canonicalColumn(table, column);
}

QString describe(const QString& state, const pg_result* result) {
    const QString table = field(result, PG_DIAG_TABLE_NAME);
    const QString text = field(result, PG_DIAG_MESSAGE_PRIMARY);
    if (state == QLatin1String("23502"))
        return QStringLiteral("列 %1 不能为空, 请填写它的值.")
            .arg(columnName(table, field(result, PG_DIAG_COLUMN_NAME)));
    if (state == QLatin1String("23505")) {
        // "Key (papid)=(7) already exists."
        static const QRegularExpression key(QStringLiteral("^Key \\(([^)]*)\\)"));
        const QString keyColumn = key.match(field(result, PG_DIAG_MESSAGE_DETAIL)).captured(1);
        if (table == QLatin1String("users") && keyColumn == QLatin1String("acount"))
            return QStringLiteral("已经有同名的帐号 (帐号名不区分大小写), 请换一个帐号名.");
        return QStringLiteral("列 %1 的值与另一条记录重复.").arg(columnName(table, keyColumn));
    }
    if (state == QLatin1String("22003"))
        return QStringLiteral("值超出了整数的范围 (-2147483648 到 2147483647).");
    if (state == QLatin1String("22P02") || state == QLatin1String("42804")) {
        // 'invalid input syntax for type integer: "abc"' names no column;
        // 'column "istrue" is of type boolean but ...' does.
        static const QRegularExpression typed(
            QStringLiteral("column \"(\\w+)\" is of type (\\w+)"));
        const QRegularExpressionMatch m = typed.match(text);
        if (m.hasMatch() && m.captured(2) == QLatin1String("boolean"))
            return QStringLiteral("列 %1 只能是 True 或 False.")
                .arg(Connection::canonicalColumn(table, m.captured(1)));
        if (m.hasMatch() && m.captured(2) == QLatin1String("integer"))
            return QStringLiteral("列 %1 只能存放整数, 不能存放其他内容.")
                .arg(Connection::canonicalColumn(table, m.captured(1)));
        if (text.contains(QLatin1String("type integer")))
            return QStringLiteral("值只能是整数, 不能是其他内容.");
        if (text.contains(QLatin1String("type boolean")))
            return QStringLiteral("值只能是 True 或 False.");
        return QStringLiteral("值的类型与列不符.");
    }
    if (state == QLatin1String("23514")) {
        // The constraints are named <column>_is_boolean (and the like).
        static const QRegularExpression named(QStringLiteral("^(\\w+)_is_boolean$"));
        const QRegularExpressionMatch m = named.match(field(result, PG_DIAG_CONSTRAINT_NAME));
        if (m.hasMatch())
            return QStringLiteral("列 %1 只能是 True 或 False.")
                .arg(Connection::canonicalColumn(table, m.captured(1)));
    }
    if (state.startsWith(QLatin1String("23")))
        return QStringLiteral("值不符合表的要求.");
    if (state == QLatin1String("57014"))
        return QStringLiteral("语句执行的时间太长, 已经停止, 没有保存任何修改. "
                              "请稍后再试; 如果一直这样, 请告诉试题库服务器的管理员.");
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01") ||
        state == QLatin1String("40001"))
        return QStringLiteral("试题库正被另一个程序使用, 请稍后再试.");
    if (state == QLatin1String("25006"))
        return QStringLiteral("试题库是以只读方式打开的, 无法保存修改.");
    if (state.startsWith(QLatin1String("42501")))
        return QStringLiteral("没有修改试题库的权限, 请让试题库服务器的管理员给您的帐号授权.");
    if (state.startsWith(QLatin1String("53")))
        return QStringLiteral("试题库服务器的资源不足 (磁盘或内存), 无法保存修改. "
                              "请告诉试题库服务器的管理员.");
    if (state.startsWith(QLatin1String("57P")) || state.startsWith(QLatin1String("08")))
        return QStringLiteral("与试题库服务器的连接断开了, 刚才的修改没有保存. "
                              "请检查网络, 等服务器恢复后再做一次 (程序会自动重新连接).");
    return QStringLiteral("SQL 语句出错.");
}

} // namespace

pg_conn* connectToServer(const QString& uri, const char* applicationName) {
    const QByteArray name = uri.toUtf8();
    // Earlier keywords are defaults the URI may override; the encoding is ours.
    // A server that vanishes from the network (no reset, just silence) must
    // give an error in well under a minute, not a window that waits forever:
    // keepalives find a silent peer, the user timeout unacknowledged data.
    const char* const keywords[] = {"connect_timeout",  "keepalives",
                                    "keepalives_idle",  "keepalives_interval",
                                    "keepalives_count", "tcp_user_timeout",
                                    "application_name", "dbname",
                                    "client_encoding",  nullptr};
    const char* const values[] = {
        "10", "1", "15", "5", "3", "30000", applicationName, name.constData(), "UTF8", nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    if (!conn)
        throw EngineError(QStringLiteral("内存不足, 无法连接试题库服务器."));
    const QString where = fileWhere(uri);
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString text = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        PQfinish(conn);
        const bool password = text.contains(QLatin1String("password"), Qt::CaseInsensitive);
        throw EngineError((password
                               ? QStringLiteral("无法登录试题库服务器: 用户名或密码不对. "
                                                "请检查密码文件 (~/.pgpass) 或向管理员确认帐号. ")
                               : QStringLiteral("无法连接试题库服务器. 请检查服务器地址和网络, "
                                                "或者请管理员确认服务器正在运行. ")) +
                          where + QStringLiteral(" (PostgreSQL: ") + text + QLatin1Char(')'));
    }
    const int version = PQserverVersion(conn);
    if (version < 150000) {
        PQfinish(conn);
        throw EngineError(QStringLiteral("试题库服务器的 PostgreSQL 版本是 %1, 本程序需要 15 "
                                         "或更新的版本. 请让管理员升级服务器. ")
                              .arg(version / 10000) +
                          where);
    }
    // The server's notices ("... does not exist, skipping") are no one's concern.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return conn;
}

QString serverErrorState(const pg_result* result) {
    return field(result, PG_DIAG_SQLSTATE);
}

EngineError serverError(pg_conn* conn, const pg_result* result, const QString& where) {
    QString state = serverErrorState(result);
    QString text = field(result, PG_DIAG_MESSAGE_PRIMARY);
    // libpq's own texts run over several lines; the message area shows one.
    if (text.isEmpty())
        text = QString::fromUtf8(conn ? PQerrorMessage(conn) : "").simplified();
    // A connection that broke leaves no error class behind.
    if (state.isEmpty() && (!conn || PQstatus(conn) == CONNECTION_BAD))
        state = QStringLiteral("08006");
    QString message = describe(state, result);
    if (!where.isEmpty())
        message += QLatin1Char(' ') + where;
    message += QStringLiteral(" (PostgreSQL: ") + text + QLatin1Char(')');
    EngineError error(message);
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        error.markConnectionLost();
    return error;
}

} // namespace tess
