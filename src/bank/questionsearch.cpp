#include "bank/questionsearch.h"

#include "bank/plaintext.h"
#include "bank/textindex.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <QStringList>

namespace tess {

namespace {

QString foldLatin(const QString& text) {
    QString folded = text;
    for (QChar& c : folded)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return folded;
}

// The filters every search applies, on question q and paper p, with the
// text as ?1 and the others as ?2 to ?6.
QString filters(const QuestionSearch& search) {
    QString sql = QStringLiteral(
        "(?2 = '' or q.QstTyp = ?2) and (?3 = '' or p.PapCtg = ?3) and (?4 = '' or "
        "instr(lower(p.PapNam), lower(?4)) > 0) and (?5 < 0 or q.QstScr >= ?5) and (?6 < 0 or "
        "q.QstScr <= ?6)");
    if (search.after)
        sql += QStringLiteral(" and (q.PapIdx, q.QstIdx, q.QstID) > (%1, %2, %3)")
                   .arg(search.after->papId)
                   .arg(search.after->number)
                   .arg(search.after->qstId);
    return sql;
}

QString ordered(const QuestionSearch& search) {
    return QStringLiteral(" order by q.PapIdx, q.QstIdx, q.QstID") +
           (search.limit > 0 ? QStringLiteral(" limit %1").arg(search.limit) : QString());
}

void bindFilters(Statement& stmt, const QString& text, const QuestionSearch& search) {
    stmt.bind(1, text);
    stmt.bind(2, search.type);
    stmt.bind(3, search.category);
    stmt.bind(4, search.paper);
    stmt.bind(5, search.markFrom);
    stmt.bind(6, search.markTo);
}

QuestionHit hitOf(const Statement& stmt) {
    QuestionHit hit;
    hit.papId = int(stmt.int64(0));
    hit.qstId = int(stmt.int64(1));
    hit.number = int(stmt.int64(2));
    hit.type = stmt.text(3);
    hit.mark = int(stmt.int64(4));
    hit.paperName = stmt.text(6);
    return hit;
}

// Without the index: the engine picks the candidates and the text a reader
// sees decides. A text with tags or character references is always a
// candidate: a word may run across a tag, or be written as references.
QVector<QuestionHit> readEveryText(const Connection& connection, const QString& text,
                                   const QuestionSearch& search) {
    const QString marked = QStringLiteral("(instr(%1, '<') > 0 or instr(%1, '&') > 0 or "
                                          "instr(lower(%1), lower(?1)) > 0)");
    Statement stmt(connection,
                   QStringLiteral("select q.PapIdx, q.QstID, q.QstIdx, q.QstTyp, q.QstScr, "
                                  "q.QstCon, p.PapNam from question q join paper p on p.PapID = "
                                  "q.PapIdx where ") +
                       filters(search) +
                       QStringLiteral(" and (?1 = '' or %1 or exists (select 1 from choice c "
                                      "where c.QstIdx = q.QstID and %2))")
                           .arg(marked.arg(QStringLiteral("q.QstCon")),
                                marked.arg(QStringLiteral("c.ChcCon"))) +
                       QStringLiteral(" order by q.PapIdx, q.QstIdx, q.QstID"),
                   QStringLiteral("[搜索题目]"));
    bindFilters(stmt, text, search);
    Statement choices(connection,
                      QStringLiteral("select ChcCon from choice where QstIdx = ? order by ChcID"),
                      QStringLiteral("[表 choice]"));
    QVector<QuestionHit> hits;
    while (stmt.step()) {
        QuestionHit hit = hitOf(stmt);
        hit.text = plainTextOf(stmt.text(5));
        bool found = text.isEmpty() || containsIgnoringLatinCase(hit.text, text);
        if (!found) {
            choices.reset();
            choices.bind(1, hit.qstId);
            while (!found && choices.step())
                found = containsIgnoringLatinCase(plainTextOf(choices.text(0)), text);
        }
        if (!found)
            continue;
        hits << hit;
        if (search.limit > 0 && hits.size() >= search.limit)
            break;
    }
    return hits;
}

// Fewer candidates than this are listed from the index and sorted; with
// more, the questions are read in order, which finds a screenful soon.
constexpr int kFewCandidates = 5000;

QString quotedTerms(const QStringList& grams, const QString& joiner) {
    QStringList terms;
    for (QString gram : grams) {
        gram.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        terms << QLatin1Char('"') + gram + QLatin1Char('"');
    }
    return terms.join(joiner);
}

// The file's index asked for the texts that may hold text: every trigram of
// it (at most a few dozen, spread over it, as the texts found are checked
// whole anyway); a shorter text through the trigrams that start with it.
// Empty when the index would name too many texts to help; nullopt when no
// text can hold it.
std::optional<QString> indexQuery(const Connection& connection, const QString& text) {
    const QList<uint> points = text.toUcs4();
    if (points.size() >= 3) {
        const qsizetype grams = points.size() - 2;
        const qsizetype most = 32;
        QStringList picked;
        for (qsizetype k = 0; k < std::min(grams, most); ++k) {
            const qsizetype at = grams <= most ? k : k * (grams - 1) / (most - 1);
            picked << QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData() + at),
                                        3);
        }
        return quotedTerms(picked, QStringLiteral(" AND "));
    }
    Statement terms(connection,
                    QStringLiteral("select term from text_terms where term >= ?1 and term < ?1 "
                                   "|| char(1114111) limit %1")
                        .arg(kFewCandidates + 1),
                    QStringLiteral("[搜索题目]"));
    terms.bind(1, text.toLower());
    QStringList grams;
    while (terms.step())
        grams << terms.text(0);
    if (grams.isEmpty())
        return std::nullopt;
    if (grams.size() > kFewCandidates)
        return QString();
    return quotedTerms(grams, QStringLiteral(" OR "));
}

QString likePattern(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// How the questions that hold the text are found, as a condition on q.
struct TextMatch {
    QString condition;
    QString parameter; // ?7, when the condition has it
};

std::optional<TextMatch> textMatch(const Connection& connection, const QString& text) {
    if (text.isEmpty())
        return TextMatch{QStringLiteral("?1 = ''"), QString()};
    // Every question in order, each looked up by its texts.
    const TextMatch reading{QStringLiteral("exists (select 1 from text_plain t where t.qst = "
                                           "q.QstID and instr(lower(t.plain), lower(?1)) > 0)"),
                            QString()};
    if (connection.isServer())
        return text.toUcs4().size() < 3
                   ? reading
                   : TextMatch{QStringLiteral("?1 <> '' and q.QstID in (select t.qst from "
                                              "text_plain t where lower(t.plain) like lower(?7) "
                                              "escape '\\')"),
                               likePattern(text)};
    const std::optional<QString> query = indexQuery(connection, text);
    if (!query)
        return std::nullopt;
    if (query->isEmpty())
        return reading;
    Statement candidates(connection,
                         QStringLiteral("select count(*) from (select rowid from text_index where "
                                        "text_index match ?1 limit %1)")
                             .arg(kFewCandidates),
                         QStringLiteral("[搜索题目]"));
    candidates.bind(1, *query);
    const qint64 count = candidates.step() ? candidates.int64(0) : 0;
    if (count == 0)
        return std::nullopt;
    if (count >= kFewCandidates)
        return reading;
    return TextMatch{QStringLiteral("q.QstID in (select t.qst from text_index i join text_plain t "
                                    "on t.id = i.rowid where text_index match ?7 and "
                                    "instr(lower(t.plain), lower(?1)) > 0)"),
                     *query};
}

QVector<QuestionHit> searchIndex(const Connection& connection, const QString& text,
                                 const QuestionSearch& search) {
    const std::optional<TextMatch> match = textMatch(connection, text);
    if (!match)
        return {};
    Statement stmt(connection,
                   QStringLiteral("select q.PapIdx, q.QstID, q.QstIdx, q.QstTyp, q.QstScr, "
                                  "coalesce(t.plain, ''), p.PapNam, case when t.plain is null "
                                  "then 1 else 0 end, q.QstCon from question q join paper p on "
                                  "p.PapID = q.PapIdx left join text_plain t on t.id = q.QstID "
                                  "where ") +
                       filters(search) + QStringLiteral(" and ") + match->condition +
                       ordered(search),
                   QStringLiteral("[搜索题目]"));
    bindFilters(stmt, text, search);
    if (!match->parameter.isEmpty())
        stmt.bind(7, match->parameter);
    QVector<QuestionHit> hits;
    while (stmt.step()) {
        QuestionHit hit = hitOf(stmt);
        hit.text = stmt.int64(7) ? plainTextOf(stmt.text(8)) : stmt.text(5);
        hits << hit;
    }
    Statement same(connection,
                   QStringLiteral("select count(*) from text_plain where id < %1 and plain = ?1")
                       .arg(kChoiceTextBase),
                   QStringLiteral("[搜索题目]"));
    for (QuestionHit& hit : hits) {
        // A text of pictures alone reads as nothing: such texts are not the same.
        if (hit.text.isEmpty())
            continue;
        same.reset();
        same.bind(1, hit.text);
        hit.sameText = same.step() ? int(same.int64(0)) : 0;
    }
    return hits;
}

} // namespace

bool containsIgnoringLatinCase(const QString& text, const QString& needle) {
    return foldLatin(text).contains(foldLatin(needle));
}

QVector<QuestionHit> searchQuestions(Connection& connection, const QuestionSearch& search) {
    const QString text = search.text.simplified();
    bool indexed = textIndexState(connection) == TextIndexState::Ready;
    // A bank open for reading only cannot bring its index up to date.
    if (indexed && connection.isReadOnly())
        indexed = !textsChanged(connection);
    else if (indexed) {
        // A bank that cannot take the changed texts now (another program
        // holds it, a text that breaks the index) is searched all the same.
        try {
            indexed = refreshTextIndex(connection);
        } catch (const EngineError&) {
            indexed = false;
        }
    }
    return indexed ? searchIndex(connection, text, search)
                   : readEveryText(connection, text, search);
}

} // namespace tess
