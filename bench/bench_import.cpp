// Importing a Moodle XML file of 1,000 single-choice questions with four
// choices each (one paper, 1,000 questions, 4,000 choices) into a bank that
// already holds papers, beside the least the same work costs: the same rows
// inserted with three prepared statements in one transaction.
//
// Then what imports cost as files grow, each measured in a new process of its
// own (this program started again), so that its peak memory is what a fresh
// program pays: GIFT files of 1,000, 10,000 and 100,000 short true/false
// questions (about 12 bytes each) imported into a new bank, whose time per
// question must stay within 2x across the sizes; one question of 40,000
// choices; papers of 5,000 and 20,000 true/false questions added to a bank
// (the part done under the bank's write lock); files of 98 MiB of blank lines.
// Peak memory is given beyond that of a process that only made the bank.
//
// Usage: bench_import [folder]   (default: a temporary folder)
//   TESS_BENCH_RUNS  runs of each (default 5); the median is printed
//   TESS_PG_URI      a PostgreSQL server (scripts/pg-test-server.sh start DIR):
//                    the papers are added to a bank there as well
// Every run works on a fresh copy of the same bank; the two kinds of run
// alternate, so that both meet the same machine.
#include "exchange/bankexchange.h"
#include "exchange/importfile.h"
#include "exchange/moodlexml.h"
#include "store/connection.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kQuestions = 1000;
constexpr int kChoices = 4;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <typename F> double timed(F&& work) {
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql) {
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql);
}

qint64 scalar(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), db, sql);
    const qint64 value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return value;
}

void syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A bank a school has used for a while: 200 papers of 10 questions with four
// choices each, a few deleted on the way (gaps in the identifiers).
void makeBank(const QString& path) {
    tess::createPaperBank(path);
    tess::Connection conn;
    conn.setDataSource(path);
    conn.open();
    sqlite3* db = conn.handle();
    exec(db, "begin");
    exec(db, "with recursive n(i) as (select 1 union all select i + 1 from n where i < 200) "
             "insert into paper (PapID, PapNam, PapScr, PapSav, PapCtg) "
             "select i, '试卷' || i, 100, 'paper.htm', '类别' || (i % 10) from n");
    exec(db, "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
             "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) "
             "select i, (i - 1) / 10 + 1, (i - 1) % 10 + 1, '单选题', 10, "
             "'下列说法中正确的是哪一项? 第' || i || '题', 0 from n");
    exec(db, "with recursive n(i) as (select 1 union all select i + 1 from n where i < 8000) "
             "insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) "
             "select i, (i - 1) / 4 + 1, (i - 1) % 4 + 1, (i % 4) = 1, '选项' || i from n");
    exec(db, "delete from choice where QstIdx in (select QstID from question where PapIdx in "
             "(7, 120, 200))");
    exec(db, "delete from question where PapIdx in (7, 120, 200)");
    exec(db, "delete from paper where PapID in (7, 120, 200)");
    exec(db, "commit");
}

tess::exchange::Paper importedPaper() {
    using namespace tess::exchange;
    Paper paper;
    paper.category = QStringLiteral("物理");
    paper.name = QStringLiteral("力学题库");
    const QString stem =
        QStringLiteral("<p>一个物体在水平面上做匀速直线运动, 下列关于它所受的力的说法中, "
                       "<b>正确</b>的是哪一项?</p>");
    for (int i = 1; i <= kQuestions; ++i) {
        Question q;
        q.kind = tess::QuestionKind::Single;
        q.name = QStringLiteral("第 %1 题").arg(i);
        q.mark = 1;
        q.html = stem + QStringLiteral(" (%1)").arg(i);
        for (int c = 1; c <= kChoices; ++c)
            q.choices.push_back({QStringLiteral("它受到的合力为零, 这是选项 %1 的说法").arg(c),
                                 c == 1 + i % kChoices});
        paper.questions.push_back(q);
    }
    return paper;
}

// The same paper as a GIFT file: the category, then each question with its
// right choice marked "=" and the others "~".
QByteArray giftText(const tess::exchange::Paper& paper) {
    QString text = QStringLiteral("$CATEGORY: $course$/%1/%2\n\n").arg(paper.category, paper.name);
    for (const auto& q : paper.questions) {
        text += QStringLiteral("::%1::[html]%2{\n").arg(q.name, q.html);
        for (const auto& c : q.choices)
            text += (c.correct ? QLatin1Char('=') : QLatin1Char('~')) + c.html + QLatin1Char('\n');
        text += QStringLiteral("}\n\n");
    }
    return text.toUtf8();
}

// The least the import's writing costs: the same rows, three prepared
// statements, one transaction, the identifiers counted on from the largest.
void insertRaw(sqlite3* db, const tess::exchange::Paper& paper) {
    exec(db, "begin immediate");
    int papId = int(scalar(db, "select coalesce(max(PapID), 0) + 1 from paper"));
    int qstId = int(scalar(db, "select coalesce(max(QstID), 0) + 1 from question"));
    int chcId = int(scalar(db, "select coalesce(max(ChcID), 0) + 1 from choice"));
    sqlite3_stmt* p = nullptr;
    sqlite3_stmt* q = nullptr;
    sqlite3_stmt* c = nullptr;
    check(sqlite3_prepare_v2(
              db, "insert into paper (PapID, PapNam, PapScr, PapSav, PapCtg) values (?,?,?,?,?)",
              -1, &p, nullptr),
          db, "prepare");
    check(sqlite3_prepare_v2(db,
                             "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, "
                             "QstCon, IsTrue) values (?,?,?,?,?,?,?)",
                             -1, &q, nullptr),
          db, "prepare");
    check(sqlite3_prepare_v2(
              db, "insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values (?,?,?,?,?)",
              -1, &c, nullptr),
          db, "prepare");
    auto text = [](sqlite3_stmt* s, int i, const QString& value) {
        const QByteArray bytes = value.toUtf8();
        sqlite3_bind_text(s, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    };
    int mark = 0;
    for (const auto& question : paper.questions)
        mark += question.mark;
    sqlite3_bind_int(p, 1, papId);
    text(p, 2, paper.name);
    sqlite3_bind_int(p, 3, mark);
    text(p, 4, QStringLiteral("paper.htm"));
    text(p, 5, paper.category);
    check(sqlite3_step(p), db, "insert paper");
    int number = 0;
    for (const auto& question : paper.questions) {
        sqlite3_reset(q);
        sqlite3_bind_int(q, 1, qstId);
        sqlite3_bind_int(q, 2, papId);
        sqlite3_bind_int(q, 3, ++number);
        text(q, 4, QStringLiteral("单选题"));
        sqlite3_bind_int(q, 5, question.mark);
        text(q, 6, question.html);
        sqlite3_bind_int(q, 7, question.answer ? 1 : 0);
        check(sqlite3_step(q), db, "insert question");
        int choiceNumber = 0;
        for (const auto& choice : question.choices) {
            sqlite3_reset(c);
            sqlite3_bind_int(c, 1, chcId++);
            sqlite3_bind_int(c, 2, qstId);
            sqlite3_bind_int(c, 3, ++choiceNumber);
            sqlite3_bind_int(c, 4, choice.correct ? 1 : 0);
            text(c, 5, choice.html);
            check(sqlite3_step(c), db, "insert choice");
        }
        ++qstId;
    }
    sqlite3_finalize(p);
    sqlite3_finalize(q);
    sqlite3_finalize(c);
    exec(db, "commit");
}

QString freshCopy(const QString& bank, const QString& folder) {
    const QString copy = folder + QStringLiteral("/work.mdb");
    QFile::remove(copy);
    QFile::remove(copy + QStringLiteral("-journal"));
    if (!QFile::copy(bank, copy))
        throw std::runtime_error("the bank could not be copied");
    syncFile(copy);
    return copy;
}

// What the copy holds after a run, so that both kinds of run are seen to add the same.
QString counts(const QString& path) {
    tess::Connection conn;
    conn.setDataSource(path);
    conn.openForReading();
    sqlite3* db = conn.handle();
    return QStringLiteral("%1 papers, %2 questions, %3 choices")
        .arg(scalar(db, "select count(*) from paper"))
        .arg(scalar(db, "select count(*) from question"))
        .arg(scalar(db, "select count(*) from choice"));
}

int run(const QString& folder) {
    const int runs = qEnvironmentVariableIsSet("TESS_BENCH_RUNS")
                         ? std::max(1, qEnvironmentVariableIntValue("TESS_BENCH_RUNS"))
                         : 5;
    const QString bank = folder + QStringLiteral("/bank.mdb");
    QFile::remove(bank);
    makeBank(bank);
    syncFile(bank);
    const QString pictures = folder + QStringLiteral("/images");
    const tess::exchange::Paper paper = importedPaper();
    const QString xml = folder + QStringLiteral("/questions.xml");
    {
        QFile out(xml);
        if (!out.open(QIODevice::WriteOnly) || out.write(writeMoodleXml(paper, pictures)) < 0)
            throw std::runtime_error("the question file could not be written");
    }
    const QString gift = folder + QStringLiteral("/questions.gift");
    {
        QFile out(gift);
        if (!out.open(QIODevice::WriteOnly) || out.write(giftText(paper)) < 0)
            throw std::runtime_error("the GIFT file could not be written");
    }
    // The rows the reference inserts are the ones the import reads.
    const tess::exchange::Imported imported = tess::exchange::readQuestionFile(xml, pictures);
    if (imported.papers.size() != 1 || imported.papers[0].questions.size() != kQuestions)
        throw std::runtime_error("the question file did not read back as written");

    // A step timed on a fresh copy of the bank, open as the window opens it.
    auto onCopy = [&](const std::function<void(tess::Connection&)>& step, QString* after) {
        const QString copy = freshCopy(bank, folder);
        double ms = 0;
        {
            tess::Connection conn;
            conn.setDataSource(copy);
            conn.open();
            ms = timed([&] { step(conn); });
        }
        *after = counts(copy);
        return ms;
    };
    const QString files[] = {xml, gift};
    std::vector<double> reading[2], importing[2], adding, inserting;
    QString rows[2], addedRows, rawRows;
    for (int i = 0; i < runs; ++i) {
        for (int f = 0; f < 2; ++f) {
            reading[f].push_back(
                timed([&] { tess::exchange::readQuestionFile(files[f], pictures); }));
            importing[f].push_back(onCopy(
                [&](tess::Connection& conn) {
                    tess::exchange::importQuestionFile(conn, files[f], pictures,
                                                       QStringLiteral("paper.htm"));
                },
                &rows[f]));
        }
        adding.push_back(onCopy(
            [&](tess::Connection& conn) {
                tess::exchange::addPapers(conn, imported.papers, QStringLiteral("paper.htm"));
            },
            &addedRows));
        inserting.push_back(
            onCopy([&](tess::Connection& conn) { insertRaw(conn.handle(), imported.papers[0]); },
                   &rawRows));
    }
    const double reference = median(inserting);
    std::printf("import of %d single-choice questions with %d choices (%d records), "
                "median of %d runs, %s build\n",
                kQuestions, kChoices, 1 + kQuestions * (1 + kChoices), runs, TESS_BUILD_TYPE);
    auto line = [reference](const char* label, double ms) {
        std::printf("  %-46s %8.1f ms  %6.2fx\n", label, ms, ms / reference);
    };
    line("ref: prepared inserts, one transaction", reference);
    line("adding the papers read (number, insert)", median(adding));
    line("import of the Moodle XML file", median(importing[0]));
    line("  of which reading the file", median(reading[0]));
    line("import of the GIFT file", median(importing[1]));
    line("  of which reading the file", median(reading[1]));
    std::printf("  (goal: an import at most 3x the reference)\n");
    std::printf("  bank after each: %s\n", qPrintable(rawRows));
    for (const QString& after : {rows[0], rows[1], addedRows})
        if (after != rawRows) {
            std::printf("warning: an import added other rows than the reference: %s\n",
                        qPrintable(after));
            return 1;
        }
    return 0;
}

// ---------------------------------------------------------------- growth

// The peak resident memory of this process so far, in KiB: the kernel's
// high-water mark of its memory since it was started (VmHWM). The peak that
// getrusage gives would count the memory of the benchmark it was forked from.
long peakKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        throw std::runtime_error("a question file could not be written");
}

// n true/false questions of a few bytes each ("Q12345 {T}" and a blank line).
QByteArray shortGift(int n) {
    QByteArray bytes;
    bytes.reserve(qsizetype(n) * 13);
    for (int i = 1; i <= n; ++i)
        bytes += "Q" + QByteArray::number(i) + (i % 2 ? " {T}\n\n" : " {F}\n\n");
    return bytes;
}

// One single-choice question of n choices, one a line.
QByteArray manyChoices(int n) {
    QByteArray bytes = "Q {\n=right\n";
    for (int i = 1; i < n; ++i)
        bytes += "~wrong" + QByteArray::number(i) + "\n";
    return bytes + "}\n";
}

constexpr qsizetype kBlankBytes = qsizetype(98) * 1024 * 1024;

// The child's work, timed; prints "ms peakKiB count" (count: questions and
// choices taken, -1 for a file refused, with its message after it).
// The bank is a file in the folder, or the server database TESS_BENCH_BANK names.
int child(const QString& mode, const QString& file, const QString& folder) {
    QString bank = qEnvironmentVariable("TESS_BENCH_BANK");
    if (bank.isEmpty()) {
        bank = folder + QStringLiteral("/grow.mdb");
        QFile::remove(bank);
    }
    tess::createPaperBank(bank);
    tess::Connection conn;
    conn.setDataSource(bank);
    conn.open();
    const QString pictures = folder + QStringLiteral("/images");
    qsizetype count = 0;
    QString refused;
    double ms = 0;
    if (mode == QLatin1String("add")) {
        // A paper of n true/false questions made here, then only its adding timed.
        tess::exchange::Paper paper;
        paper.name = QStringLiteral("判断题");
        for (int i = 1, n = file.toInt(); i <= n; ++i) {
            tess::exchange::Question q;
            q.html = QStringLiteral("第 %1 题").arg(i);
            q.answer = i % 2;
            paper.questions.push_back(q);
        }
        ms = timed([&] { tess::exchange::addPapers(conn, {paper}, QStringLiteral("paper.htm")); });
        count = paper.questions.size();
    } else if (mode != QLatin1String("none")) {
        ms = timed([&] {
            try {
                const tess::exchange::Imported imported =
                    mode == QLatin1String("import")
                        ? tess::exchange::importQuestionFile(conn, file, pictures,
                                                             QStringLiteral("paper.htm"))
                        : tess::exchange::readQuestionFile(file, pictures);
                for (const auto& paper : imported.papers)
                    for (const auto& question : paper.questions)
                        count += 1 + question.choices.size();
            } catch (const tess::exchange::ExchangeError& e) {
                count = -1;
                refused = e.message();
            }
        });
    }
    std::printf("%.3f %ld %lld %s\n", ms, peakKiB(), qlonglong(count), qPrintable(refused));
    return 0;
}

struct Measured {
    double ms = 0;
    double extraMiB = 0; // peak memory beyond a process that did nothing but make the bank
    qlonglong count = 0;
    QString refused;
};

// A statement run on the server uri names, by psql.
void psql(const QString& uri, const QString& sql) {
    QProcess process;
    process.start(QStringLiteral("psql"),
                  {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                   QStringLiteral("ON_ERROR_STOP=1"), uri, QStringLiteral("-c"), sql});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        throw std::runtime_error("psql failed: " + process.readAllStandardError().toStdString());
}

// The URI of the database the benchmark makes on the server uri names.
QString benchDatabase(const QString& uri) {
    QString out = uri;
    const qsizetype slash = out.indexOf(QLatin1Char('/'), out.indexOf(QStringLiteral("://")) + 3);
    const qsizetype end = out.indexOf(QLatin1Char('?'), slash);
    out.replace(slash + 1, (end < 0 ? out.size() : end) - slash - 1,
                QStringLiteral("tess_bench_import"));
    return out;
}

// server: the URI of a server to work on instead of a bank file; each run
// gets a new database there.
Measured once(const QString& mode, const QString& file, const QString& folder,
              const QString& server = QString()) {
    QProcess process;
    if (!server.isEmpty()) {
        psql(server, QStringLiteral("drop database if exists tess_bench_import"));
        psql(server, QStringLiteral("create database tess_bench_import"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TESS_BENCH_BANK"), benchDatabase(server));
        process.setProcessEnvironment(environment);
    }
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--child"), mode, file, folder});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        throw std::runtime_error("a measuring process failed: " +
                                 process.readAllStandardError().toStdString());
    const QString out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    const QStringList parts = out.split(QLatin1Char(' '));
    if (parts.size() < 3)
        throw std::runtime_error("a measuring process said: " + out.toStdString());
    Measured m;
    m.ms = parts[0].toDouble();
    m.extraMiB = parts[1].toDouble() / 1024.0;
    m.count = parts[2].toLongLong();
    m.refused = parts.mid(3).join(QLatin1Char(' '));
    if (!server.isEmpty())
        psql(server, QStringLiteral("drop database tess_bench_import"));
    return m;
}

// The median time of `runs` new processes, and their largest peak memory
// beyond that of a process that only made the bank.
Measured inChild(const QString& mode, const QString& file, const QString& folder, int runs,
                 const QString& server = QString()) {
    static const double baseline = once(QStringLiteral("none"), QString(), folder).extraMiB;
    std::vector<double> times;
    Measured m;
    for (int i = 0; i < runs; ++i) {
        const Measured run = once(mode, file, folder, server);
        times.push_back(run.ms);
        const double extra = m.extraMiB;
        m = run;
        m.extraMiB = std::max(extra, run.extraMiB - baseline);
    }
    m.ms = median(times);
    return m;
}

int growth(const QString& folder, int runs) {
    std::printf("\nimports as files grow, each run a new process, median of %d runs, %s build\n",
                runs, TESS_BUILD_TYPE);
    std::printf("  %-46s %9s %9s %8s %9s %7s\n", "", "file KiB", "ms", "us each", "+peak MiB",
                "x file");
    // `each`: what the time is divided by (questions, choices).
    const auto show = [](const QString& label, qsizetype bytes, const Measured& m, qint64 each) {
        std::printf("  %-46s %9.0f %9.1f %8.2f %9.1f", qPrintable(label), double(bytes) / 1024.0,
                    m.ms, each > 0 ? m.ms * 1000.0 / double(each) : 0.0, m.extraMiB);
        if (bytes > 0)
            std::printf(" %7.2f", m.extraMiB * 1024.0 * 1024.0 / double(bytes));
        std::printf("\n");
        if (m.count < 0)
            std::printf("  %-46s refused: %s\n", "", qPrintable(m.refused));
    };
    const QString gift = folder + QStringLiteral("/grow.gift");
    std::vector<double> perQuestion;
    for (const int n : {1000, 10000, 100000}) {
        const QByteArray bytes = shortGift(n);
        writeBytes(gift, bytes);
        const Measured m = inChild(QStringLiteral("import"), gift, folder, runs);
        if (m.count != n)
            throw std::runtime_error("a GIFT file did not import whole: " +
                                     m.refused.toStdString());
        perQuestion.push_back(m.ms / n);
        show(QStringLiteral("GIFT import, %1 true/false (us: a question)").arg(n), bytes.size(), m,
             n);
    }
    const auto [least, most] = std::minmax_element(perQuestion.begin(), perQuestion.end());
    std::printf("  time a question, largest / smallest: %.2f (goal: at most 2)\n", *most / *least);
    {
        const QByteArray bytes = manyChoices(40000);
        writeBytes(gift, bytes);
        show(QStringLiteral("GIFT import, a question of 40,000 choices (a choice)"), bytes.size(),
             inChild(QStringLiteral("import"), gift, folder, runs), 40000);
    }
    for (const int n : {5000, 20000})
        show(QStringLiteral("adding a paper of %1 true/false (a question)").arg(n), 0,
             inChild(QStringLiteral("add"), QString::number(n), folder, runs), n);
    // The same on a server, when TESS_PG_URI names one (its memory is the server's).
    if (const QString server = qEnvironmentVariable("TESS_PG_URI"); !server.isEmpty()) {
        for (const int n : {5000, 20000})
            show(QStringLiteral("the same on the server, %1 (a question)").arg(n), 0,
                 inChild(QStringLiteral("add"), QString::number(n), folder, runs, server), n);
    }
    // Each made in turn, so that this process does not hold them all.
    const auto blank = [] { return QByteArray(kBlankBytes, '\n'); };
    const struct {
        const char* label;
        const char* name;
        std::function<QByteArray()> bytes;
    } blanks[] = {
        {"GIFT read, 98 MiB of blank lines, a question", "blank.gift",
         [&] { return blank() + "Q {T}\n"; }},
        {"Aiken read, 98 MiB of blank lines, a question", "blank.txt",
         [&] { return blank() + "Q\nA. a\nANSWER: A\n"; }},
        {"XML read, 98 MiB of blank lines in <quiz>", "blank.xml",
         [&] {
             return "<quiz>" + blank() +
                    "<question type=\"truefalse\"><answer fraction=\"100\"><text>true</text>"
                    "</answer></question></quiz>\n";
         }},
        {"GIFT read, 98 MiB of blank lines only", "empty.gift", blank},
    };
    for (const auto& b : blanks) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(b.name);
        qsizetype size = 0;
        {
            const QByteArray bytes = b.bytes();
            size = bytes.size();
            writeBytes(path, bytes);
        }
        show(QLatin1String(b.label), size, inChild(QStringLiteral("read"), path, folder, runs), 0);
        QFile::remove(path);
    }
    QFile::remove(gift);
    return *most / *least <= 2 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        if (argc == 5 && qstrcmp(argv[1], "--child") == 0)
            return child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                         QString::fromLocal8Bit(argv[4]));
        QString folder;
        QTemporaryDir dir;
        if (argc > 1) {
            folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
            QDir().mkpath(folder);
        } else {
            folder = dir.path();
        }
        const int runs = qEnvironmentVariableIsSet("TESS_BENCH_RUNS")
                             ? std::max(1, qEnvironmentVariableIntValue("TESS_BENCH_RUNS"))
                             : 5;
        const int imported = run(folder);
        return growth(folder, runs) | imported;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_import: %s\n", e.what());
    }
    return 1;
}
