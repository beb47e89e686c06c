// The search across a district bank (100,000 papers, 1,000,000 questions,
// 4,000,000 choices): building the text index as the upgrade of an earlier
// bank does (time, the bank's growth against the indexed texts), then each
// search to its first screenful in a process of its own, as a teacher meets
// it (warm file cache; and once after dropping the cache where allowed), and
// copying 100 questions with their choices into a paper.
//   bench_search            [the bank is made and indexed when it is not yet]
//   bench_search --rebuild  [the index is built again and timed]
#include "bank/questionsearch.h"
#include "bank/textindex.h"
#include "benchbank.h"
#include "exchange/bankexchange.h"
#include "store/connection.h"
#include "store/statement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kFolder = QStringLiteral("/tmp/tessaloom-bench");
constexpr int kScreenful = 50;

qint64 scalar(tess::Connection& conn, const QString& sql) {
    tess::Statement stmt(conn, sql, sql);
    return stmt.step() ? stmt.int64(0) : 0;
}

struct Case {
    const char* name;
    tess::QuestionSearch search;
};

QVector<Case> cases(const QString& six) {
    auto text = [](const QString& t) {
        tess::QuestionSearch s;
        s.text = t;
        return s;
    };
    tess::QuestionSearch type;
    type.type = QStringLiteral("单选题");
    tess::QuestionSearch category;
    category.category = QString::fromUtf8(bench::kCategories[3]);
    tess::QuestionSearch marks;
    marks.markFrom = 4;
    marks.markTo = 5;
    marks.category = category.category;
    tess::QuestionSearch paper;
    paper.paper = QStringLiteral("期末");
    tess::QuestionSearch within = text(six.left(4));
    within.type = QStringLiteral("多选题");
    within.category = category.category;
    return {
        {"two characters, common", text(six.left(2))},
        {"two characters, found nowhere", text(QStringLiteral("伽玛"))},
        {"six characters of a question", text(six)},
        {"a Latin word (none in this bank)", text(QStringLiteral("Refraction"))},
        {"one character", text(six.left(1))},
        {"four characters within type and category", within},
        {"filter: type", type},
        {"filter: category", category},
        {"filter: category and marks", marks},
        {"filter: part of a paper's name", paper},
    };
}

// One search to its first screenful, in this fresh process.
int runOne(const QString& bank, int index, const QString& six) {
    tess::Connection conn;
    conn.setDataSource(bank);
    conn.open();
    tess::QuestionSearch search = cases(six).at(index).search;
    search.limit = kScreenful;
    QElapsedTimer t;
    t.start();
    const QVector<tess::QuestionHit> hits = tess::searchQuestions(conn, search);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("%.3f %lld\n", ms, qint64(hits.size()));
    return 0;
}

bool dropCache() {
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    ::sync();
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString bank = kFolder + QStringLiteral("/district.mdb");
    if (args.value(1) == QStringLiteral("--one"))
        return runOne(bank, args.value(2).toInt(), args.value(3));
    std::printf("search benchmark, %s\n", qPrintable(bench::machineFacts()));
    bench::ensureBank(bank, bench::kDistrict, QStringLiteral("district"),
                      bench::freeBytes(kFolder) < 8e9);

    tess::Connection conn;
    conn.setDataSource(bank);
    QElapsedTimer t;
    t.start();
    conn.open();
    std::printf("open with the schema's upgrade: %s\n", qPrintable(bench::cell(t.elapsed())));
    if (args.contains(QStringLiteral("--rebuild")))
        conn.execute(QStringLiteral("insert into text_stale (id) values (null)"));
    if (tess::textIndexState(conn) == tess::TextIndexState::Unbuilt) {
        int told = -1;
        t.restart();
        tess::buildTextIndex(conn, [&](qint64 done, qint64 total) {
            const int tenth = total ? int(done * 10 / total) : 10;
            if (tenth != told)
                std::printf("  %3d%% after %s\n", tenth * 10, qPrintable(bench::cell(t.elapsed())));
            std::fflush(stdout);
            told = tenth;
            return true;
        });
        const double took = double(t.elapsed());
        // What the index adds to the bank: the texts' table, its indexes, the
        // trigram index and the order of the questions.
        const double added = double(
            scalar(conn, QStringLiteral("select sum(pgsize) from dbstat where name like 'text\\_%' "
                                        "escape '\\' or name = 'question_order'")));
        const double texts = double(scalar(
            conn, QStringLiteral("select sum(length(cast(plain as blob))) from text_plain")));
        std::printf("index built in %s; the bank grew by %s, %.2f times the indexed texts (%s, "
                    "UTF-8); bank now %s\n",
                    qPrintable(bench::cell(took)), qPrintable(bench::mb(added)), added / texts,
                    qPrintable(bench::mb(texts)), qPrintable(bench::fileFacts(bank)));
    }
    QString six;
    {
        tess::Statement sample(conn,
                               QStringLiteral("select plain from text_plain where id = 777777"),
                               QStringLiteral("sample"));
        six = sample.step() ? sample.text(0).mid(20, 6) : QString();
    }
    conn.close();

    std::printf("\nsearch to the first %d hits, each in a new process (median of 5, warm "
                "cache; then once with the file cache dropped)\n",
                kScreenful);
    const QVector<Case> all = cases(six);
    for (int i = 0; i < all.size(); ++i) {
        std::vector<double> runs;
        QString hits;
        double cold = -1;
        for (int k = 0; k < 6; ++k) {
            const bool dropped = k == 5 && dropCache();
            if (k == 5 && !dropped)
                break;
            QProcess p;
            p.start(app.applicationFilePath(), {QStringLiteral("--one"), QString::number(i), six});
            p.waitForFinished(-1);
            const QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split(u' ');
            if (dropped)
                cold = out.value(0).toDouble();
            else
                runs.push_back(out.value(0).toDouble());
            hits = out.value(1).trimmed();
        }
        std::printf("  %-44s %10s %10s  %s hits\n", all[i].name,
                    qPrintable(bench::cell(bench::median(runs))), qPrintable(bench::cell(cold)),
                    qPrintable(hits));
        std::fflush(stdout);
    }

    // 100 questions of a paper copied to the end of another, then removed again.
    conn.open();
    QVector<int> ids;
    {
        tess::Statement pick(conn,
                             QStringLiteral("select QstID from question where PapIdx = %1 order by "
                                            "QstID limit 100")
                                 .arg(bench::bigPaperId(bench::kDistrict.papers)),
                             QStringLiteral("pick"));
        while (pick.step())
            ids << int(pick.int64(0));
    }
    const int target = bench::workPaperId(bench::kDistrict.papers);
    std::vector<double> copies;
    for (int k = 0; k < 5; ++k) {
        const qint64 firstNew = scalar(conn, QStringLiteral("select max(QstID) from question")) + 1;
        t.restart();
        tess::exchange::copyQuestionsTo(conn, ids, target, false);
        copies.push_back(double(t.nsecsElapsed()) / 1e6);
        conn.execute(QStringLiteral("begin; delete from choice where QstIdx >= %1; delete from "
                                    "question where QstID >= %1; commit")
                         .arg(firstNew));
    }
    std::printf("\ncopy 100 questions with their choices into a paper: %s (median of 5)\n",
                qPrintable(bench::cell(bench::median(copies))));
    return 0;
}
