// The district bank on a PostgreSQL server on this machine (a Unix socket):
// copying it there from the file beside loading the same rows with COPY, the
// server bank's size, sign-in as a new process beside psql reading the paper
// list as a new process, and every step a teacher takes, timed, with the
// round trips to the server each one costs.
//
// How to run:
//   ninja -C build bench_server
//   build/bin/bench_server [folder]   (or TESS_BENCH_DIR; default /tmp/tessaloom-bench)
//   TESS_BENCH_SIZE=small  the 1,000-paper bank instead of the district bank
//   TESS_BENCH_RUNS        sign-ins and step runs (default 5); medians printed
//   TESS_PG_URI            a running server's "postgres" database to use, as
//                          scripts/pg-test-server.sh prints it; without it a
//                          throwaway server is started in folder/pg (that
//                          script, fsync off) and stopped at the end
// The file banks are made once and kept in the folder (as bench_scale makes
// them); the server databases bench_tool and bench_copy are made afresh.
#include "app/tessapplication.h"
#include "app/tpassworddlg.h"
#include "bank/bankcopy.h"
#include "benchbank.h"
#include "benchserver.h"
#include "benchwindow.h"
#include "frame/prompts.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/schema.h"
#include "store/statement.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTextStream>

namespace {

using namespace bench;

// --- the rows as CSV, and COPY ------------------------------------------------------

struct TableRows {
    const char* table;
    const char* columns;
};
// What the copy carries (published_page is empty in the made banks).
const TableRows kTables[] = {{"paper", "PapID, PapNam, PapScr, PapSav, PapCtg"},
                             {"question", "QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue"},
                             {"choice", "ChcID, QstIdx, ChcIdx, IsTrue, ChcCon"},
                             {"users", "acount, password"}};

// Every row of the file's tables as CSV: texts quoted, nulls empty.
void dumpCsv(const QString& bank, const QString& folder) {
    Db db(bank, SQLITE_OPEN_READONLY);
    for (const TableRows& t : kTables) {
        QFile out(folder + QLatin1Char('/') + QLatin1String(t.table) + QStringLiteral(".csv"));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write " + out.fileName().toStdString());
        Stmt s(db, (std::string("select ") + t.columns + " from " + t.table).c_str());
        QByteArray buffer;
        const int n = sqlite3_column_count(s.get());
        while (s.step()) {
            for (int i = 0; i < n; ++i) {
                if (i > 0)
                    buffer += ',';
                switch (sqlite3_column_type(s.get(), i)) {
                case SQLITE_NULL:
                    break;
                case SQLITE_INTEGER:
                    buffer += QByteArray::number(sqlite3_column_int64(s.get(), i));
                    break;
                default: {
                    const QByteArray text(
                        reinterpret_cast<const char*>(sqlite3_column_text(s.get(), i)),
                        sqlite3_column_bytes(s.get(), i));
                    buffer += '"' + QByteArray(text).replace('"', "\"\"") + '"';
                }
                }
            }
            buffer += '\n';
            if (buffer.size() > (1 << 20)) {
                out.write(buffer);
                buffer.clear();
            }
        }
        out.write(buffer);
    }
}

// psql's script that loads the CSV files in one transaction, as the copy
// tool does: the new bank's own account gives way to the copied ones.
QString loadScript(const QString& folder) {
    QString script = QStringLiteral("delete from users;\n");
    for (const TableRows& t : kTables)
        script += QStringLiteral("\\copy %1 (%2) from '%3/%1.csv' with (format csv)\n")
                      .arg(QLatin1String(t.table), QLatin1String(t.columns), folder);
    return script;
}

qint64 count(const QString& uri, const char* table) {
    return psql(uri, QStringLiteral("select count(*) from %1").arg(QLatin1String(table)))
        .toLongLong();
}

// --- the children ---------------------------------------------------------------------

void prepareFolder(const QString& work) {
    QDir().mkpath(work + QStringLiteral("/pages"));
    tess::ProgramFiles::SetExecutablePath(work + QStringLiteral("/tessaloom"));
    QDir::setCurrent(work);
}

// Signs in as a teacher does, in a process of its own started with
// "--bank URI": the login dialog painted, Admin's password typed and OK
// pressed, until the main window is painted with the paper list. With
// typed false the login is left out: the bank opened and the window shown,
// as bench_scale's sign-in does. Prints the monotonic time at the paint.
int runSignIn(const QString& work, bool typed, int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    prepareFolder(work);
    tess::Prompts::instance().setScripted(true);
    NoOpener opener;
    if (!typed) {
        tess::setChosenBank(tess::chooseBank(QCoreApplication::arguments(), QString()));
        TMainForm form;
        form.SetPageOpener(&opener);
        form.SetSignedInAccount(QStringLiteral("Admin"));
        FirstPaint watch(&form);
        form.OpenPaperBank();
        form.show();
        std::printf("S %lld\n", watch.wait());
        checkMessages(form, "sign-in");
        return 0;
    }
    tess::Startup startup(app);
    {
        FirstPaint login(&startup.login());
        startup.show();
        login.wait();
    }
    TMainForm* form = startup.mainForm();
    form->SetPageOpener(&opener);
    FirstPaint watch(form);
    startup.login()
        .findChild<QLineEdit*>(QStringLiteral("EditAcount"))
        ->setText(QStringLiteral("Admin"));
    startup.login().findChild<QLineEdit*>(QStringLiteral("EditPassword"))->clear();
    startup.login().findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
    std::printf("S %lld\n", watch.wait());
    expect(form->isVisible() && !startup.login().isVisible(), "signed in");
    if (!tess::Prompts::instance().shownTexts().isEmpty())
        warn(QStringLiteral("sign-in: ") + tess::Prompts::instance().shownTexts().join(u' '));
    checkMessages(*form, "sign-in");
    startup.finish();
    return 0;
}

// The teacher's steps on the server bank, each timed and its round trips counted.
int runSteps(const QString& uri, const QString& work, int runs) {
    prepareFolder(work);
    tess::setChosenBank({tess::BankChoice::Source::Argument, uri, QString()});
    tess::Prompts::instance().setScripted(true);
    NoOpener opener;
    const int papers = int(psql(uri, QStringLiteral("select max(PapID) from paper")).toInt());
    for (int run = 0; run < runs; ++run) {
        std::fprintf(stderr, "  steps: run %d of %d\n", run + 1, runs);
        tess::Prompts::instance().clear();
        auto form = std::make_unique<TMainForm>();
        form->SetPageOpener(&opener);
        form->SetSignedInAccount(QStringLiteral("Admin"));
        {
            PaintWatch watch(form.get());
            const qint64 trips = tess::serverRoundTrips();
            QElapsedTimer t;
            t.start();
            form->OpenPaperBank();
            form->show();
            watch.wait();
            result("signin", double(t.nsecsElapsed()) / 1e6);
            result("rt_signin", double(tess::serverRoundTrips() - trips));
        }
        checkMessages(*form, "sign-in");
        // Each run deletes another paper: the bank is not made again between runs.
        teacherSteps(*form, {workPaperId(papers), bigPaperId(papers), deletedPaperId(papers) + run},
                     work, [](const char* key, const std::function<void()>& step) {
                         const qint64 trips = tess::serverRoundTrips();
                         result(key, timedStep(step));
                         result((std::string("rt_") + key).c_str(),
                                double(tess::serverRoundTrips() - trips));
                     });
        form.reset();
    }
    return 0;
}

// --- the parent ------------------------------------------------------------------------

QString roundTrips(double n) {
    return n < 0 ? QStringLiteral("-") : QString::number(n, 'f', 0);
}

int runParent(const QString& folder) {
    QDir().mkpath(folder);
    const bool small = qEnvironmentVariable("TESS_BENCH_SIZE") == QStringLiteral("small");
    const int runCount = benchSetting("TESS_BENCH_RUNS", 5);
    std::printf("bench_server in %s\n%s\n", qPrintable(folder), qPrintable(machineFacts()));
    const QString name = small ? QStringLiteral("small") : QStringLiteral("district");
    const QString bank = folder + QLatin1Char('/') + name + QStringLiteral(".mdb");
    ensureBank(bank, small ? kSmall : kDistrict, name, false);

    std::unique_ptr<ThrowawayServer> throwaway;
    const QString serverUri = serverFor(folder + QStringLiteral("/pg"), throwaway);
    std::printf("%s\n", psql(serverUri, QStringLiteral("select version()")).constData());
    const QString toolUri = databaseUri(serverUri, QStringLiteral("bench_tool"));
    const QString copyUri = databaseUri(serverUri, QStringLiteral("bench_copy"));
    for (const char* db : {"bench_tool", "bench_copy"}) {
        psql(serverUri, QStringLiteral("drop database if exists %1").arg(QLatin1String(db)));
        psql(serverUri, QStringLiteral("create database %1").arg(QLatin1String(db)));
    }

    // --- the copy, beside COPY
    const QString csv = folder + QStringLiteral("/csv-") + name;
    QDir().mkpath(csv);
    const double dumpMs = timed([&] { dumpCsv(bank, csv); });
    std::fprintf(stderr, "copying the bank with the copy tool's code\n");
    tess::BankCopy copied;
    const double toolMs = timed([&] { copied = tess::copyBank(bank, toolUri); });
    std::fprintf(stderr, "loading the same rows with COPY\n");
    QFile script(csv + QStringLiteral("/load.sql"));
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        script.write(loadScript(csv).toUtf8()) < 0)
        throw std::runtime_error("cannot write the load script");
    script.close();
    double schemaMs = 0;
    const double copyMs = timed([&] {
        schemaMs = timed([&] { tess::createPaperBank(copyUri); });
        runProgram(QStringLiteral("psql"),
                   {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-1"),
                    QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), copyUri,
                    QStringLiteral("-f"), script.fileName()});
    });
    QStringList warnings;
    for (const TableRows& t : kTables)
        if (count(toolUri, t.table) != count(copyUri, t.table))
            warnings << QStringLiteral("%1: the copies differ in rows").arg(QLatin1String(t.table));
    const qint64 toolSize =
        psql(serverUri, QStringLiteral("select pg_database_size('bench_tool')")).toLongLong();
    const qint64 copySize =
        psql(serverUri, QStringLiteral("select pg_database_size('bench_copy')")).toLongLong();
    const qint64 emptySize =
        psql(serverUri, QStringLiteral("select pg_database_size('postgres')")).toLongLong();
    psql(serverUri, QStringLiteral("drop database bench_copy"));
    // The bank as a teacher's program meets it: statistics gathered, as the
    // server's autovacuum would have done by then.
    psql(toolUri, QStringLiteral("vacuum analyze"));

    // --- sign-in in a new process, beside psql reading the list
    const QString work = folder + QStringLiteral("/work-server");
    QDir().mkpath(work);
    std::map<QString, std::vector<double>> fresh;
    for (int run = 0; run < runCount; ++run) {
        std::fprintf(stderr, "sign-in in a new process: run %d of %d\n", run + 1, runCount);
        for (const char* mode : {"--signin-login", "--signin"}) {
            const qint64 start = monotonicNs();
            const ChildOutput out =
                runChild({QLatin1String(mode), work, QStringLiteral("--bank"), toolUri});
            warnings << out.warnings;
            const auto it = out.samples.find(QStringLiteral("S"));
            if (it != out.samples.end() && !it->second.empty())
                fresh[QLatin1String(mode)].push_back((it->second.front() - double(start)) / 1e6);
        }
        const Finished list =
            runProgram(QStringLiteral("psql"),
                       {QStringLiteral("-X"), QStringLiteral("-At"), toolUri, QStringLiteral("-c"),
                        QStringLiteral("select PapID, PapNam from paper")});
        fresh[QStringLiteral("psql")].push_back(list.ms);
        if (list.out.count('\n') < 1000)
            warnings << QStringLiteral("psql read too few papers");
    }

    // --- the steps
    std::fprintf(stderr, "the teacher's steps\n");
    const ChildOutput steps =
        runChild({QStringLiteral("--steps"), toolUri, work, QString::number(runCount)});
    warnings << steps.warnings;
    auto fig = [&](const QString& key) {
        const auto it = steps.samples.find(key);
        return it == steps.samples.end() ? -1.0 : median(it->second);
    };
    auto most = [&](const QString& key) {
        const auto it = steps.samples.find(key);
        return it == steps.samples.end() || it->second.empty()
                   ? -1.0
                   : *std::max_element(it->second.begin(), it->second.end());
    };

    std::printf("\n%s bank on the server (%s build); medians of %d runs\n", qPrintable(name),
                TESS_BUILD_TYPE, runCount);
    std::printf("\ncopying the bank from the file to an empty server database\n");
    std::printf("  copy tool's code (schema, read, COPY, commit)  %10s   %lld rows\n",
                qPrintable(cell(toolMs)), copied.rows);
    std::printf("  psql \\copy of the same rows from CSV          %10s   (schema %s, "
                "one transaction, same indexes and triggers)\n",
                qPrintable(cell(copyMs)), qPrintable(cell(schemaMs)));
    std::printf("  copy tool / COPY: %s (goal: at most 2x); the CSV dump beforehand took %s\n",
                qPrintable(ratio(toolMs, copyMs)), qPrintable(cell(dumpMs)));
    std::printf("  server bank's size (pg_database_size): %s after the copy tool, %s after "
                "COPY; an empty database is %s; the file is %s\n",
                qPrintable(mb(double(toolSize))), qPrintable(mb(double(copySize))),
                qPrintable(mb(double(emptySize))), qPrintable(fileFacts(bank)));

    const double login = median(fresh[QStringLiteral("--signin-login")]);
    const double open = median(fresh[QStringLiteral("--signin")]);
    const double raw = median(fresh[QStringLiteral("psql")]);
    std::printf("\nsign-in in a new process, process start to the painted list\n");
    std::printf("  login typed, main window with the list         %10s\n", qPrintable(cell(login)));
    std::printf("  the bank opened without the login dialog      %10s\n", qPrintable(cell(open)));
    std::printf("  psql -At -c \"select PapID, PapNam from paper\" %10s   (to its exit)\n",
                qPrintable(cell(raw)));
    std::printf("  sign-in / psql: %s with the login, %s without (goal: at most 3x)\n",
                qPrintable(ratio(login, raw)), qPrintable(ratio(open, raw)));

    std::printf("\n%-44s %10s %10s %8s\n", "step in the signed-in window", "median", "slowest",
                "trips");
    const std::pair<const char*, const char*> rows[] = {
        {"sign-in again in the same process", "signin"},
        {"select a paper (~10 questions)", "select"},
        {"next question", "next_question"},
        {"edit a question's text, posted", "edit"},
        {"new question", "new_question"},
        {"new choice (on a choice question)", "new_choice"},
        {"delete a question", "del_question"},
        {"new paper", "new_paper"},
        {"delete a paper (Yes answered)", "del_paper"},
        {"select the 1,000-question paper", "select_big"},
        {"publish the 1,000-question paper", "publish"},
    };
    for (const auto& [label, key] : rows) {
        const QString k = QLatin1String(key);
        std::printf("%-44s %10s %10s %8s\n", label, qPrintable(cell(fig(k))),
                    qPrintable(cell(most(k))),
                    qPrintable(roundTrips(most(QStringLiteral("rt_") + k))));
    }
    std::printf("(trips: requests sent to the server and waited for, the most in one run)\n");
    warnings.removeDuplicates();
    for (const QString& w : warnings)
        std::printf("warning: %s\n", qPrintable(w));
    return warnings.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    auto arg = [&](int i) { return argc > i ? QString::fromLocal8Bit(argv[i]) : QString(); };
    try {
        if (mode.startsWith(QStringLiteral("--")) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (mode == QStringLiteral("--signin-login") || mode == QStringLiteral("--signin"))
            return runSignIn(arg(2), mode == QStringLiteral("--signin-login"), argc, argv);
        if (mode == QStringLiteral("--steps")) {
            QApplication app(argc, argv);
            return runSteps(arg(2), arg(3), arg(4).toInt());
        }
        QCoreApplication app(argc, argv);
        QString folder = mode;
        if (folder.isEmpty())
            folder = qEnvironmentVariable("TESS_BENCH_DIR");
        if (folder.isEmpty())
            folder = QStringLiteral("/tmp/tessaloom-bench");
        return runParent(QDir(folder).absolutePath());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_server: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "bench_server: %s\n", qPrintable(tess::currentErrorMessage()));
    }
    return 1;
}
