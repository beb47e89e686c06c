#include "store/pagestyle.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <algorithm>

namespace tess {

namespace {

const QString kTable = QStringLiteral("paper_style");
const QString kWhere = QStringLiteral("[表 paper_style]");

} // namespace

QString pageStyleName(PageStyle style) {
    return style == PageStyle::Phone ? QStringLiteral("手机友好") : QStringLiteral("经典");
}

std::optional<PageStyle> pageStyleFromName(const QString& name) {
    if (name == QStringLiteral("经典"))
        return PageStyle::Classic;
    if (name == QStringLiteral("手机友好"))
        return PageStyle::Phone;
    return std::nullopt;
}

bool canKeepPaperStyle(const Connection& connection) {
    return connection.hasTable(kTable);
}

PaperStyle readPaperStyle(const Connection& connection, int papId) {
    PaperStyle style;
    if (!canKeepPaperStyle(connection))
        return style;
    Statement stmt(connection,
                   QStringLiteral("select style, shuffle_choices, shuffle_questions, time_limit "
                                  "from paper_style where PapID = ?"),
                   kWhere);
    stmt.bind(1, papId);
    if (!stmt.step())
        return style;
    // Another program may have written anything: what is not understood is
    // read as the classic page without options.
    style.style = stmt.int64(0) == 1 ? PageStyle::Phone : PageStyle::Classic;
    style.shuffleChoices = stmt.int64(1) == 1;
    style.shuffleQuestions = stmt.int64(2) == 1;
    const qint64 limit = stmt.int64(3);
    style.timeLimit = limit > 0 && limit <= kMaxTimeLimit ? int(limit) : 0;
    return style;
}

void writePaperStyle(const Connection& connection, int papId, const PaperStyle& style) {
    if (!canKeepPaperStyle(connection))
        throw EngineError(
            QStringLiteral("试题库还没有升级到本程序的格式, 没有记录试卷页面样式的地方."));
    if (style == PaperStyle{}) {
        Statement stmt(connection, QStringLiteral("delete from paper_style where PapID = ?"),
                       kWhere);
        stmt.bind(1, papId);
        stmt.run();
        return;
    }
    Statement stmt(connection,
                   QStringLiteral("insert into paper_style (PapID, style, shuffle_choices, "
                                  "shuffle_questions, time_limit) values (?, ?, ?, ?, ?) on "
                                  "conflict (PapID) do update set style = excluded.style, "
                                  "shuffle_choices = excluded.shuffle_choices, shuffle_questions "
                                  "= excluded.shuffle_questions, time_limit = excluded.time_limit"),
                   kWhere);
    stmt.bind(1, papId);
    stmt.bind(2, int(style.style));
    stmt.bind(3, style.shuffleChoices ? 1 : 0);
    stmt.bind(4, style.shuffleQuestions ? 1 : 0);
    stmt.bind(5, std::clamp(style.timeLimit, 0, kMaxTimeLimit));
    stmt.run();
}

} // namespace tess
