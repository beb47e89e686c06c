// Teachers working on one server bank at the same time: each a process of its
// own with the real main window (offscreen), signed in to the bank, adding
// papers, questions and choices, editing and deleting through the window's
// commands, without pausing, until the time is up. Each says what it was told
// was saved; afterwards the bank is checked against that: no identifier
// handed out twice, no record in a paper other than the one the teacher had
// selected, nothing reported saved missing (nor anything deleted still there).
// The median (p50) and p99 of each step are printed.
//
// How to run:
//   ninja -C build bench_load
//   build/bin/bench_load [folder]     (or TESS_BENCH_DIR; default /tmp/tessaloom-bench)
//   TESS_BENCH_TEACHERS  teachers (default 20)
//   TESS_BENCH_SECONDS   how long they work (default 300)
//   TESS_BENCH_SIZE      "small" for the 1,000-paper bank instead of the district bank
//   TESS_PG_URI          a running server's "postgres" database (else a throwaway
//                        server in folder/pg, started and stopped here)
// The file bank is made once and kept in the folder; it is copied afresh to
// the server's database bench_load with the copy tool's code.
#include "app/tmainform.h"
#include "bank/bankcopy.h"
#include "bank/paperbank.h"
#include "benchbank.h"
#include "benchserver.h"
#include "benchwindow.h"
#include "frame/prompts.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"
#include "store/engineerror.h"
#include "store/tablecursor.h"

#include <QDir>
#include <QPlainTextEdit>
#include <climits>
#include <limits>
#include <set>

namespace {

using namespace bench;

// --- a teacher ------------------------------------------------------------------------

// What a teacher was told, one line each, with the moment (monotonic ns):
//   F paper ID NS             a new paper saved
//   F question ID PAPER NS    a new question saved into that paper
//   F choice ID QUESTION NS   a new choice saved under that question
//   F edit ID NS TEXT         the question's text saved as TEXT (no blanks in it)
//   F delq ID NS / F delp ID NS   a question / paper deleted
//   F refused STEP            a step refused with a message (nothing saved)
void fact(const QByteArray& line) {
    std::printf("F %s\n", line.constData());
    std::fflush(stdout);
}

QByteArray now() {
    return QByteArray::number(monotonicNs());
}

class Teacher {
public:
    Teacher(int number, const QString& work) : m_number(number), m_work(work) {}

    void signIn() {
        m_form = std::make_unique<TMainForm>();
        m_form->SetPageOpener(&m_opener);
        m_form->SetSignedInAccount(QStringLiteral("Admin"));
        m_form->OpenPaperBank();
        m_form->show();
        settle();
        messages(); // what sign-in said
    }

    // One round of work; the shared paper is one of the bank's first papers,
    // which other teachers work on too.
    void round(int sharedPaper) {
        if (!newPaper())
            return;
        const int own = m_form->bank().CurPapID;
        for (int i = 0; i < 3; ++i)
            addQuestion(own, i < 2);
        deleteFirstQuestion();
        // Into a paper others work on as well.
        if (select(sharedPaper))
            addQuestion(sharedPaper, true);
        // Every third own paper is deleted again, with its questions.
        if (++m_rounds % 3 == 0 && select(own))
            deletePaper(own);
    }

private:
    tess::PaperBank& bank() { return m_form->bank(); }

    // The message area's new lines; a step that left any was not done as asked.
    QString messages() {
        auto* area = m_form->findChild<QPlainTextEdit*>(QStringLiteral("MessageArea"));
        const QString text = area->toPlainText().trimmed();
        area->clear();
        return text;
    }

    // Runs a step timed under key; false when the window said anything.
    bool step(const char* key, const std::function<void()>& work) {
        double ms = 0;
        try {
            ms = timedStep(work);
        } catch (...) {
            warn(QStringLiteral("%1 threw: %2")
                     .arg(QLatin1String(key), tess::currentErrorMessage()));
            return false;
        }
        result(key, ms);
        const QString said = messages();
        if (said.isEmpty())
            return true;
        fact(QByteArray("refused ") + key);
        if (!said.contains(QStringLiteral("另一个程序")))
            warn(QStringLiteral("%1: %2").arg(QLatin1String(key), said));
        return false;
    }

    int selectedPaper() const {
        const QModelIndex index = m_form->navigator().ListView->selectionModel()->currentIndex();
        return index.isValid() ? m_form->navigator().PaperListModel->papIdAt(index.row()) : -1;
    }

    bool select(int papId) {
        const int row = m_form->navigator().PaperListModel->rowOf(papId);
        if (row < 0)
            return false;
        return step("select", [&] { selectRow(*m_form, papId); }) && bank().CurPapID == papId;
    }

    bool newPaper() {
        if (!step("new_paper", [&] { m_form->OnNewPaper->trigger(); }))
            return false;
        const int id = bank().TPaper.asInteger(QStringLiteral("PapID"));
        if (bank().CurPapID != id || selectedPaper() != id)
            warn(QStringLiteral("new paper %1 is not the one selected (window: paper %2, list "
                                "selection %3)")
                     .arg(id)
                     .arg(bank().CurPapID)
                     .arg(selectedPaper()));
        fact("paper " + QByteArray::number(id) + ' ' + now());
        return bank().CurPapID == id;
    }

    // A new question in the selected paper, made a single-choice question
    // with a text of its own (posted as the grid posts), with two choices.
    void addQuestion(int papId, bool withChoices) {
        tess::TableCursor& questions = bank().TQuestion;
        if (!step("new_question", [&] { m_form->OnAddQustion->trigger(); }))
            return;
        const int id = questions.asInteger(QStringLiteral("QstID"));
        const int paper = questions.asInteger(QStringLiteral("PapIdx"));
        // (Other teachers' questions may have come in with it: the count says nothing.)
        if (paper != papId || bank().CurPapID != papId) {
            warn(QStringLiteral("question %1 went into paper %2, the teacher saw %3 (window: "
                                "paper %4, list selection %5)")
                     .arg(id)
                     .arg(paper)
                     .arg(papId)
                     .arg(bank().CurPapID)
                     .arg(selectedPaper()));
            return;
        }
        fact("question " + QByteArray::number(id) + ' ' + QByteArray::number(paper) + ' ' + now());
        const QString text = QStringLiteral("老师%1的第%2题").arg(m_number).arg(++m_edits);
        const bool edited = step("edit", [&] {
            questions.edit();
            questions.setString(QStringLiteral("QstTyp"), QStringLiteral("单选题"));
            questions.setString(QStringLiteral("QstCon"), text);
            questions.post();
        });
        if (!edited) {
            questions.cancel();
            return;
        }
        fact("edit " + QByteArray::number(id) + ' ' + now() + ' ' + text.toUtf8());
        if (!withChoices)
            return;
        for (int c = 0; c < 2; ++c) {
            tess::TableCursor& choices = bank().TChoice;
            if (!step("new_choice", [&] { m_form->OnAddChoice->trigger(); }))
                return;
            const int chc = choices.asInteger(QStringLiteral("ChcID"));
            const int owner = choices.asInteger(QStringLiteral("QstIdx"));
            if (owner != id) {
                warn(QStringLiteral("choice %1 went under question %2, the teacher saw %3")
                         .arg(chc)
                         .arg(owner)
                         .arg(id));
                return;
            }
            fact("choice " + QByteArray::number(chc) + ' ' + QByteArray::number(id) + ' ' + now());
        }
    }

    void deleteFirstQuestion() {
        tess::TableCursor& questions = bank().TQuestion;
        if (questions.isEmpty())
            return;
        questions.first();
        settle();
        const int id = questions.asInteger(QStringLiteral("QstID"));
        const int before = questions.recordCount();
        if (step("del_question", [&] { m_form->OnDelQuestion->trigger(); }) &&
            questions.recordCount() == before - 1)
            fact("delq " + QByteArray::number(id) + ' ' + now());
    }

    void deletePaper(int papId) {
        tess::Prompts::instance().queueYesNo(true);
        if (step("del_paper", [&] { m_form->OnDelPaper->trigger(); }) &&
            m_form->navigator().PaperListModel->rowOf(papId) < 0)
            fact("delp " + QByteArray::number(papId) + ' ' + now());
        tess::Prompts::instance().clear();
    }

    int m_number;
    QString m_work;
    NoOpener m_opener;
    std::unique_ptr<TMainForm> m_form;
    int m_rounds = 0;
    int m_edits = 0;
};

int runTeacher(const QString& uri, int number, const QString& work, qint64 deadlineNs,
               int sharedPapers) {
    QDir().mkpath(work + QStringLiteral("/pages"));
    tess::ProgramFiles::SetExecutablePath(work + QStringLiteral("/tessaloom"));
    QDir::setCurrent(work);
    tess::setChosenBank({tess::BankChoice::Source::Argument, uri, QString()});
    tess::Prompts::instance().setScripted(true);
    Teacher teacher(number, work);
    result("signin", timed([&] { teacher.signIn(); }));
    Rng rng;
    rng.state += uint64_t(number) * 7919;
    while (monotonicNs() < deadlineNs)
        teacher.round(1 + rng.below(sharedPapers));
    return 0;
}

// --- the check ---------------------------------------------------------------------------

struct Made {
    qint64 at;
    int owner; // the paper or question it was made under (0 for a paper)
};

// The bank's rows of table as id -> (owner, text), for identifiers above
// `above` (what was there before the teachers started is left out).
std::map<int, std::pair<int, QString>> rowsOf(const QString& uri, const char* table, const char* id,
                                              const char* owner, const char* text, int above) {
    std::map<int, std::pair<int, QString>> rows;
    const QByteArray out =
        psql(uri, QStringLiteral("select %1, %2, replace(coalesce(%3, ''), E'\\n', ' ') from %4 "
                                 "where %1 > %5")
                      .arg(QLatin1String(id), QLatin1String(owner), QLatin1String(text),
                           QLatin1String(table))
                      .arg(above));
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> parts = line.split('|');
        if (parts.size() >= 3)
            rows[parts[0].toInt()] = {parts[1].toInt(), QString::fromUtf8(parts[2])};
    }
    return rows;
}

// Checks the bank against what the teachers were told; returns the findings.
// before: the largest paper, question and choice identifiers before the work.
QStringList checkBank(const QString& uri, const QList<QByteArray>& facts, const int before[3],
                      std::map<std::string, int>& counts) {
    std::map<int, std::vector<Made>> papers, questions, choices;
    std::map<int, std::vector<qint64>> deletedPapers, deletedQuestions;
    std::map<int, std::pair<qint64, QString>> edits; // the last one of each question
    for (const QByteArray& line : facts) {
        const QList<QByteArray> p = line.split(' ');
        const QString kind = QString::fromUtf8(p.value(0));
        ++counts[kind.toStdString()];
        if (kind == QStringLiteral("paper") && p.size() >= 3)
            papers[p[1].toInt()].push_back({p[2].toLongLong(), 0});
        else if (kind == QStringLiteral("question") && p.size() >= 4)
            questions[p[1].toInt()].push_back({p[3].toLongLong(), p[2].toInt()});
        else if (kind == QStringLiteral("choice") && p.size() >= 4)
            choices[p[1].toInt()].push_back({p[3].toLongLong(), p[2].toInt()});
        else if (kind == QStringLiteral("edit") && p.size() >= 4) {
            auto& last = edits[p[1].toInt()];
            if (p[2].toLongLong() >= last.first)
                last = {p[2].toLongLong(), QString::fromUtf8(p.mid(3).join(' '))};
        } else if (kind == QStringLiteral("delp") && p.size() >= 3)
            deletedPapers[p[1].toInt()].push_back(p[2].toLongLong());
        else if (kind == QStringLiteral("delq") && p.size() >= 3)
            deletedQuestions[p[1].toInt()].push_back(p[2].toLongLong());
    }
    QStringList findings;
    auto deletedBetween = [](const std::map<int, std::vector<qint64>>& deleted, int id, qint64 from,
                             qint64 to) {
        const auto it = deleted.find(id);
        if (it == deleted.end())
            return false;
        for (qint64 at : it->second)
            if (at >= from && at <= to)
                return true;
        return false;
    };
    constexpr qint64 kNever = std::numeric_limits<qint64>::max();
    // Whether the paper made at `at` was deleted before `until`.
    auto paperGone = [&](int id, qint64 at, qint64 until) {
        return deletedBetween(deletedPapers, id, at, until);
    };
    auto questionGone = [&](int id, const Made& made, qint64 until) {
        return deletedBetween(deletedQuestions, id, made.at, until) ||
               paperGone(made.owner, made.at, until) ||
               // a question put into a paper made before it
               [&] {
                   const auto it = papers.find(made.owner);
                   if (it == papers.end())
                       return false;
                   for (const Made& p : it->second)
                       if (p.at <= made.at && paperGone(made.owner, p.at, until))
                           return true;
                   return false;
               }();
    };
    // An identifier is handed out again only after its record went.
    auto once = [&](const char* what, const std::map<int, std::vector<Made>>& made,
                    const std::function<bool(int, const Made&, qint64)>& gone) {
        for (const auto& [id, list] : made) {
            std::vector<Made> sorted = list;
            std::sort(sorted.begin(), sorted.end(),
                      [](const Made& a, const Made& b) { return a.at < b.at; });
            for (size_t i = 1; i < sorted.size(); ++i)
                if (!gone(id, sorted[i - 1], sorted[i].at))
                    findings << QStringLiteral("%1 %2 handed out twice")
                                    .arg(QLatin1String(what))
                                    .arg(id);
        }
    };
    once("paper", papers,
         [&](int id, const Made& m, qint64 until) { return paperGone(id, m.at, until); });
    once("question", questions,
         [&](int id, const Made& m, qint64 until) { return questionGone(id, m, until); });
    once("choice", choices, [&](int, const Made& m, qint64 until) {
        const auto q = questions.find(m.owner);
        if (q == questions.end())
            return false;
        for (const Made& made : q->second)
            if (made.at <= m.at && questionGone(m.owner, made, until))
                return true;
        return false;
    });

    // The last record made with each identifier, as the bank must hold it.
    const auto bankPapers = rowsOf(uri, "paper", "PapID", "0", "PapNam", before[0]);
    const auto bankQuestions = rowsOf(uri, "question", "QstID", "PapIdx", "QstCon", before[1]);
    const auto bankChoices = rowsOf(uri, "choice", "ChcID", "QstIdx", "''", before[2]);
    // Every identifier handed out is a new one, above those of the bank as it was.
    for (const auto* made : {&papers, &questions, &choices})
        for (const auto& [id, list] : *made)
            if (id <= before[made == &papers ? 0 : made == &questions ? 1 : 2])
                findings
                    << QStringLiteral("identifier %1 of a record already there handed out").arg(id);
    for (const auto& [id, list] : papers) {
        const Made& last = *std::max_element(
            list.begin(), list.end(), [](const Made& a, const Made& b) { return a.at < b.at; });
        const bool gone = paperGone(id, last.at, kNever);
        if (gone == (bankPapers.count(id) > 0))
            findings << QStringLiteral("paper %1 %2")
                            .arg(id)
                            .arg(gone ? QStringLiteral("deleted but still there")
                                      : QStringLiteral("reported saved but missing"));
    }
    for (const auto& [id, list] : questions) {
        const Made& last = *std::max_element(
            list.begin(), list.end(), [](const Made& a, const Made& b) { return a.at < b.at; });
        const auto row = bankQuestions.find(id);
        if (questionGone(id, last, kNever)) {
            // A deleted paper's questions stay until the next trim; a deleted question goes.
            if (row != bankQuestions.end() && deletedBetween(deletedQuestions, id, last.at, kNever))
                findings << QStringLiteral("question %1 deleted but still there").arg(id);
            continue;
        }
        if (row == bankQuestions.end())
            findings << QStringLiteral("question %1 reported saved but missing").arg(id);
        else if (row->second.first != last.owner)
            findings << QStringLiteral("question %1 in paper %2, made in paper %3")
                            .arg(id)
                            .arg(row->second.first)
                            .arg(last.owner);
        else if (edits.count(id) && edits[id].first >= last.at &&
                 row->second.second != edits[id].second)
            findings << QStringLiteral("question %1 does not hold its saved text").arg(id);
    }
    for (const auto& [id, list] : choices) {
        const Made& last = *std::max_element(
            list.begin(), list.end(), [](const Made& a, const Made& b) { return a.at < b.at; });
        bool gone = false;
        if (const auto q = questions.find(last.owner); q != questions.end())
            for (const Made& made : q->second)
                if (made.at <= last.at && questionGone(last.owner, made, kNever))
                    gone = true;
        const auto row = bankChoices.find(id);
        if (gone)
            continue;
        if (row == bankChoices.end())
            findings << QStringLiteral("choice %1 reported saved but missing").arg(id);
        else if (row->second.first != last.owner)
            findings << QStringLiteral("choice %1 under question %2, made under %3")
                            .arg(id)
                            .arg(row->second.first)
                            .arg(last.owner);
    }
    return findings;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

int runParent(const QString& folder) {
    QDir().mkpath(folder);
    const bool small = qEnvironmentVariable("TESS_BENCH_SIZE") == QStringLiteral("small");
    const int teachers = benchSetting("TESS_BENCH_TEACHERS", 20);
    const int seconds = benchSetting("TESS_BENCH_SECONDS", 300);
    std::printf("bench_load in %s\n%s\n", qPrintable(folder), qPrintable(machineFacts()));
    const QString name = small ? QStringLiteral("small") : QStringLiteral("district");
    const QString bank = folder + QLatin1Char('/') + name + QStringLiteral(".mdb");
    ensureBank(bank, small ? kSmall : kDistrict, name, false);
    std::unique_ptr<ThrowawayServer> throwaway;
    const QString serverUri = serverFor(folder + QStringLiteral("/pg"), throwaway);
    const QString uri = databaseUri(serverUri, QStringLiteral("bench_load"));
    psql(serverUri, QStringLiteral("drop database if exists bench_load"));
    psql(serverUri, QStringLiteral("create database bench_load"));
    std::fprintf(stderr, "copying the %s bank to the server\n", qPrintable(name));
    const double copyMs = timed([&] { tess::copyBank(bank, uri); });
    psql(uri, QStringLiteral("vacuum analyze"));
    const int before[3] = {psql(uri, QStringLiteral("select max(PapID) from paper")).toInt(),
                           psql(uri, QStringLiteral("select max(QstID) from question")).toInt(),
                           psql(uri, QStringLiteral("select max(ChcID) from choice")).toInt()};
    std::printf("%s bank copied to the server in %s\n", qPrintable(name), qPrintable(cell(copyMs)));

    // The teachers start together and stop at the same moment.
    std::fprintf(stderr, "%d teachers for %d s\n", teachers, seconds);
    const qint64 deadline = monotonicNs() + qint64(seconds) * 1000000000;
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < teachers; ++i) {
        children.push_back(std::make_unique<QProcess>());
        startChild(*children.back(),
                   {QStringLiteral("--teacher"), uri, QString::number(i + 1),
                    folder + QStringLiteral("/teacher%1").arg(i + 1), QString::number(deadline),
                    QString::number(small ? 20 : 100)});
    }
    ChildOutput all;
    QStringList findings;
    // Signing in and the step under way may outlast the time; not much more.
    const qint64 hardStop = deadline + qint64(120) * 1000000000;
    for (auto& child : children) {
        const qint64 left = std::max<qint64>(1000, (hardStop - monotonicNs()) / 1000000);
        if (!child->waitForFinished(int(std::min<qint64>(left, INT_MAX)))) {
            child->kill();
            child->waitForFinished(-1);
            findings << QStringLiteral("a teacher did not stop in time");
        } else if (child->exitStatus() != QProcess::NormalExit || child->exitCode() != 0) {
            findings << QStringLiteral("a teacher failed");
        }
        readChildOutput(child->readAllStandardOutput(), all);
    }

    std::map<std::string, int> counts;
    findings << checkBank(uri, all.facts, before, counts);
    std::printf("\n%d teachers for %d s on the %s bank, no pauses (%s build)\n", teachers, seconds,
                qPrintable(name), TESS_BUILD_TYPE);
    std::printf("reported saved: %d papers, %d questions, %d choices, %d edits; deleted: %d "
                "questions, %d papers; refused with a message: %d steps\n",
                counts["paper"], counts["question"], counts["choice"], counts["edit"],
                counts["delq"], counts["delp"], counts["refused"]);
    std::printf("\n%-32s %8s %10s %10s %10s\n", "step", "count", "p50", "p99", "slowest");
    const std::pair<const char*, const char*> rows[] = {
        {"sign-in (open bank, list)", "signin"},
        {"select a paper", "select"},
        {"new paper", "new_paper"},
        {"new question", "new_question"},
        {"edit a question, posted", "edit"},
        {"new choice", "new_choice"},
        {"delete a question", "del_question"},
        {"delete a paper", "del_paper"},
    };
    for (const auto& [label, key] : rows) {
        const std::vector<double>& v = all.samples[QLatin1String(key)];
        std::printf("%-32s %8zu %10s %10s %10s\n", label, v.size(),
                    qPrintable(cell(percentile(v, 0.5))), qPrintable(cell(percentile(v, 0.99))),
                    qPrintable(cell(v.empty() ? -1 : *std::max_element(v.begin(), v.end()))));
    }
    all.warnings.removeDuplicates();
    for (const QString& w : std::as_const(all.warnings))
        std::printf("warning: %s\n", qPrintable(w));
    std::printf("\ncheck of the bank against what the teachers were told: %s\n",
                findings.isEmpty() ? "all as reported" : "FINDINGS");
    for (const QString& f : std::as_const(findings))
        std::printf("  %s\n", qPrintable(f));
    return findings.isEmpty() && all.warnings.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    auto arg = [&](int i) { return argc > i ? QString::fromLocal8Bit(argv[i]) : QString(); };
    try {
        if (mode == QStringLiteral("--teacher")) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            QApplication app(argc, argv);
            return runTeacher(arg(2), arg(3).toInt(), arg(4), arg(5).toLongLong(), arg(6).toInt());
        }
        QCoreApplication app(argc, argv);
        QString folder = mode;
        if (folder.isEmpty())
            folder = qEnvironmentVariable("TESS_BENCH_DIR");
        if (folder.isEmpty())
            folder = QStringLiteral("/tmp/tessaloom-bench");
        return runParent(QDir(folder).absolutePath());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_load: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "bench_load: %s\n", qPrintable(tess::currentErrorMessage()));
    }
    return 1;
}
