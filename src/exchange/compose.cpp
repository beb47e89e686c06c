#include "exchange/compose.h"

#include "bank/plaintext.h"
#include "exchange/bankexchange.h"
#include "exchange/exchangemodel.h"
#include "store/connection.h"
#include "store/query.h"
#include "store/statement.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <climits>

namespace tess {

int ComposeDraw::fullMark() const {
    qint64 sum = 0;
    for (const DrawnQuestion& q : questions)
        sum += q.mark;
    return int(std::clamp<qint64>(sum, INT_MIN, INT_MAX));
}

namespace {

// A random order of the questions that both engines compute alike:
// (m * QstID + c) mod p with p prime and m not 0 is a different permutation
// for every seed, so a draw needs no list of the bank's identifiers.
struct Shuffle {
    static constexpr qint64 kPrime = 2147483647;
    qint64 m = 1;
    qint64 c = 0;
    explicit Shuffle(quint32 seed) {
        QRandomGenerator gen(seed);
        m = 1 + qint64(gen.bounded(quint32(kPrime - 1)));
        c = qint64(gen.bounded(quint32(kPrime)));
    }
    QString expression(const QString& id) const {
        return QStringLiteral("((cast(") + id + QStringLiteral(" as bigint) * ") +
               QString::number(m) + QStringLiteral(" + ") + QString::number(c) +
               QStringLiteral(") % ") + QString::number(kPrime) + QLatin1Char(')');
    }
};

// "The same text": the text a reader sees; a question that shows no words
// (a picture only) is told apart by its HTML. A question without any text
// has no key: it is never drawn.
QString textKey(const QString& html) {
    if (html.trimmed().isEmpty())
        return QString();
    const QString plain = plainTextOf(html).trimmed();
    return plain.isEmpty() ? QChar(u'\0') + html.trimmed() : plain;
}

QString idList(const QVector<int>& ids) {
    QStringList parts;
    for (const int id : ids)
        parts << QString::number(id);
    return parts.join(QLatin1Char(','));
}

// The part of a where clause that keeps the request's sources.
QString sourceCondition(const ComposeRequest& request) {
    QStringList either;
    if (!request.categories.isEmpty()) {
        QStringList quoted;
        for (const QString& category : request.categories)
            quoted << sqlText(category);
        either << QStringLiteral("p.PapCtg in (%1)").arg(quoted.join(QLatin1Char(',')));
    }
    if (!request.papers.isEmpty())
        either << QStringLiteral("q.PapIdx in (%1)").arg(idList(request.papers));
    QString where;
    if (!either.isEmpty())
        where += QStringLiteral(" and (") + either.join(QStringLiteral(" or ")) + QLatin1Char(')');
    if (request.excludePaper != 0)
        where += QStringLiteral(" and q.PapIdx <> ") + QString::number(request.excludePaper);
    return where;
}

// The texts of the excluded paper's questions.
QSet<QString> excludedKeys(const Connection& connection, int papId) {
    QSet<QString> keys;
    if (papId == 0)
        return keys;
    Statement stmt(connection, QStringLiteral("select QstCon from question where PapIdx = ?"),
                   QStringLiteral("[表 question]"));
    stmt.bind(1, papId);
    while (stmt.step())
        keys.insert(textKey(stmt.text(0)));
    return keys;
}

// Looks through a row's candidates in the shuffle's order for questions
// whose texts are not taken yet, fetching more candidates while too few are
// found, up to kMostCandidates.
class RowDrawer {
public:
    RowDrawer(const Connection& connection, const ComposeRequest& request, int row, quint32 seed)
        : m_connection(connection), m_request(request), m_row(row), m_shuffle(seed) {}

    // Up to `wanted` new questions; taken gains their keys.
    QVector<DrawnQuestion> draw(int wanted, QSet<QString>& taken) {
        QVector<DrawnQuestion> found;
        qint64 limit = qint64(wanted) * 4 + 8;
        int seen = 0; // candidates looked at in earlier rounds, the same ones again
        for (;;) {
            limit = std::min<qint64>(limit, kMostCandidates);
            const QVector<DrawnQuestion> candidates = fetch(int(limit));
            for (int i = seen; i < candidates.size() && found.size() < wanted; ++i) {
                if (candidates[i].key.isEmpty() || taken.contains(candidates[i].key))
                    continue;
                taken.insert(candidates[i].key);
                found << candidates[i];
            }
            seen = int(candidates.size());
            m_exhausted = candidates.size() < limit;
            if (found.size() >= wanted || m_exhausted || limit >= kMostCandidates)
                return found;
            limit *= 8;
        }
    }
    // Whether the last draw looked at every candidate the sources hold.
    bool exhausted() const { return m_exhausted; }

private:
    QVector<DrawnQuestion> fetch(int limit) const {
        const ComposeRow& row = m_request.rows[m_row];
        // The identifiers are ranked first; only the chosen ones' texts are
        // read (a test of the text here would read every candidate's).
        // Built by concatenation: a category may hold anything, "%1" too.
        const QString sql =
            QStringLiteral("select t.QstID, t.PapIdx, p.PapNam, q.QstCon from (select q.QstID, "
                           "q.PapIdx, ") +
            m_shuffle.expression(QStringLiteral("q.QstID")) +
            QStringLiteral(" as h from question q join paper p on p.PapID = q.PapIdx where "
                           "q.QstTyp = ?1 and q.QstScr = ?2") +
            sourceCondition(m_request) + QStringLiteral(" order by h, q.QstID limit ") +
            QString::number(limit) +
            QStringLiteral(") t join question q on q.QstID = t.QstID join paper p on p.PapID = "
                           "t.PapIdx order by t.h, t.QstID");
        Statement stmt(m_connection, sql, QStringLiteral("[抽题]"));
        stmt.bind(1, row.type);
        stmt.bind(2, row.mark);
        QVector<DrawnQuestion> candidates;
        while (stmt.step()) {
            DrawnQuestion& q = candidates.emplace_back();
            q.row = m_row;
            q.qstId = int(stmt.int64(0));
            q.papId = int(stmt.int64(1));
            q.paperName = stmt.text(2);
            q.type = row.type;
            q.mark = row.mark;
            const QString html = stmt.text(3);
            q.text = plainTextOf(html).trimmed();
            q.key = textKey(html);
        }
        return candidates;
    }

    const Connection& m_connection;
    const ComposeRequest& m_request;
    int m_row;
    Shuffle m_shuffle;
    bool m_exhausted = false;
};

QString rowName(const ComposeRow& row) {
    return QStringLiteral("%1 每题 %2 分").arg(row.type).arg(row.mark);
}

QString shortfall(const ComposeRow& row, int found, bool exhausted) {
    if (found == 0)
        return QStringLiteral("%1: 要 %2 道, 所选的类别和试卷里没有这样的题. 请换一个分值, 或多选"
                              "几个类别和试卷.")
            .arg(rowName(row))
            .arg(row.count);
    if (exhausted)
        return QStringLiteral("%1: 要 %2 道, 所选的类别和试卷里只有 %3 道 (文字相同的题只算一道). "
                              "请减少题数, 或多选几个类别和试卷.")
            .arg(rowName(row))
            .arg(row.count)
            .arg(found);
    return QStringLiteral("%1: 要 %2 道, 在 %3 道候选题中只找到 %4 道文字各不相同的题. 请减少题数, "
                          "或多选几个类别和试卷.")
        .arg(rowName(row))
        .arg(row.count)
        .arg(kMostCandidates)
        .arg(found);
}

} // namespace

ComposeDraw drawQuestions(const Connection& connection, const ComposeRequest& request,
                          quint32 seed) {
    ComposeDraw draw;
    QSet<QString> taken = excludedKeys(connection, request.excludePaper);
    QRandomGenerator seeds(seed);
    for (int row = 0; row < request.rows.size(); ++row) {
        const ComposeRow& wanted = request.rows[row];
        if (wanted.count <= 0)
            continue;
        RowDrawer drawer(connection, request, row, seeds.generate());
        const QVector<DrawnQuestion> found = drawer.draw(wanted.count, taken);
        draw.questions += found;
        if (found.size() < wanted.count)
            draw.shortfalls << shortfall(wanted, int(found.size()), drawer.exhausted());
    }
    return draw;
}

bool redrawOne(const Connection& connection, const ComposeRequest& request, ComposeDraw& draw,
               int index, quint32 seed) {
    if (index < 0 || index >= draw.questions.size())
        return false;
    const int row = draw.questions[index].row;
    if (row < 0 || row >= request.rows.size())
        return false;
    // Every text of the draw stays taken, the one replaced too: the new
    // question must differ from it.
    QSet<QString> taken = excludedKeys(connection, request.excludePaper);
    for (const DrawnQuestion& q : std::as_const(draw.questions))
        taken.insert(q.key);
    RowDrawer drawer(connection, request, row, seed);
    const QVector<DrawnQuestion> found = drawer.draw(1, taken);
    if (found.isEmpty())
        return false;
    draw.questions[index] = found.constFirst();
    return true;
}

int makeComposedPaper(Connection& connection, const ComposeDraw& draw, const QString& name,
                      const QString& category, const QString& outputFile) {
    Transaction transaction(connection);
    // The questions as they are now: another program may have changed them.
    QHash<int, QPair<QString, int>> stored;
    QVector<int> ids;
    for (const DrawnQuestion& q : draw.questions)
        ids << q.qstId;
    for (qsizetype from = 0; from < ids.size(); from += 1000) {
        Statement read(connection,
                       QStringLiteral("select QstID, QstTyp, QstScr from question where QstID in "
                                      "(%1)")
                           .arg(idList(ids.mid(from, 1000))),
                       QStringLiteral("[表 question]"));
        while (read.step())
            stored.insert(int(read.int64(0)), {read.text(1), int(read.int64(2))});
    }
    int changed = 0;
    for (const DrawnQuestion& q : draw.questions) {
        const auto it = stored.constFind(q.qstId);
        if (it == stored.constEnd() || it->first != q.type || it->second != q.mark)
            ++changed;
    }
    if (changed > 0)
        throw exchange::ExchangeError(
            QStringLiteral("抽到的题中有 %1 道在抽题之后被删除或改了题型、分值, 试卷没有生成. "
                           "请重新抽题.")
                .arg(changed));
    const int papId =
        exchange::addPaperOfQuestions(connection, name, category, draw.fullMark(), outputFile, ids);
    transaction.commit();
    return papId;
}

} // namespace tess
