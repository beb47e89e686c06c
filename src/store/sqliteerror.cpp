#include "store/sqliteerror.h"

#include "store/connection.h"

#include <QDir>
#include <QRegularExpression>
#include <sqlite3.h>

namespace tess {

namespace {

// "NOT NULL constraint failed: paper.PapID" and the like end with table.column.
QString trailingColumn(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral("([A-Za-z_][A-Za-z0-9_]*\\.[A-Za-z_][A-Za-z0-9_]*)\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString describe(int extended, const QString& text) {
    switch (extended) {
    case SQLITE_CONSTRAINT_NOTNULL: {
        const QString column = trailingColumn(text);
        return QStringLiteral("列 %1 不能为空, 请填写它的值.").arg(column);
    }
    case SQLITE_CONSTRAINT_DATATYPE: {
        static const QRegularExpression re(
            QStringLiteral("cannot store (\\w+) value in (\\w+) column (\\S+)"));
        const QRegularExpressionMatch m = re.match(text);
        if (m.hasMatch() && m.captured(2) == QLatin1String("INTEGER"))
            return QStringLiteral("列 %1 只能存放整数, 不能存放其他内容.").arg(m.captured(3));
        if (m.hasMatch())
            return QStringLiteral("列 %1 只能存放文本.").arg(m.captured(3));
        return QStringLiteral("值的类型与列不符.");
    }
    case SQLITE_CONSTRAINT_CHECK: {
        static const QRegularExpression re(QStringLiteral("(\\w+)_is_(int32|boolean)"));
        const QRegularExpressionMatch m = re.match(text);
        if (m.hasMatch() && m.captured(2) == QLatin1String("int32"))
            return QStringLiteral("列 %1 的值超出了整数的范围 (-2147483648 到 2147483647).")
                .arg(m.captured(1));
        if (m.hasMatch())
            return QStringLiteral("列 %1 只能是 True 或 False.").arg(m.captured(1));
        return QStringLiteral("值不符合列的要求.");
    }
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
        const QString column = trailingColumn(text);
        if (column.compare(QLatin1String("users.acount"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("已经有同名的帐号 (帐号名不区分大小写), 请换一个帐号名.");
        return QStringLiteral("列 %1 的值与另一条记录重复.").arg(column);
    }
    default:
        break;
    }
    switch (extended & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("试题库正被另一个程序使用, 请关闭那个程序后再试.");
    case SQLITE_NOTADB:
        return QStringLiteral("文件不是试题库.");
    case SQLITE_CORRUPT:
        return QStringLiteral("试题库文件已经损坏.");
    case SQLITE_READONLY:
        return QStringLiteral("试题库文件是只读的, 无法保存修改. "
                              "请取消文件的只读属性, 或把它放到可以写入的文件夹后再试.");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开试题库文件, 请确认文件存在, 而且它所在的文件夹可以写入.");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满, 无法保存修改. 请腾出磁盘空间后再试.");
    case SQLITE_IOERR:
        return QStringLiteral("读写试题库文件时出错.");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("值不符合表的要求.");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足.");
    default:
        return QStringLiteral("SQL 语句出错.");
    }
}

} // namespace

EngineError sqliteError(int rc, const QString& sqliteText, const QString& where) {
    QString message = describe(rc, sqliteText);
    if (!where.isEmpty())
        message += QLatin1Char(' ') + where;
    message += QStringLiteral(" (SQLite: ") + sqliteText + QLatin1Char(')');
    return EngineError(message);
}

EngineError sqliteError(sqlite3* db, int rc, const QString& where) {
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    const QString text =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    // The extended code belongs to the last call on db; rc is what the caller saw.
    return sqliteError((extended & 0xff) == (rc & 0xff) ? extended : rc, text, where);
}

QString statementForMessage(const QString& sql) {
    QString text = sql.simplified();
    if (text.size() > 160)
        text = text.left(157) + QStringLiteral("...");
    return QStringLiteral("[语句: ") + text + QLatin1Char(']');
}

QString fileWhere(const QString& path) {
    if (Connection::isServerName(path))
        return QStringLiteral("[试题库: ") + displayBankName(path) + QLatin1Char(']');
    return QStringLiteral("[文件: ") + QDir::toNativeSeparators(path) + QLatin1Char(']');
}

} // namespace tess
