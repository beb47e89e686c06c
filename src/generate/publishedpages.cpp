#include "generate/publishedpages.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <QDir>
#include <QFileInfo>

namespace tess {

namespace {

const QString kWhere = QStringLiteral("[表 published_page]");

// A bank that could not be upgraded has no such table.
bool hasRecord(const Connection& connection) {
    return connection.hasTable(QStringLiteral("published_page"));
}

} // namespace

QString publishedPageKey(const QString& outputPath) {
    const QFileInfo file(outputPath);
    const QString canonical = file.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(file.absoluteFilePath()) : canonical;
}

std::optional<PagePublisher> lastPublisher(const Connection& connection,
                                           const QString& outputPath) {
    if (!hasRecord(connection))
        return std::nullopt;
    Statement stmt(connection,
                   QStringLiteral("select p.PapID, case when p.PapID is null then r.PapNam "
                                  "else p.PapNam end from published_page r left join paper p on "
                                  "p.PapID = r.PapID where r.path = ?"),
                   kWhere);
    stmt.bind(1, publishedPageKey(outputPath));
    if (!stmt.step())
        return std::nullopt;
    PagePublisher publisher;
    if (!stmt.isNull(0))
        publisher.papId = int(stmt.int64(0));
    publisher.name = stmt.text(1);
    return publisher;
}

QString overwriteQuestion(const Connection& connection, const QString& outputPath, int papId,
                          const QString& name) {
    if (!QFileInfo(outputPath).isFile())
        return QString();
    const std::optional<PagePublisher> last = lastPublisher(connection, outputPath);
    // A deleted paper's page is asked about too: it may be all that is left of it.
    if (!last || last->papId == papId)
        return QString();
    return QStringLiteral("文件 %1 是试卷 \"%2\" 生成的, 要用试卷 \"%3\" 覆盖它吗?")
        .arg(outputPath, last->name, name);
}

void rememberPublisher(const Connection& connection, const QString& outputPath, int papId,
                       const QString& name) {
    if (!hasRecord(connection))
        throw EngineError(
            QStringLiteral("试题库还没有升级到本程序的格式, 没有记录生成文件的地方."));
    Statement stmt(connection,
                   QStringLiteral("insert into published_page (path, PapID, PapNam) values (?, ?, "
                                  "?) on conflict (path) do update set PapID = excluded.PapID, "
                                  "PapNam = excluded.PapNam"),
                   kWhere);
    stmt.bind(1, publishedPageKey(outputPath));
    stmt.bind(2, papId);
    stmt.bind(3, name);
    stmt.run();
}

} // namespace tess
