#include "store/orphanwatch.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/query.h"
#include "store/schema.h"
#include "store/statement.h"

#include <algorithm>
#include <iterator>

namespace tess {

namespace {

const char* const kTriggers[] = {
    "orphans_paper_deleted",       "orphans_paper_renumbered", "orphans_question_deleted",
    "orphans_question_renumbered", "orphans_question_added",   "orphans_question_moved",
    "orphans_choice_added",        "orphans_choice_moved",
};

qint64 scalar(Connection& connection, const QString& sql) {
    Statement stmt(connection, sql, sql);
    return stmt.step() ? stmt.int64(0) : 0;
}

// The schema version that brought the orphan watch; later ones keep it.
constexpr int kWatchedSince = 2;
// The version that brought the page styles.
constexpr int kStyledSince = 4;

int bankVersion(Connection& connection) {
    if (connection.isServer())
        return int(scalar(connection,
                          QStringLiteral("select coalesce(max(version), 0) from tess_schema")));
    return int(scalar(connection, QStringLiteral("pragma user_version")));
}

// The version this program makes on the bank's engine.
int latestVersion(const Connection& connection) {
    return connection.isServer() ? kServerBankVersion : kPaperBankVersion;
}

// A server bank of an earlier version gets what the later ones add; its
// orphan watch came with its first version.
QString upgradeServerBank(Connection& connection) {
    if (bankVersion(connection) >= kServerBankVersion)
        return QString();
    try {
        Transaction transaction(connection);
        connection.execute(serverSchemaAdditions(), QStringLiteral("[升级试题库的结构]"));
        transaction.commit();
    } catch (const EngineError& e) {
        return e.message();
    }
    return QString();
}

QString quotedTriggerNames() {
    QStringList names;
    for (const char* trigger : kTriggers)
        names << QLatin1Char('\'') + QLatin1String(trigger) + QLatin1Char('\'');
    return names.join(QLatin1Char(','));
}

// On a server there is no REPLACE that could remove a record unseen: the
// table and the triggers are all the watch needs.
QString serverWatchCount() {
    return QStringLiteral("select (select count(distinct tgname) from pg_trigger t join "
                          "pg_class c on c.oid = t.tgrelid join pg_namespace n on n.oid "
                          "= c.relnamespace where n.nspname = current_schema() and "
                          "tgname in (%1)) + (select count(*) from pg_tables where "
                          "schemaname = current_schema() and tablename = 'orphan_owner')")
        .arg(quotedTriggerNames());
}

// Everything of the schema additions that came after the watch is there: a
// bank made or upgraded before they came gets them on its own, its watch kept.
bool laterAdditionsComplete(Connection& connection) {
    return scalar(connection, QStringLiteral("select count(*) from sqlite_schema where name in "
                                             "('published_page', 'published_page_PapID', "
                                             "'published_page_paper_deleted', "
                                             "'published_page_paper_renumbered')")) == 4;
}

// What the third version adds: the texts for the search (tables, indexes, the
// triggers that note changes) and the indexes that list questions by paper and by kind.
bool textAdditionsComplete(Connection& connection) {
    return scalar(connection,
                  QStringLiteral("select count(*) from sqlite_schema where name in ('text_plain', "
                                 "'text_plain_qst', 'text_plain_question', 'text_index', "
                                 "'text_terms', 'text_stale', 'text_stale_id', 'question_order', "
                                 "'question_kind', "
                                 "'text_question_added', 'text_question_changed', "
                                 "'text_question_deleted', 'text_choice_added', "
                                 "'text_choice_changed', 'text_choice_deleted')")) == 15;
}

// What the fourth version adds: the page style of each paper.
bool styleAdditionsComplete(Connection& connection) {
    return scalar(connection, QStringLiteral("select count(*) from sqlite_schema where name in "
                                             "('paper_style', 'paper_style_paper_deleted', "
                                             "'paper_style_paper_renumbered')")) == 3;
}

// The table, its index and every trigger are there, and no unique index but
// the identifiers' could make a REPLACE remove a record without a trigger.
bool watchComplete(Connection& connection) {
    const QString names =
        quotedTriggerNames() + QStringLiteral(",'orphan_owner','orphan_owner_kind_id'");
    if (scalar(connection, QStringLiteral("select count(*) from sqlite_schema where name in (%1)")
                               .arg(names)) != qint64(std::size(kTriggers)) + 2)
        return false;
    return scalar(connection,
                  QStringLiteral(
                      "select (select count(*) from pragma_index_list('paper') where \"unique\" "
                      "and name <> 'paper_PapID') + (select count(*) from "
                      "pragma_index_list('question') where \"unique\" and name <> "
                      "'question_QstID') + (select count(*) from pragma_index_list('choice') "
                      "where \"unique\" and name <> 'choice_ChcID')")) == 0;
}

// The trim's statements: over the whole tables, or only the records of the
// owners the watch recorded.
QString trimChoices(bool suspectsOnly) {
    return QStringLiteral("delete from choice where (select count(*) from question where qstid "
                          "= choice.qstidx)=0") +
           (suspectsOnly ? QStringLiteral(" and qstidx in (select id from orphan_owner where kind "
                                          "= 'question')")
                         : QString());
}

QString trimQuestions(bool suspectsOnly) {
    return QStringLiteral("delete from question where (select count(*) from paper where papid = "
                          "question.papidx)=0") +
           (suspectsOnly ? QStringLiteral(" and papidx in (select id from orphan_owner where kind "
                                          "= 'paper')")
                         : QString());
}

const QString kForgetQuestions = QStringLiteral("delete from orphan_owner where kind = 'question'");
const QString kForgetOthers = QStringLiteral("delete from orphan_owner where kind <> 'question'");

// An owner without identifier cannot be looked up by one: read it all.
const QString kOwnersKnown =
    QStringLiteral("select min(case when kind in ('paper', 'question') and id is not null then 1 "
                   "else 0 end) from orphan_owner");

TrimScope scopeOf(bool watched, const QVariant& ownersKnown) {
    if (!watched)
        return TrimScope::Unwatched;
    if (ownersKnown.isNull())
        return TrimScope::None;
    return ownersKnown.toLongLong() == 1 ? TrimScope::Suspects : TrimScope::Whole;
}

} // namespace

QString addOrphanWatch(Connection& connection) {
    if (connection.isServer())
        return upgradeServerBank(connection);
    const int version = bankVersion(connection);
    if (version > kPaperBankVersion)
        return QString();
    const bool watched = version >= kWatchedSince && watchComplete(connection);
    try {
        if (!watched || !laterAdditionsComplete(connection)) {
            Transaction transaction(connection);
            connection.execute(schemaAdditions(), QStringLiteral("[升级试题库的结构]"));
            // What happened before the watch is not known: the next trim reads it all.
            if (!watched)
                connection.execute(
                    QStringLiteral("insert into orphan_owner (kind, id) select 'all', 0 where not "
                                   "exists (select 1 from orphan_owner where kind = 'all')"));
            if (version < kWatchedSince)
                connection.execute(QStringLiteral("pragma user_version = %1").arg(kWatchedSince));
            transaction.commit();
        }
        // A step of its own: a bank whose engine lacks the index keeps its watch.
        if (version < kStyledSince - 1 || !textAdditionsComplete(connection)) {
            Transaction transaction(connection);
            connection.execute(textSchemaAdditions(), QStringLiteral("[升级试题库的结构]"));
            connection.execute(QStringLiteral("pragma user_version = %1")
                                   .arg(std::max(version, kStyledSince - 1)));
            transaction.commit();
        }
        if (version < kStyledSince || !styleAdditionsComplete(connection)) {
            Transaction transaction(connection);
            connection.execute(styleSchemaAdditions(), QStringLiteral("[升级试题库的结构]"));
            connection.execute(QStringLiteral("pragma user_version = %1").arg(kPaperBankVersion));
            transaction.commit();
        }
    } catch (const EngineError& e) {
        return e.message();
    }
    return QString();
}

QString serverTrimStateColumns(const Connection& connection) {
    // The version and the watch, asked before every new record.
    return QStringLiteral("(select coalesce(max(version), 0) from tess_schema) between 2 and %1 "
                          "and (%2) = %3 as watched, (%4) as scope, (select count(*) from "
                          "orphan_owner) as owners")
        .arg(latestVersion(connection))
        .arg(serverWatchCount())
        .arg(qint64(std::size(kTriggers)) + 1)
        .arg(kOwnersKnown);
}

TrimState serverTrimState(const Query& row) {
    const TrimScope scope =
        scopeOf(row.value(QStringLiteral("watched")).toBool(), row.value(QStringLiteral("scope")));
    return {scope, scope == TrimScope::Suspects ? row.asInteger(QStringLiteral("owners")) : 0};
}

TrimState trimState(Connection& connection) {
    if (connection.isServer()) {
        Query state(connection);
        state.setSql(QStringLiteral("select ") + serverTrimStateColumns(connection));
        state.open();
        return serverTrimState(state);
    }
    const int version = bankVersion(connection);
    const bool watched = version >= kWatchedSince && version <= latestVersion(connection) &&
                         watchComplete(connection);
    TrimState state{TrimScope::Unwatched, 0};
    if (watched) {
        Statement stmt(connection, kOwnersKnown, QStringLiteral("[表 orphan_owner]"));
        stmt.step();
        state.scope = scopeOf(true, stmt.isNull(0) ? QVariant() : QVariant(stmt.int64(0)));
    }
    if (state.scope == TrimScope::Suspects)
        state.owners = scalar(connection, QStringLiteral("select count(*) from orphan_owner"));
    return state;
}

TrimScope trimScope(Connection& connection) {
    return trimState(connection).scope;
}

void trimOrphans(Command& trim) {
    trimOrphans(trim, trimScope(trim.connection()));
}

void trimOrphans(Command& trim, TrimScope seen) {
    Connection& connection = trim.connection();
    if (seen == TrimScope::None)
        return;
    Transaction transaction(connection);
    if (connection.isServer() && seen != TrimScope::Unwatched) {
        // One request instead of six: the server decides the scope again under
        // the lock, and plans each statement for the scope it runs in (a
        // condition deciding it row by row would read whole tables).
        connection.execute(
            QStringLiteral("do $trim$ begin if exists (select 1 from orphan_owner where not (kind "
                           "in ('paper', 'question') and id is not null)) then %1; %2; %3; %4; "
                           "else %5; %2; %6; %4; end if; end $trim$")
                .arg(trimChoices(false), kForgetQuestions, trimQuestions(false), kForgetOthers,
                     trimChoices(true), trimQuestions(true)),
            QStringLiteral("[清除没有题目的选项和没有试卷的题目]"));
        transaction.commit();
        return;
    }
    // Decided again inside the transaction: no other program changes it now.
    const TrimScope scope = trimScope(connection);
    if (scope == TrimScope::None)
        return;
    const bool watched = scope != TrimScope::Unwatched;
    const bool suspectsOnly = scope == TrimScope::Suspects;
    trim.setText(trimChoices(suspectsOnly));
    trim.execute();
    if (watched)
        connection.execute(kForgetQuestions);
    // Questions removed now record their choices, which go on the next run.
    trim.setText(trimQuestions(suspectsOnly));
    trim.execute();
    if (watched)
        connection.execute(kForgetOthers);
    transaction.commit();
}

} // namespace tess
