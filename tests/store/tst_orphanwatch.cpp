// The orphan trim that looks only where the bank's triggers say a record may
// have lost its owner, against the trim that reads the whole tables before
// every new record; and banks of the earlier schema brought up to date.
#include "bankhelpers.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/orphanwatch.h"
#include "store/query.h"
#include "store/recordnumbering.h"
#include "store/schema.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <sqlite3.h>

using tess::Connection;
using tess::NextIds;
using tess::TrimScope;

Q_DECLARE_METATYPE(tess::TrimScope)

namespace {

// A statement of the file's dialect as the server takes it: no conflict
// clauses (the server has none), its own schema version and trigger syntax.
QString forEngine(const QString& sql) {
    if (!banktest::onServer())
        return sql;
    QString text = sql;
    static const QRegularExpression conflict(
        QStringLiteral("\\b(insert|update) or (abort|rollback|fail)\\b"));
    text.replace(conflict, QStringLiteral("\\1"));
    static const QRegularExpression version(QStringLiteral("pragma user_version = (\\d+)"));
    text.replace(version, QStringLiteral("update tess_schema set version = \\1"));
    static const QRegularExpression trigger(QStringLiteral("drop trigger (orphans_([a-z]+)_\\w+)"));
    text.replace(trigger, QStringLiteral("drop trigger \\1 on \\2"));
    return text;
}

// Every row of the three tables with its rowid, in a form QCOMPARE can show.
QStringList dump(Connection& conn) {
    QStringList out;
    const QStringList tables = {QStringLiteral("paper"), QStringLiteral("question"),
                                QStringLiteral("choice")};
    const QStringList columns[] = {
        {QStringLiteral("PapID"), QStringLiteral("PapNam"), QStringLiteral("PapScr")},
        {QStringLiteral("QstID"), QStringLiteral("PapIdx"), QStringLiteral("QstIdx")},
        {QStringLiteral("ChcID"), QStringLiteral("QstIdx"), QStringLiteral("ChcIdx")}};
    for (int t = 0; t < tables.size(); ++t) {
        tess::Query q(conn);
        q.setSql(QStringLiteral("select rowid as r, * from %1 order by rowid").arg(tables[t]));
        q.open();
        for (q.first(); !q.eof(); q.next()) {
            QString line = tables[t] + QLatin1Char(' ') + q.asString(QStringLiteral("r"));
            for (const QString& column : columns[t])
                line += QLatin1Char(' ') + column + QLatin1Char('=') +
                        (q.isNull(column) ? QStringLiteral("null") : q.asString(column));
            out << line;
        }
    }
    return out;
}

// The trim of every run, reading the whole tables, as the numbering did before
// the bank kept its watch.
NextIds refreshWhole(Connection& conn, int curPapId, int curQstId) {
    tess::Query maxId(conn);
    auto next = [&](const QString& sql) {
        maxId.close();
        maxId.setSql(sql);
        maxId.open();
        return maxId.asInteger(QStringLiteral("maxID")) + 1;
    };
    NextIds ids;
    ids.papId = next(QStringLiteral("select max(PapID) as maxID from paper"));
    ids.qstId = next(QStringLiteral("select max(QstID) as maxID from question"));
    ids.chcId = next(QStringLiteral("select max(ChcID) as maxID from choice"));
    ids.chcIdx =
        next(QStringLiteral("select max(chcidx) as maxID from choice where choice.qstidx = %1")
                 .arg(curQstId));
    ids.qstIdx = next(QStringLiteral("select max(qstidx) as maxID from question where papidx = %1")
                          .arg(curPapId));
    conn.execute(QStringLiteral(
        "delete from choice where (select count(*) from question where qstid = choice.qstidx)=0"));
    conn.execute(QStringLiteral(
        "delete from question where (select count(*) from paper where papid = question.papidx)=0"));
    return ids;
}

// One bank and the connections a test works through: the program's own and
// another program's.
struct Bank {
    explicit Bank(const QString& file) : path(file) {}
    QString path;
    std::unique_ptr<Connection> own;
    std::unique_ptr<Connection> other;
    std::unique_ptr<tess::Query> maxId;
    std::unique_ptr<tess::Command> trim;

    void open() {
        own = std::make_unique<Connection>();
        banktest::openConnection(*own, path);
        other = std::make_unique<Connection>();
        banktest::openConnection(*other, path);
        // Nothing here is about durability: no sync per statement.
        if (!banktest::onServer()) {
            own->execute(QStringLiteral("pragma synchronous = off"));
            other->execute(QStringLiteral("pragma synchronous = off"));
        }
        maxId = std::make_unique<tess::Query>(*own);
        trim = std::make_unique<tess::Command>(*own);
    }
    void close() {
        trim.reset();
        maxId.reset();
        other.reset();
        own.reset();
    }
};

} // namespace

class TestOrphanWatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameBankAsTrimmingEveryTime_data();
    void sameBankAsTrimmingEveryTime();
    void scopeFollowsWhatHappened_data();
    void scopeFollowsWhatHappened();
    void upgradeKeepsEveryRow();
    void failedUpgradeLeavesBankAsItWas();
    void newerBankLeftAlone();
    void pageRecordAddedToABankOfThisSchema();

private:
    QTemporaryDir m_dir;
};

void TestOrphanWatch::sameBankAsTrimmingEveryTime_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("earlierSchema");
    QTest::newRow("new bank, seed 1") << 1u << false;
    QTest::newRow("new bank, seed 2") << 2u << false;
    QTest::newRow("new bank, seed 3") << 3u << false;
    QTest::newRow("upgraded bank, seed 4") << 4u << true;
    QTest::newRow("upgraded bank, seed 5") << 5u << true;
}

// Two copies of one bank take the same random commands, some of them from a
// second program in between: one trims the whole tables before every new
// record, the other as the program does. After every command both hold the
// same rows and both give the same identifiers and numbers.
void TestOrphanWatch::sameBankAsTrimmingEveryTime() {
    QFETCH(quint32, seed);
    QFETCH(bool, earlierSchema);
    if (earlierSchema && banktest::onServer())
        QSKIP("a server bank has no earlier schema");
    const QString tag = QString::number(seed);
    Bank whole{m_dir.filePath(tag + QStringLiteral("-whole.mdb"))};
    Bank watched{m_dir.filePath(tag + QStringLiteral("-watched.mdb"))};

    // A start with orphans of both kinds, written before any watch existed
    // (an upgraded bank) or recorded by the triggers (a bank of this schema).
    const QString start = QStringLiteral(
        "insert into paper (PapID, PapNam, PapScr) values (1, 'a', 10), (2, 'b', 20), (4, 'd', 0);"
        "insert into question (QstID, PapIdx, QstIdx) values (1, 1, 1), (2, 1, 2), (3, 2, 1),"
        " (4, 3, 1), (5, 4, 1), (7, 9, 1);"
        "insert into choice (ChcID, QstIdx, ChcIdx) values (1, 1, 1), (2, 1, 2), (3, 2, 1),"
        " (4, 4, 1), (5, 6, 1), (6, 7, 1), (8, 5, 1);");
    for (Bank* bank : {&whole, &watched}) {
        if (earlierSchema) {
            QFile schema(QFINDTESTDATA("data/schema-1.sql"));
            QVERIFY(schema.open(QIODevice::ReadOnly));
            QFile file(bank->path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            // Made and filled as the earlier program made banks, without a watch.
            sqlite3* raw = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(bank->path).constData(), &raw), SQLITE_OK);
            const QByteArray script = schema.readAll() + start.toUtf8();
            QCOMPARE(sqlite3_exec(raw, script.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(raw);
        } else {
            banktest::freshBank(bank->path);
        }
        bank->open();
        if (!earlierSchema)
            bank->own->execute(start);
    }
    QCOMPARE(tess::trimScope(*watched.own), earlierSchema ? TrimScope::Whole : TrimScope::Suspects);

    QRandomGenerator random(seed);
    // An identifier present in the bank (by the whole bank, which both share),
    // mostly the largest so that it is given again, sometimes one that is not there.
    auto pick = [&](const char* table, const char* column) {
        const int max =
            banktest::scalar(*whole.own, QStringLiteral("select coalesce(max(%1), 0) "
                                                        "as v from %2")
                                             .arg(QLatin1String(column), QLatin1String(table)))
                .toInt();
        switch (random.bounded(4)) {
        case 0:
            return max + 1;
        case 1:
            return max;
        default:
            return banktest::scalar(
                       *whole.own,
                       QStringLiteral("select coalesce((select %1 from %2 order by random() "
                                      "limit 1), 0) as v")
                           .arg(QLatin1String(column), QLatin1String(table)))
                .toInt();
        }
    };
    auto both = [&](const std::function<void(Connection&)>& write) {
        write(*whole.other);
        write(*watched.other);
    };
    // A statement another program sends, on both banks.
    auto otherProgram = [&] {
        const int paper = pick("paper", "PapID");
        const int question = pick("question", "QstID");
        QString sql;
        switch (random.bounded(9)) {
        case 0:
            sql = QStringLiteral("delete from paper where PapID = %1").arg(paper);
            break;
        case 1:
            sql = QStringLiteral("delete from question where QstID = %1").arg(question);
            break;
        case 2:
            // With a conflict clause, which the triggers' own inserts take over.
            sql = QStringLiteral("insert or abort into question (QstID, PapIdx, QstIdx) values "
                                 "((select coalesce(max(QstID), 0) + 1 from question), %1, 1)")
                      .arg(paper + int(random.bounded(2)));
            break;
        case 3:
            sql = QStringLiteral("insert or rollback into choice (ChcID, QstIdx, ChcIdx) values "
                                 "((select coalesce(max(ChcID), 0) + 1 from choice), %1, 1)")
                      .arg(question + int(random.bounded(2)));
            break;
        case 4:
            sql = QStringLiteral("update question set QstID = (select max(QstID) + 1 from "
                                 "question) where QstID = %1")
                      .arg(question);
            break;
        case 5:
            sql = QStringLiteral("update paper set PapID = (select max(PapID) + 1 from paper) "
                                 "where PapID = %1")
                      .arg(paper);
            break;
        case 6:
            sql = QStringLiteral("update or fail question set PapIdx = %1 where QstID = %2")
                      .arg(paper + int(random.bounded(2)))
                      .arg(question);
            break;
        case 7:
            sql = QStringLiteral("update choice set QstIdx = %1 where ChcID = (select max(ChcID) "
                                 "from choice)")
                      .arg(question + int(random.bounded(2)));
            break;
        default:
            sql = QStringLiteral("delete from choice where QstIdx = %1").arg(question);
        }
        both([&](Connection& conn) { conn.execute(forEngine(sql)); });
    };

    int curPap = -1;
    int curQst = -1;
    for (int step = 0; step < 250; ++step) {
        const int command = int(random.bounded(12));
        QString what;
        if (command <= 2) {
            // A new record: its numbering, then (sometimes after another
            // program wrote) the record itself.
            if (command == 1)
                curPap = pick("paper", "PapID");
            if (command == 2)
                curQst = pick("question", "QstID");
            const NextIds a = refreshWhole(*whole.own, curPap, curQst);
            const NextIds b = tess::refreshNextIds(*watched.maxId, *watched.trim, curPap, curQst);
            what = QStringLiteral("step %1: new record %2").arg(step).arg(command);
            QVERIFY2(a.papId == b.papId && a.qstId == b.qstId && a.chcId == b.chcId &&
                         a.qstIdx == b.qstIdx && a.chcIdx == b.chcIdx,
                     qPrintable(what));
            if (random.bounded(4) == 0)
                otherProgram();
            // An identifier another program took meanwhile gives way to the
            // next free one, as the cursor does.
            auto free = [](const char* table, const char* column, int id) {
                return QStringLiteral("case when exists (select 1 from %1 where %2 = %3) then "
                                      "(select max(%2) + 1 from %1) else %3 end")
                    .arg(QLatin1String(table), QLatin1String(column))
                    .arg(id);
            };
            const QString insert =
                command == 0 ? QStringLiteral("insert into paper (PapID, PapNam) values (%1, 'n')")
                                   .arg(free("paper", "PapID", a.papId))
                : command == 1
                    ? QStringLiteral("insert into question (QstID, PapIdx, QstIdx) values "
                                     "(%1, %2, %3)")
                          .arg(free("question", "QstID", a.qstId))
                          .arg(curPap)
                          .arg(a.qstIdx)
                    : QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx) values "
                                     "(%1, %2, %3)")
                          .arg(free("choice", "ChcID", a.chcId))
                          .arg(curQst)
                          .arg(a.chcIdx);
            whole.own->execute(insert);
            watched.own->execute(insert);
        } else if (command <= 7) {
            // The program's deletions: one paper, one question, one choice,
            // a paper's questions, everything.
            QStringList sql;
            switch (command) {
            case 3:
                sql << QStringLiteral("delete from paper where PapID = %1")
                           .arg(pick("paper", "PapID"));
                break;
            case 4:
                sql << QStringLiteral("delete from question where QstID = %1")
                           .arg(pick("question", "QstID"));
                break;
            case 5:
                sql << QStringLiteral("delete from choice where ChcID = %1")
                           .arg(pick("choice", "ChcID"));
                break;
            case 6:
                sql << QStringLiteral("delete * from question where papidx =%1")
                           .arg(pick("paper", "PapID"));
                break;
            default:
                if (random.bounded(8) == 0)
                    sql << QStringLiteral("delete * from choice")
                        << QStringLiteral("delete * from question")
                        << QStringLiteral("delete * from paper");
            }
            what = QStringLiteral("step %1: %2").arg(step).arg(sql.join(QStringLiteral("; ")));
            for (const QString& statement : std::as_const(sql)) {
                whole.own->execute(statement);
                watched.own->execute(statement);
            }
        } else if (command <= 10) {
            what = QStringLiteral("step %1: another program").arg(step);
            otherProgram();
        } else {
            // The program ends and starts again on the same bank.
            what = QStringLiteral("step %1: reopened").arg(step);
            whole.close();
            watched.close();
            whole.open();
            watched.open();
        }
        const QStringList expected = dump(*whole.own);
        const QStringList actual = dump(*watched.own);
        if (actual != expected)
            QCOMPARE(actual.join(QLatin1Char('\n')) + QLatin1Char('\n') + what,
                     expected.join(QLatin1Char('\n')) + QLatin1Char('\n') + what);
    }
}

void TestOrphanWatch::scopeFollowsWhatHappened_data() {
    QTest::addColumn<QString>("statements");
    QTest::addColumn<TrimScope>("scope");
    const QString fill =
        QStringLiteral("insert into paper (PapID) values (1), (2);"
                       "insert into question (QstID, PapIdx, QstIdx) values (10, 1, 1), (20, 2, 1);"
                       "insert into choice (ChcID, QstIdx, ChcIdx) values (100, 10, 1);"
                       "delete from orphan_owner;");
    QTest::newRow("fresh bank") << QString() << TrimScope::None;
    QTest::newRow("a paper with questions deleted")
        << fill + QStringLiteral("delete from paper where PapID = 1") << TrimScope::Suspects;
    QTest::newRow("a paper without questions deleted")
        << fill + QStringLiteral("insert into paper (PapID) values (3);"
                                 "delete from paper where PapID = 3")
        << TrimScope::None;
    QTest::newRow("a question without choices deleted")
        << fill + QStringLiteral("delete from question where QstID = 20") << TrimScope::None;
    QTest::newRow("a question with choices deleted")
        << fill + QStringLiteral("delete from question where QstID = 10") << TrimScope::Suspects;
    QTest::newRow("a choice of a missing question")
        << fill + QStringLiteral("insert into choice (ChcID, QstIdx) values (101, 11)")
        << TrimScope::Suspects;
    QTest::newRow("a choice deleted")
        << fill + QStringLiteral("delete from choice") << TrimScope::None;
    QTest::newRow("questions of a missing paper, aborting on conflict")
        << fill + QStringLiteral("insert or abort into question (QstID, PapIdx) values (30, 7);"
                                 "insert or abort into question (QstID, PapIdx) values (31, 7);"
                                 "update or fail question set PapIdx = 8 where QstID >= 30")
        << TrimScope::Suspects;
    QTest::newRow("a unique index of another program")
        << QStringLiteral("create unique index other on question (PapIdx, QstIdx)")
        << TrimScope::Unwatched;
    QTest::newRow("state not known")
        << QStringLiteral("insert into orphan_owner (kind, id) values ('all', 0)")
        << TrimScope::Whole;
    QTest::newRow("a trigger dropped")
        << QStringLiteral("drop trigger orphans_choice_added") << TrimScope::Unwatched;
    QTest::newRow("earlier schema version")
        << QStringLiteral("pragma user_version = 1") << TrimScope::Unwatched;
}

// What the triggers record, written by any program (here a plain connection).
void TestOrphanWatch::scopeFollowsWhatHappened() {
    QFETCH(QString, statements);
    QFETCH(TrimScope, scope);
    // The server has no REPLACE that a unique index could turn into a silent removal.
    if (banktest::onServer() && QLatin1String(QTest::currentDataTag()) ==
                                    QLatin1String("a unique index of another program"))
        scope = TrimScope::None;
    const QString path = m_dir.filePath(QStringLiteral("scope.mdb"));
    QFile::remove(path);
    banktest::freshBank(path);
    banktest::BankConnection conn(path);
    if (!statements.isEmpty())
        conn.execute(forEngine(statements));
    QCOMPARE(tess::trimScope(conn), scope);
    // A trim leaves nothing to look at, except after a paper's questions went:
    // their choices go on the next run.
    tess::Command trim(conn);
    tess::trimOrphans(trim);
    if (scope == TrimScope::Unwatched)
        return;
    const bool choicesLeft = statements.endsWith(QStringLiteral("PapID = 1"));
    QCOMPARE(tess::trimScope(conn), choicesLeft ? TrimScope::Suspects : TrimScope::None);
    tess::trimOrphans(trim);
    QCOMPARE(tess::trimScope(conn), TrimScope::None);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice where QstIdx not in (select QstID from "
                                                  "question)")),
             0);
}

// A bank of the earlier schema, opened: every row stays, the watch and the
// index are added in one go, and the first trim reads the whole bank.
void TestOrphanWatch::upgradeKeepsEveryRow() {
    if (banktest::onServer())
        QSKIP("about the schema versions of a bank file");
    const QString path = m_dir.filePath(QStringLiteral("earlier.mdb"));
    QFile schema(QFINDTESTDATA("data/schema-1.sql"));
    QVERIFY(schema.open(QIODevice::ReadOnly));
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &raw), SQLITE_OK);
    const QByteArray script =
        schema.readAll() +
        "insert into users values ('Admin', ''), ('老师', 'x');"
        "insert into paper values (1, '期中', 100, 'a.html', '语文'), (2, '期末', 90, null, null);"
        "insert into question values (1, 1, 1, '判断题', 10, '<b>题</b>', 1), (2, 7, 1, null, "
        "null, null, 0);"
        "insert into choice values (1, 1, 1, 0, 'A'), (2, 2, 1, 1, 'B'), (3, 5, 1, 0, 'C');";
    QCOMPARE(sqlite3_exec(raw, script.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    banktest::BankConnection conn(path);
    QVERIFY(conn.upgradeProblem().isEmpty());
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select user_version as v from "
                                                   "pragma_user_version()"))
                 .toInt(),
             tess::kPaperBankVersion);
    QCOMPARE(banktest::count(conn, QStringLiteral("users")), 2);
    QCOMPARE(dump(conn).size(), 7);
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select group_concat(QstCon) as v from "
                                                   "question"))
                 .toString(),
             QStringLiteral("<b>题</b>"));
    QCOMPARE(banktest::count(conn, QStringLiteral("sqlite_schema where name = "
                                                  "'question_QstIdx'")),
             1);
    QCOMPARE(tess::trimScope(conn), TrimScope::Whole);
    QCOMPARE(banktest::count(conn, QStringLiteral("sqlite_schema where name like "
                                                  "'published_page%'")),
             4);
    // The question cursor's starting filter is served by the new index.
    tess::Query plan(conn);
    plan.setSql(QStringLiteral("explain query plan select * from question where QstIdx = 0"));
    plan.open();
    QVERIFY(plan.asString(QStringLiteral("detail")).contains(QStringLiteral("question_QstIdx")));

    tess::Command trim(conn);
    tess::trimOrphans(trim); // question 2 and choice 3 lose nothing else; choice 2 goes next
    QCOMPARE(banktest::count(conn, QStringLiteral("question")), 1);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice")), 2);
    tess::trimOrphans(trim);
    QCOMPARE(banktest::count(conn, QStringLiteral("choice")), 1);
    QCOMPARE(tess::trimScope(conn), TrimScope::None);

    // Opened again, nothing more is done to it.
    conn.close();
    banktest::openConnection(conn, path);
    QCOMPARE(tess::trimScope(conn), TrimScope::None);
}

// Another program holds the bank while it would be upgraded: the bank is used
// as it is, says why, and is trimmed whole every time.
void TestOrphanWatch::failedUpgradeLeavesBankAsItWas() {
    if (banktest::onServer())
        QSKIP("about the schema versions of a bank file");
    const QString path = m_dir.filePath(QStringLiteral("held.mdb"));
    QFile schema(QFINDTESTDATA("data/schema-1.sql"));
    QVERIFY(schema.open(QIODevice::ReadOnly));
    sqlite3* holder = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &holder), SQLITE_OK);
    const QByteArray script = schema.readAll() + "insert into paper (PapID) values (1);";
    QCOMPARE(sqlite3_exec(holder, script.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "begin immediate", nullptr, nullptr, nullptr), SQLITE_OK);

    Connection conn;
    conn.setBusyTimeout(50);
    banktest::openConnection(conn, path);
    QVERIFY(!conn.upgradeProblem().isEmpty());
    QCOMPARE(tess::trimScope(conn), TrimScope::Unwatched);
    sqlite3_exec(holder, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select user_version as v from "
                                                   "pragma_user_version()"))
                 .toInt(),
             1);
    QCOMPARE(banktest::count(conn, QStringLiteral("sqlite_schema where type = 'trigger'")), 0);
    QCOMPARE(banktest::count(conn, QStringLiteral("paper")), 1);
    // Still trimmed, whole.
    conn.execute(QStringLiteral("insert into question (QstID, PapIdx) values (1, 5)"));
    tess::Command trim(conn);
    tess::trimOrphans(trim);
    QCOMPARE(trim.text(), QStringLiteral("delete from question where (select count(*) from paper "
                                         "where papid = question.papidx)=0"));
    QCOMPARE(banktest::count(conn, QStringLiteral("question")), 0);
}

// A bank made by a later version of the program keeps its schema.
void TestOrphanWatch::newerBankLeftAlone() {
    if (banktest::onServer())
        QSKIP("about the schema versions of a bank file");
    const QString path = m_dir.filePath(QStringLiteral("newer.mdb"));
    tess::createPaperBank(path);
    {
        banktest::BankConnection conn(path);
        conn.execute(QStringLiteral("drop trigger orphans_paper_deleted; pragma user_version = %1")
                         .arg(tess::kPaperBankVersion + 1));
    }
    banktest::BankConnection conn(path);
    QVERIFY(conn.upgradeProblem().isEmpty());
    QCOMPARE(banktest::count(conn, QStringLiteral("sqlite_schema where name = "
                                                  "'orphans_paper_deleted'")),
             0);
    QCOMPARE(tess::trimScope(conn), TrimScope::Unwatched);
}

// A bank made by this program before it remembered published pages: opened
// to work in, it gets the record, and its watch goes on as it was, with no
// whole trim. Opened only to read, it is left as it is.
void TestOrphanWatch::pageRecordAddedToABankOfThisSchema() {
    if (banktest::onServer())
        QSKIP("about the schema versions of a bank file");
    const QString path = m_dir.filePath(QStringLiteral("before-record.mdb"));
    tess::createPaperBank(path);
    const QString recordParts = QStringLiteral("sqlite_schema where name like 'published_page%'");
    {
        banktest::BankConnection conn(path);
        conn.execute(QStringLiteral("drop trigger published_page_paper_deleted; drop trigger "
                                    "published_page_paper_renumbered; drop table published_page"));
        conn.execute(QStringLiteral("insert into paper (PapID, PapNam) values (1, '期中')"));
        conn.execute(QStringLiteral("insert into question (QstID, PapIdx) values (1, 1)"));
        QCOMPARE(banktest::count(conn, recordParts), 0);
        QCOMPARE(tess::trimScope(conn), TrimScope::None);
    }
    {
        Connection reading;
        reading.setDataSource(path);
        reading.openForReading();
        QCOMPARE(banktest::count(reading, recordParts), 0);
    }
    banktest::BankConnection conn(path);
    QVERIFY(conn.upgradeProblem().isEmpty());
    QCOMPARE(banktest::count(conn, recordParts), 4);
    QCOMPARE(tess::trimScope(conn), TrimScope::None);
    QCOMPARE(banktest::scalar(conn, QStringLiteral("select user_version as v from "
                                                   "pragma_user_version()"))
                 .toInt(),
             tess::kPaperBankVersion);
    // The watch still records what happens.
    conn.execute(QStringLiteral("delete from paper where PapID = 1"));
    QCOMPARE(tess::trimScope(conn), TrimScope::Suspects);
}

QTEST_GUILESS_MAIN(TestOrphanWatch)
#include "tst_orphanwatch.moc"
