// Every step a teacher takes, timed on a small bank (1,000 papers) and on a
// district's bank (100,000 papers, 1,000,000 questions, 4,000,000 choices),
// beside what the same work costs at its least, measured in the same run.
//
// Usage: bench_scale [folder]   (or TESS_BENCH_DIR; default /tmp/tessaloom-bench)
//   TESS_BENCH_RUNS  runs per bank (default 5), the median is printed
//   TESS_BENCH_BANKS "small" to leave out the district bank
// The banks are made once and kept in the folder; every run works on a fresh
// copy of them, so that the deleting steps measure the same bank each time.
// The steps, each peak of memory and each start-up run in a child process of
// their own (this program with a mode argument) on the offscreen platform.
#include "app/tessapplication.h"
#include "app/tformhelp.h"
#include "app/tmainform.h"
#include "app/tpassworddlg.h"
#include "bank/paperbank.h"
#include "benchbank.h"
#include "benchwindow.h"
#include "editor/paperlistmodel.h"
#include "editor/papernavigator.h"
#include "frame/prompts.h"
#include "generate/publish.h"
#include "settings/programfiles.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/schema.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStringEncoder>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;

// The bank as the program's bank in work, for children that sign in to it.
void copyBank(const QString& bank, const QString& work) {
    QDir().mkpath(work + QStringLiteral("/pages"));
    const QString target = work + QStringLiteral("/tessaloom.mdb");
    QFile::remove(target + QStringLiteral("-journal"));
    std::filesystem::copy_file(std::filesystem::path(path8(bank).toStdString()),
                               std::filesystem::path(path8(target).toStdString()),
                               std::filesystem::copy_options::overwrite_existing);
    syncFile(target);
}

// A fresh copy of the bank as the program's bank, pages folder beside it.
QString makeWorkCopy(const QString& bank, const QString& work) {
    copyBank(bank, work);
    const QString target = work + QStringLiteral("/tessaloom.mdb");
    tess::ProgramFiles::SetExecutablePath(work + QStringLiteral("/tessaloom"));
    QDir::setCurrent(work);
    return target;
}

// The least work publishing needs: the paper's questions and choices in one
// joined statement, the text, its GBK bytes, and a durable write of them.
void referencePublish(const QString& bankPath, int papId, const QString& out) {
    Db db(bankPath, SQLITE_OPEN_READONLY);
    QString text;
    const double read = timed([&] {
        Stmt s(db, "select q.QstIdx, q.QstTyp, q.QstScr, q.QstCon, q.IsTrue, c.ChcIdx, c.ChcCon, "
                   "c.IsTrue from question q left join choice c on c.QstIdx = q.QstID "
                   "where q.PapIdx = ? order by q.QstIdx, c.ChcIdx");
        sqlite3_bind_int(s.get(), 1, papId);
        auto col = [&](int i) {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), i)),
                                     sqlite3_column_bytes(s.get(), i));
        };
        int last = -1;
        while (s.step()) {
            const int number = sqlite3_column_int(s.get(), 0);
            if (number != last) {
                text += QStringLiteral("<p>") + QString::number(number) + col(1) +
                        QString::number(sqlite3_column_int(s.get(), 2)) + col(3) +
                        QString::number(sqlite3_column_int(s.get(), 4)) +
                        QStringLiteral("</p>\r\n");
                last = number;
            }
            if (sqlite3_column_type(s.get(), 5) != SQLITE_NULL)
                text += QStringLiteral("<li>") + QString::number(sqlite3_column_int(s.get(), 5)) +
                        col(6) + QString::number(sqlite3_column_int(s.get(), 7)) +
                        QStringLiteral("</li>\r\n");
        }
    });
    QByteArray bytes;
    const double encode = timed([&] {
        QStringEncoder gbk("GBK");
        if (!gbk.isValid())
            warn(QStringLiteral("no GBK encoder"));
        bytes = gbk.encode(text);
    });
    const double write = timed([&] {
        // As the program writes a page: a temporary beside it, synced, renamed.
        const QString temp = out + QStringLiteral(".part");
        QFile file(temp);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0)
            warn(QStringLiteral("reference page not written"));
        file.close();
        ::rename(path8(temp).constData(), path8(out).constData());
    });
    result("ref_read", read);
    result("ref_encode", encode);
    result("ref_write", write);
    result("ref_publish", read + encode + write);
}

double referenceList(const QString& bankPath) {
    Db db(bankPath, SQLITE_OPEN_READONLY);
    QVector<tess::PaperEntry> entries;
    const double ms = timed([&] {
        Stmt s(db, "select PapID, PapNam from paper");
        while (s.step())
            entries.push_back(
                {QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1)),
                                   sqlite3_column_bytes(s.get(), 1)),
                 sqlite3_column_int(s.get(), 0)});
    });
    expect(!entries.isEmpty(), "raw list read found papers");
    return ms;
}

int papersIn(const QString& bank) {
    Db db(bank, SQLITE_OPEN_READONLY);
    return int(db.scalar("select max(PapID) from paper"));
}

int runSteps(const QString& bank, const QString& work, int runs) {
    const int papers = papersIn(bank);
    const int big = bigPaperId(papers);
    const int worked = workPaperId(papers);
    const int deleted = deletedPaperId(papers);
    tess::Prompts::instance().setScripted(true);
    NoOpener opener;
    for (int run = 0; run < runs; ++run) {
        std::fprintf(stderr, "  run %d of %d\n", run + 1, runs);
        const QString copy = makeWorkCopy(bank, work);
        tess::Prompts::instance().clear();
        auto form = std::make_unique<TMainForm>();
        form->SetPageOpener(&opener);
        form->SetSignedInAccount(QStringLiteral("Admin"));
        {
            PaintWatch watch(form.get());
            QElapsedTimer t;
            t.start();
            form->OpenPaperBank();
            form->show();
            watch.wait();
            result("signin", double(t.nsecsElapsed()) / 1e6);
        }
        checkMessages(*form, "sign-in");

        teacherSteps(*form, {worked, big, deleted}, work,
                     [](const char* key, const std::function<void()>& step) {
                         result(key, timedStep(step));
                     });

        form.reset();
        result("ref_list", referenceList(copy));
        referencePublish(copy, big, work + QStringLiteral("/pages/reference.html"));
    }
    QFile::remove(work + QStringLiteral("/tessaloom.mdb"));
    return 0;
}

// One sign-in in a process of its own, as a teacher starts the program: the
// bank (already in the work folder) opened, the paper list filled and the
// window painted. Memory is mapped afresh, as it is at a real start.
int runSignIn(const QString& work) {
    tess::Prompts::instance().setScripted(true);
    NoOpener opener;
    tess::ProgramFiles::SetExecutablePath(work + QStringLiteral("/tessaloom"));
    QDir::setCurrent(work);
    TMainForm form;
    form.SetPageOpener(&opener);
    form.SetSignedInAccount(QStringLiteral("Admin"));
    PaintWatch watch(&form);
    QElapsedTimer t;
    t.start();
    form.OpenPaperBank();
    form.show();
    watch.wait();
    result("signin_fresh", double(t.nsecsElapsed()) / 1e6);
    std::printf("M signin %lld\n", peakKb());
    checkMessages(form, "sign-in");
    return 0;
}

// The list read as the sqlite3 shell reads it, in a process of its own: the
// statement stepped through, each row's identifier and name taken as text.
int runRawList(const QString& bankPath) {
    QElapsedTimer t;
    t.start();
    qint64 bytes = 0;
    {
        Db db(bankPath, SQLITE_OPEN_READONLY);
        Stmt s(db, "select PapID, PapNam from paper");
        while (s.step()) {
            sqlite3_column_text(s.get(), 0);
            sqlite3_column_text(s.get(), 1);
            bytes += sqlite3_column_bytes(s.get(), 0) + sqlite3_column_bytes(s.get(), 1);
        }
    }
    result("ref_list_fresh", double(t.nsecsElapsed()) / 1e6);
    std::printf("B %lld\n", bytes);
    return 0;
}

// Sign in and publish the 1,000-question paper; nothing else in this process.
int runPeak(const QString& bank, const QString& work) {
    tess::Prompts::instance().setScripted(true);
    NoOpener opener;
    if (bank.isEmpty()) {
        QDir().mkpath(work);
        tess::ProgramFiles::SetExecutablePath(work + QStringLiteral("/tessaloom"));
        QFile::remove(tess::ProgramFiles::PaperBankPath());
        tess::createPaperBank(tess::ProgramFiles::PaperBankPath());
    } else {
        makeWorkCopy(bank, work);
    }
    {
        TMainForm form;
        form.SetPageOpener(&opener);
        form.SetSignedInAccount(QStringLiteral("Admin"));
        PaintWatch watch(&form);
        form.OpenPaperBank();
        form.show();
        watch.wait();
        std::printf("M signin %lld\n", peakKb());
        if (!bank.isEmpty()) {
            const int big = bigPaperId(papersIn(tess::ProgramFiles::PaperBankPath()));
            selectRow(form, big);
            settle();
            form.OnGenPaper->trigger();
            settle();
            expect(form.findChild<QPlainTextEdit*>(QStringLiteral("MessageArea"))
                       ->toPlainText()
                       .contains(QStringLiteral("试卷成功生成到")),
                   "the page was written");
        }
        std::printf("M peak %lld\n", peakKb());
    }
    QFile::remove(work + QStringLiteral("/tessaloom.mdb"));
    return 0;
}

// As the program starts (app/main.cpp) until the login dialog has been painted.
int runStartLogin(const QString& folder, int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    QApplication::setApplicationName(tess::appTitle());
    tess::ProgramFiles::SetExecutablePath(folder + QStringLiteral("/tessaloom"));
    tess::Startup startup(app);
    FirstPaint watch(&startup.login());
    startup.show();
    std::printf("S %lld\n", watch.wait());
    std::fflush(stdout);
    // The rest of start-up runs, as it would in the program.
    QCoreApplication::processEvents();
    startup.finish();
    return 0;
}

int runStartBare(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(400, 300);
    FirstPaint watch(&window);
    window.show();
    std::printf("S %lld\n", watch.wait());
    std::fflush(stdout);
    return 0;
}

// --- the parent ------------------------------------------------------------------------

void row(const char* label, const QString& small, const QString& district, const QString& note) {
    std::printf("%-44s %14s %14s   %s\n", label, qPrintable(small), qPrintable(district),
                qPrintable(note));
}

int runParent(const QString& folder) {
    QDir().mkpath(folder);
    const int runCount = benchSetting("TESS_BENCH_RUNS", 5);
    const bool withDistrict = qEnvironmentVariable("TESS_BENCH_BANKS") != QStringLiteral("small");
    std::printf("bench_scale in %s\n%s\nfree space there: %s\n", qPrintable(folder),
                qPrintable(machineFacts()), qPrintable(mb(double(freeBytes(folder)))));
    // The district bank with full texts is about 2.2 GB, and every run works
    // on a copy of it.
    const QString smallBank = folder + QStringLiteral("/small.mdb");
    const QString districtBank = folder + QStringLiteral("/district.mdb");
    const bool spaceShort =
        !bankComplete(districtBank, kDistrict) && freeBytes(folder) < qint64(6) * 1000000000;
    if (withDistrict && spaceShort)
        std::printf("note: less than 6 GB free, district texts scaled down to 10-40 characters\n");
    ensureBank(smallBank, kSmall, QStringLiteral("small"), false);
    if (withDistrict)
        ensureBank(districtBank, kDistrict, QStringLiteral("district"), spaceShort);

    // Start-up, alternating, so that both meet the same machine.
    const QString startFolder = folder + QStringLiteral("/startup");
    QDir().mkpath(startFolder);
    const QString guide = startFolder + QStringLiteral("/tessaloom.htm");
    if (!QFileInfo::exists(guide))
        QFile::copy(QStringLiteral(TESS_GUIDE_SOURCE), guide);
    std::vector<double> login, bare;
    QStringList warnings;
    for (int i = 0; i < 2 * runCount + 1; ++i) {
        for (const bool isLogin : {true, false}) {
            const qint64 start = monotonicNs();
            const ChildOutput out =
                runChild(isLogin ? QStringList{QStringLiteral("--start-login"), startFolder}
                                 : QStringList{QStringLiteral("--start-bare")});
            warnings << out.warnings;
            const auto it = out.samples.find(QStringLiteral("S"));
            if (it != out.samples.end() && !it->second.empty())
                (isLogin ? login : bare).push_back((it->second.front() - double(start)) / 1e6);
        }
    }

    std::map<QString, std::map<QString, std::vector<double>>> figures; // bank -> key -> samples
    const QStringList banks = withDistrict
                                  ? QStringList{QStringLiteral("small"), QStringLiteral("district")}
                                  : QStringList{QStringLiteral("small")};

    // Sign-in as a teacher meets it: each in a new process, the banks taking
    // turns; beside it the list read by a new process that runs just its
    // statement. The empty bank gives what any start costs.
    std::map<QString, QString> signInFolders;
    signInFolders[QStringLiteral("empty")] = folder + QStringLiteral("/work-empty");
    QDir().mkpath(signInFolders[QStringLiteral("empty")]);
    {
        const QString emptyBank =
            signInFolders[QStringLiteral("empty")] + QStringLiteral("/tessaloom.mdb");
        QFile::remove(emptyBank);
        tess::createPaperBank(emptyBank);
    }
    for (const QString& name : banks) {
        const QString work = folder + QStringLiteral("/work-") + name;
        copyBank(name == QStringLiteral("small") ? smallBank : districtBank, work);
        signInFolders[name] = work;
    }
    for (int run = 0; run < runCount; ++run) {
        std::fprintf(stderr, "sign-in in a new process: run %d of %d\n", run + 1, runCount);
        for (const auto& [name, work] : signInFolders) {
            const ChildOutput signIn = runChild({QStringLiteral("--signin"), work});
            const ChildOutput raw =
                runChild({QStringLiteral("--raw-list"), work + QStringLiteral("/tessaloom.mdb")});
            warnings << signIn.warnings << raw.warnings;
            for (const ChildOutput* out : {&signIn, &raw})
                for (const auto& [key, values] : out->samples)
                    for (double v : values)
                        figures[name]
                               [key == QStringLiteral("signin") ? QStringLiteral("mem_signin_fresh")
                                                                : key]
                                   .push_back(v);
        }
    }
    for (const QString& name : banks) {
        const QString bank = name == QStringLiteral("small") ? smallBank : districtBank;
        std::fprintf(stderr, "%s bank: steps\n", qPrintable(name));
        ChildOutput steps =
            runChild({QStringLiteral("--steps"), bank, folder + QStringLiteral("/work-") + name,
                      QString::number(runCount)});
        warnings << steps.warnings;
        for (const auto& [key, values] : steps.samples)
            figures[name][key] = values;
        std::fprintf(stderr, "%s bank: peak memory\n", qPrintable(name));
        const ChildOutput peak =
            runChild({QStringLiteral("--peak"), bank, folder + QStringLiteral("/work-") + name});
        warnings << peak.warnings;
        for (const auto& [key, values] : peak.samples)
            figures[name][QStringLiteral("mem_") + key] = values;
    }
    ChildOutput empty =
        runChild({QStringLiteral("--peak"), QString(), folder + QStringLiteral("/work-empty")});
    warnings << empty.warnings;

    auto fig = [&](const char* bank, const char* key) {
        const auto b = figures.find(QLatin1String(bank));
        if (b == figures.end())
            return -1.0;
        const auto k = b->second.find(QLatin1String(key));
        return k == b->second.end() ? -1.0 : median(k->second);
    };
    auto memCell = [](double kb) { return kb < 0 ? QStringLiteral("-") : mb(kb * 1000); };

    std::printf("\nmedians of %d runs (%s build, banks in the page cache, offscreen)\n", runCount,
                TESS_BUILD_TYPE);
    row("step", QStringLiteral("small"), QStringLiteral("district"),
        QStringLiteral("district/small"));
    const std::pair<const char*, const char*> steps[] = {
        {"sign-in, new process, until painted", "signin_fresh"},
        {"  ref: raw read of the list, new process", "ref_list_fresh"},
        {"sign-in again in the same process", "signin"},
        {"  ref: list read into entries, same process", "ref_list"},
        {"select a paper (list entry, ~10 questions)", "select"},
        {"next question", "next_question"},
        {"edit a question's text, posted", "edit"},
        {"new paper", "new_paper"},
        {"new question", "new_question"},
        {"new choice (on a choice question)", "new_choice"},
        {"delete a question", "del_question"},
        {"delete a paper (Yes answered)", "del_paper"},
        {"select the 1,000-question paper", "select_big"},
        {"publish the 1,000-question paper", "publish"},
        {"  ref: joined read + GBK + durable write", "ref_publish"},
        {"    of which the joined read", "ref_read"},
        {"    of which GBK encoding", "ref_encode"},
        {"    of which the write (temp, fsync, rename)", "ref_write"},
    };
    // The spread says how far a median can be trusted on a busy machine.
    auto spread = [&](const char* key) {
        const auto b = figures.find(QStringLiteral("district"));
        if (b == figures.end() || b->second.count(QLatin1String(key)) == 0)
            return QString();
        const std::vector<double>& v = b->second.at(QLatin1String(key));
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        return QStringLiteral("   (district %1 .. %2)").arg(cell(*lo), cell(*hi));
    };
    for (const auto& [label, key] : steps)
        row(label, cell(fig("small", key)), cell(fig("district", key)),
            ratio(fig("district", key), fig("small", key)) + spread(key));
    row("peak memory: signed in, new process", memCell(fig("small", "mem_signin_fresh")),
        memCell(fig("district", "mem_signin_fresh")),
        QStringLiteral("empty bank: ") + memCell(fig("empty", "mem_signin_fresh")));
    row("empty bank: sign-in, new process", cell(fig("empty", "signin_fresh")), QString(),
        QStringLiteral("raw read of its list ") + cell(fig("empty", "ref_list_fresh")));
    row("peak memory: signed in, paper published", memCell(fig("small", "mem_peak")),
        memCell(fig("district", "mem_peak")),
        QStringLiteral("empty bank, signed in: ") +
            memCell(median(empty.samples[QStringLiteral("peak")])));
    std::printf("\nstart-up (median of %zu each, process start to first paint)\n", login.size());
    row("  login dialog (as app/main.cpp)", cell(median(login)), QString(), QString());
    row("  bare QWidget window", cell(median(bare)), QString(),
        QStringLiteral("login/bare ") + ratio(median(login), median(bare)));

    std::printf("\nagainst the goals\n");
    {
        const double extraSignIn = fig("district", "signin_fresh") - fig("small", "signin_fresh");
        const double extraRaw = fig("district", "ref_list_fresh") - fig("small", "ref_list_fresh");
        if (fig("district", "signin_fresh") >= 0)
            std::printf("  sign-in in a new process, district over small: %s, against %s more for "
                        "the raw read of the list: %s (goal: at most 3x)\n",
                        qPrintable(cell(extraSignIn)), qPrintable(cell(extraRaw)),
                        qPrintable(ratio(extraSignIn, extraRaw)));
        for (const char* bank : {"small", "district"})
            if (fig(bank, "mem_signin_fresh") >= 0)
                std::printf("  peak memory signed in, %s / empty bank: %s (goal: at most 2x)\n",
                            bank,
                            qPrintable(ratio(fig(bank, "mem_signin_fresh"),
                                             fig("empty", "mem_signin_fresh"))));
    }
    for (const char* bank : {"small", "district"}) {
        if (fig(bank, "signin") < 0)
            continue;
        std::printf("  %s: sign-in / raw list read %s; publish / reference %s; peak / empty bank "
                    "%s\n",
                    bank, qPrintable(ratio(fig(bank, "signin"), fig(bank, "ref_list"))),
                    qPrintable(ratio(fig(bank, "publish"), fig(bank, "ref_publish"))),
                    qPrintable(ratio(fig(bank, "mem_peak"),
                                     median(empty.samples[QStringLiteral("peak")]))));
    }
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
        if (mode == QStringLiteral("--start-login"))
            return runStartLogin(arg(2), argc, argv);
        if (mode == QStringLiteral("--start-bare"))
            return runStartBare(argc, argv);
        if (mode == QStringLiteral("--steps")) {
            QApplication app(argc, argv);
            return runSteps(arg(2), arg(3), arg(4).toInt());
        }
        if (mode == QStringLiteral("--peak")) {
            QApplication app(argc, argv);
            return runPeak(arg(2), arg(3));
        }
        if (mode == QStringLiteral("--signin")) {
            QApplication app(argc, argv);
            return runSignIn(arg(2));
        }
        if (mode == QStringLiteral("--raw-list"))
            return runRawList(arg(2));
        QCoreApplication app(argc, argv);
        QString folder = mode;
        if (folder.isEmpty())
            folder = qEnvironmentVariable("TESS_BENCH_DIR");
        if (folder.isEmpty())
            folder = QStringLiteral("/tmp/tessaloom-bench");
        return runParent(QDir(folder).absolutePath());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_scale: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "bench_scale: %s\n", qPrintable(tess::currentErrorMessage()));
    }
    return 1;
}
