#include "bank/textindex.h"

#include "bank/plaintext.h"
#include "store/bulkinsert.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QVector>
#include <limits>
#include <memory>
#include <optional>

namespace tess {

namespace {

const QString kWhere = QStringLiteral("[检索用的题目文字]");

struct TextRow {
    qint64 id;
    qint64 qst;
    QString text;
};

QVector<TextRow> readRows(Statement& select) {
    QVector<TextRow> rows;
    while (select.step())
        rows.append({select.int64(0), select.int64(1), select.text(2)});
    return rows;
}

// Keeps the rows' texts as a reader sees them. On a server they stream in
// with one request; the file's trigram index is fed from what was kept.
void keepTexts(Connection& connection, const QVector<TextRow>& rows) {
    if (rows.isEmpty())
        return;
    BulkInsert keep(connection, QStringLiteral("text_plain"),
                    {QStringLiteral("id"), QStringLiteral("qst"), QStringLiteral("plain")});
    for (const TextRow& row : rows) {
        keep.setValue(0, row.id);
        keep.setValue(1, row.qst);
        keep.setValue(2, plainTextOf(row.text));
        keep.addRow();
    }
    keep.finish();
}

qint64 count(Connection& connection, const QString& table) {
    Statement stmt(connection, QStringLiteral("select count(*) from %1").arg(table), kWhere);
    return stmt.step() ? stmt.int64(0) : 0;
}

} // namespace

TextIndexState textIndexState(const Connection& connection) {
    for (const char* table : {"text_plain", "text_stale"})
        if (!connection.hasTable(QLatin1String(table)))
            return TextIndexState::Missing;
    if (!connection.isServer() && !connection.hasTable(QStringLiteral("text_index")))
        return TextIndexState::Missing;
    Statement unbuilt(connection,
                      QStringLiteral("select 1 from text_stale where id is null limit 1"), kWhere);
    return unbuilt.step() ? TextIndexState::Unbuilt : TextIndexState::Ready;
}

bool buildTextIndex(Connection& connection, const TextIndexProgress& progress) {
    Transaction transaction(connection);
    const bool server = connection.isServer();
    // The index over every text may take longer than one statement is allowed.
    if (server)
        connection.execute(QStringLiteral("set local statement_timeout = 0"), kWhere);
    const qint64 total =
        count(connection, QStringLiteral("question")) + count(connection, QStringLiteral("choice"));
    qint64 done = 0;
    if (progress && !progress(done, total))
        return false;
    // The table is filled first and its indexes made after, from sorted
    // keys: far faster than keeping them up row by row. The schema's
    // additions make them again.
    for (const char* index : {"text_plain_qst", "text_plain_question", "text_plain_trigram"})
        connection.execute(QStringLiteral("drop index if exists %1").arg(QLatin1String(index)),
                           kWhere);
    if (!server) {
        connection.execute(
            QStringLiteral("insert into text_index(text_index) values('delete-all')"), kWhere);
        // Segments are merged once at the end rather than again and again.
        connection.execute(
            QStringLiteral("insert into text_index(text_index, rank) values('automerge', 0)"),
            kWhere);
    }
    connection.execute(QStringLiteral("delete from text_plain"), kWhere);
    // In slices by identifier, so that memory stays small and progress is told.
    const struct {
        QString select;
        qint64 base;
    } sources[] = {
        {QStringLiteral("select QstID, QstID, QstCon from question where QstID >= ?1 order by "
                        "QstID limit 20000"),
         0},
        {QStringLiteral("select ChcID, QstIdx, ChcCon from choice where ChcID >= ?1 order by ChcID "
                        "limit 20000"),
         kChoiceTextBase},
    };
    std::unique_ptr<Statement> index;
    if (!server)
        index = std::make_unique<Statement>(
            connection,
            QStringLiteral("insert into text_index(rowid, plain) select id, plain || '  ' from "
                           "text_plain where id between ?1 and ?2"),
            kWhere);
    for (const auto& source : sources) {
        Statement select(connection, source.select, kWhere);
        // Identifiers are 32-bit integers, and so is what they are compared with.
        std::optional<qint64> from = std::numeric_limits<qint32>::min();
        while (from) {
            select.reset();
            select.bind(1, *from);
            QVector<TextRow> rows = readRows(select);
            if (rows.isEmpty())
                break;
            from = rows.last().id < std::numeric_limits<qint32>::max()
                       ? std::optional<qint64>(rows.last().id + 1)
                       : std::nullopt;
            for (TextRow& row : rows)
                row.id += source.base;
            keepTexts(connection, rows);
            if (index) {
                index->reset();
                index->bind(1, rows.first().id);
                index->bind(2, rows.last().id);
                index->run();
            }
            done += rows.size();
            if (progress && !progress(done, total))
                return false;
        }
    }
    connection.execute(QStringLiteral("delete from text_stale"), kWhere);
    if (!server) {
        connection.execute(QStringLiteral("insert into text_index(text_index) values('optimize')"),
                           kWhere);
        connection.execute(
            QStringLiteral("insert into text_index(text_index, rank) values('automerge', 4)"),
            kWhere);
    }
    connection.execute(server ? serverSchemaAdditions() : textSchemaAdditions(), kWhere);
    transaction.commit();
    return true;
}

bool textsChanged(const Connection& connection) {
    Statement any(connection, QStringLiteral("select 1 from text_stale limit 1"), kWhere);
    return any.step();
}

bool refreshTextIndex(Connection& connection) {
    if (!textsChanged(connection))
        return true;
    Transaction transaction(connection);
    if (textIndexState(connection) != TextIndexState::Ready)
        return false;
    if (count(connection, QStringLiteral("text_stale")) > kMostTextsRefreshed) {
        connection.execute(QStringLiteral("insert into text_stale (id) values (null)"), kWhere);
        transaction.commit();
        return false;
    }
    const bool server = connection.isServer();
    if (!server)
        connection.execute(QStringLiteral("insert into text_index(text_index, rowid, plain) select "
                                          "'delete', id, plain || '  ' from text_plain where id in "
                                          "(select id from text_stale)"),
                           kWhere);
    connection.execute(
        QStringLiteral("delete from text_plain where id in (select id from text_stale)"), kWhere);
    Statement questions(connection,
                        QStringLiteral("select QstID, QstID, QstCon from question where QstID in "
                                       "(select id from text_stale where id < %1)")
                            .arg(kChoiceTextBase),
                        kWhere);
    Statement choices(connection,
                      QStringLiteral("select ChcID + %1, QstIdx, ChcCon from choice where ChcID in "
                                     "(select id - %1 from text_stale where id >= %1)")
                          .arg(kChoiceTextBase),
                      kWhere);
    QVector<TextRow> rows = readRows(questions);
    rows += readRows(choices);
    keepTexts(connection, rows);
    if (!server)
        connection.execute(
            QStringLiteral("insert into text_index(rowid, plain) select id, plain || '  ' "
                           "from text_plain where id in (select id from text_stale)"),
            kWhere);
    connection.execute(QStringLiteral("delete from text_stale"), kWhere);
    transaction.commit();
    return true;
}

} // namespace tess
