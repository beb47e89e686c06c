#include "bank/bankcopy.h"

#include "bank/bankpictures.h"
#include "bank/passwordhash.h"
#include "store/bulkinsert.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <optional>

namespace tess {

namespace {

// In the order their owners come first; published_page and paper_style may
// be missing in a bank of an earlier version, picture is only on a server.
const char* const kTables[] = {"paper",          "question",    "choice", "users",
                               "published_page", "paper_style", "picture"};
const char* const kRecordTables[] = {"paper", "question", "choice"};

QStringList columnsOf(const Connection& bank, const QString& table) {
    Statement stmt(bank, QStringLiteral("select * from %1 where 1 = 0").arg(table), table);
    stmt.step();
    QStringList columns;
    for (int i = 0; i < stmt.columnCount(); ++i) {
        // The server's own row order column is made anew, not copied.
        const QString name = stmt.columnName(i);
        if (name.compare(QStringLiteral("rowid"), Qt::CaseInsensitive) != 0)
            columns << name;
    }
    return columns;
}

qint64 rowCount(const Connection& bank, const QString& table) {
    Statement stmt(bank, QStringLiteral("select count(*) from %1").arg(table), table);
    stmt.step();
    return stmt.int64(0);
}

// The target opened, made first where it is a missing file or an empty
// server database; madeFile tells which file to take away again on failure.
void openTarget(Connection& target, const QString& to, QString& madeFile) {
    if (!Connection::isServerName(to)) {
        if (!QFileInfo::exists(to)) {
            createPaperBank(to);
            madeFile = to;
        }
    } else {
        // createPaperBank refuses a database that already holds tables: then
        // it must be a paper bank without records, as opening checks below.
        try {
            createPaperBank(to);
        } catch (const EngineError&) {
        }
    }
    target.setDataSource(to);
    target.open();
    for (const char* table : kRecordTables)
        if (rowCount(target, QLatin1String(table)) > 0)
            throw EngineError(
                QStringLiteral("目标试题库 %1 中已经有试卷或题目, 复制会把两个试题库混在一起, "
                               "所以没有复制. 请复制到新的试题库文件, 或服务器上空的数据库.")
                    .arg(displayBankName(to)));
}

} // namespace

BankCopy copyBank(const QString& from, const QString& to,
                  const std::function<void(qint64, qint64)>& progress, const QString& fromPictures,
                  const QString& toPictures) {
    if (!Connection::isServerName(from) && !Connection::isServerName(to) &&
        QFileInfo(from).absoluteFilePath() == QFileInfo(to).absoluteFilePath())
        throw EngineError(QStringLiteral("源试题库和目标试题库是同一个文件, 没有复制."));
    Connection source;
    source.setDataSource(from);
    source.openForReading();

    QString madeFile;
    Connection target;
    BankCopy copied;
    try {
        openTarget(target, to, madeFile);
        QStringList tables;
        qint64 total = 0;
        for (const char* name : kTables) {
            const QString table = QLatin1String(name);
            if (!source.hasTable(table) || !target.hasTable(table))
                continue;
            tables << table;
            total += rowCount(source, table);
        }
        qint64 done = 0;
        Transaction transaction(target);
        // The new bank's own accounts (its Admin) give way to the copied ones.
        target.execute(QStringLiteral("delete from users"));
        for (const QString& table : std::as_const(tables)) {
            const QStringList targetColumns = columnsOf(target, table);
            QStringList columns;
            for (const QString& column : columnsOf(source, table))
                if (targetColumns.contains(column, Qt::CaseInsensitive))
                    columns << column;
            if (columns.isEmpty())
                continue;
            Statement read(
                source, QStringLiteral("select %1 from %2").arg(columns.join(u','), table), table);
            BulkInsert write(target, table, columns);
            const int password = table == QLatin1String("users")
                                     ? int(columns.indexOf(QStringLiteral("password")))
                                     : -1;
            std::optional<QList<ColumnKind>> kinds;
            while (read.step()) {
                if (!kinds) {
                    kinds.emplace();
                    for (int i = 0; i < columns.size(); ++i)
                        kinds->append(columnKind(read.declaredType(i),
                                                 source.isBooleanColumn(table, columns.at(i))));
                }
                for (int i = 0; i < columns.size(); ++i) {
                    QVariant value = read.value(i, kinds->at(i));
                    // Every teacher with access can read a server bank's accounts.
                    if (i == password && target.isServer() && !value.isNull() &&
                        !isPasswordHash(value.toString()))
                        value = hashPassword(value.toString());
                    write.setValue(i, value);
                }
                write.addRow();
                ++copied.rows;
                if (progress && (++done % 1000 == 0 || done == total))
                    progress(done, total);
            }
            write.finish();
        }
        if (target.isServer() && !source.isServer() && !fromPictures.isEmpty()) {
            QStringList named = picturesNamedInBank(source).values();
            named.sort();
            copied.warnings += keepPicturesInBank(target, named, fromPictures);
        }
        transaction.commit();
    } catch (...) {
        target.close();
        if (!madeFile.isEmpty())
            QFile::remove(madeFile);
        throw;
    }
    if (progress && copied.rows == 0)
        progress(0, 0);
    if (source.isServer() && !target.isServer() && !toPictures.isEmpty()) {
        QStringList kept = picturesKeptInBank(source).values();
        kept.sort();
        copied.warnings += fetchPicturesFromBank(source, kept, toPictures);
    }
    const Connection& server = target.isServer() ? target : source;
    copied.pictures = picturesKeptInBank(server).size();
    return copied;
}

} // namespace tess
