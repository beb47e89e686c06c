// The banks the benchmarks work on, made from the real schema, and the small
// helpers they share (SQLite statements, medians, sizes, figures as text).
#pragma once

#include "store/schema.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace bench {

// A whole number from the environment (at least 1), or fallback when unset.
inline int benchSetting(const char* name, int fallback) {
    return qEnvironmentVariableIsSet(name) ? std::max(1, qEnvironmentVariableIntValue(name))
                                           : fallback;
}

struct BankSize {
    int papers;
    int questions;
    int choices;
};
inline constexpr BankSize kSmall{1000, 10000, 40000};
inline constexpr BankSize kDistrict{100000, 1000000, 4000000};
inline constexpr int kBigPaperQuestions = 1000;

inline qint64 monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QByteArray path8(const QString& path) {
    return QFile::encodeName(path);
}

// Dirty pages of a freshly written bank would otherwise be written back by
// the kernel in the middle of a timed step.
inline void syncFile(const QString& path) {
    const int fd = ::open(path8(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

inline qint64 peakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

inline qint64 freeBytes(const QString& folder) {
    struct statvfs fs {};
    if (::statvfs(path8(folder).constData(), &fs) != 0)
        return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

inline void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// One statement, finalized whatever happens.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) : m_db(db) {
        check(sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr), db, sql);
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }
    bool step() {
        const int rc = sqlite3_step(m_stmt);
        check(rc, m_db, "step");
        return rc == SQLITE_ROW;
    }
    void run() {
        step();
        sqlite3_reset(m_stmt);
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

class Db {
public:
    explicit Db(const QString& path, int flags = SQLITE_OPEN_READWRITE) {
        if (sqlite3_open_v2(path8(path).constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            const std::string message = sqlite3_errmsg(m_db);
            sqlite3_close_v2(m_db);
            throw std::runtime_error("open " + path.toStdString() + ": " + message);
        }
    }
    ~Db() { sqlite3_close_v2(m_db); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    operator sqlite3*() const { return m_db; }
    void exec(const char* sql) {
        check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), m_db, sql);
    }
    qint64 scalar(const char* sql) {
        Stmt s(m_db, sql);
        return s.step() ? sqlite3_column_int64(s.get(), 0) : -1;
    }

private:
    sqlite3* m_db = nullptr;
};

// --- making a bank --------------------------------------------------------------------

// Deterministic, so that a bank made again is the same bank.
struct Rng {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % uint64_t(n)); }
};

inline constexpr char kCommonCharacters[] =
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也"
    "能下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实"
    "加量都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样"
    "与关各重新线内数正心反你明看原又么利比或但质气第向道命此变条只没结解问意建月公无系军很情"
    "者最立代想已通并提直题党程展五果料象员革位入常文总次品式活设及管特件长求老头基资边流路级"
    "少图山统接知较将组见计别她手角期根论运农指几九区强放决西被干做必战先回则任取据处府研植叶"
    "光合作用氧碳分解温度压强电流电阻磁场速度加速摩擦功能量守恒细胞遗传基因蛋白酶诗词朗读句段"
    "篇章作者描写修辞比喻拟人夸张排比方程函数几何三角概率统计向量坐标圆锥曲线导数积分";

// Texts are cut from one long made-up passage of common characters, every
// one of them three bytes in UTF-8, so a text is a byte range of it.
class TextSource {
public:
    explicit TextSource(int minChars, int maxChars) : m_min(minChars), m_max(maxChars) {
        const QString pool = QString::fromUtf8(kCommonCharacters);
        Rng rng;
        QString passage;
        for (int i = 0; i < kPassageChars; ++i) {
            const int pick = rng.below(40);
            passage += pick == 0   ? QStringLiteral("，")
                       : pick == 1 ? QStringLiteral("。")
                                   : QString(pool.at(rng.below(int(pool.size()))));
        }
        m_utf8 = passage.toUtf8();
        if (m_utf8.size() != 3 * kPassageChars)
            throw std::runtime_error("the passage holds a character that is not three bytes");
    }
    // Bytes and length of the next text, valid while the source lives.
    std::pair<const char*, int> next(Rng& rng) {
        const int chars = m_min + rng.below(m_max - m_min + 1);
        const int start = rng.below(kPassageChars - chars);
        return {m_utf8.constData() + 3 * start, 3 * chars};
    }

private:
    static constexpr int kPassageChars = 16384;
    int m_min;
    int m_max;
    QByteArray m_utf8;
};

inline constexpr const char* kCategories[] = {
    "语文",     "数学",       "英语",     "物理", "化学",     "生物",    "历史",
    "地理",     "道德与法治", "信息技术", "科学", "音乐",     "美术",    "体育与健康",
    "通用技术", "心理健康",   "劳动教育", "书法", "综合实践", "安全教育"};
inline constexpr const char* kPaperKinds[] = {"单元测验", "期中考试", "期末考试", "随堂练习",
                                              "模拟考试"};

inline int bigPaperId(int papers) {
    return papers / 2;
}

// The paper a teacher is working on, and the one deleted: ordinary papers.
inline int workPaperId(int papers) {
    return papers / 3 + 1;
}
inline int deletedPaperId(int papers) {
    return 2 * papers / 3 + 1;
}

// Questions come paper by paper, as teachers write them: one paper of the
// middle holds 1,000 questions, the others share the rest evenly. A third of
// the questions are true/false, the others single or multiple choice with six
// choices (fewer for the last one, so the choice count comes out exact).
inline void generateBank(const QString& path, BankSize size, int minChars, int maxChars) {
    tess::createPaperBank(path);
    Db db(path);
    // A half-made file is thrown away, never used: no journal, no syncs.
    db.exec("PRAGMA journal_mode = OFF");
    db.exec("PRAGMA synchronous = OFF");
    db.exec("PRAGMA cache_size = -262144");
    db.exec("BEGIN");
    Stmt paper(db, "insert into paper (PapID, PapNam, PapScr, PapSav, PapCtg) values (?,?,?,?,?)");
    Stmt question(db, "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, "
                      "IsTrue) values (?,?,?,?,?,?,?)");
    Stmt choice(db,
                "insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values (?,?,?,?,?)");
    TextSource texts(minChars, maxChars);
    Rng rng;
    const QByteArray types[] = {QStringLiteral("判断题").toUtf8(),
                                QStringLiteral("单选题").toUtf8(),
                                QStringLiteral("多选题").toUtf8()};
    const int marks[] = {2, 3, 4};
    const int big = bigPaperId(size.papers);
    const qint64 shared = size.questions - kBigPaperQuestions;
    const int others = size.papers - 1;
    int qstId = 0;
    int chcId = 0;
    int other = 0;
    for (int papId = 1; papId <= size.papers; ++papId) {
        int count = kBigPaperQuestions;
        if (papId != big) {
            count = int((other + 1) * shared / others - other * shared / others);
            ++other;
        }
        int fullMark = 0;
        for (int number = 1; number <= count; ++number) {
            ++qstId;
            const int kind = qstId % 3 == 0 ? 0 : qstId % 3; // 0 true/false, 1 single, 2 multiple
            fullMark += marks[kind];
            const auto [text, bytes] = texts.next(rng);
            sqlite3_stmt* q = question.get();
            sqlite3_bind_int(q, 1, qstId);
            sqlite3_bind_int(q, 2, papId);
            sqlite3_bind_int(q, 3, number);
            sqlite3_bind_text(q, 4, types[kind].constData(), int(types[kind].size()),
                              SQLITE_STATIC);
            sqlite3_bind_int(q, 5, marks[kind]);
            sqlite3_bind_text(q, 6, text, bytes, SQLITE_STATIC);
            sqlite3_bind_int(q, 7, kind == 0 ? rng.below(2) : 0);
            question.run();
            if (kind == 0)
                continue;
            const int n = std::min(6, size.choices - chcId);
            const int right = qstId % std::max(n, 1) + 1;
            const int second = qstId % std::max(n - 1, 1) + 2; // a second right one when multiple
            for (int c = 1; c <= n; ++c) {
                const auto [ctext, cbytes] = texts.next(rng);
                sqlite3_stmt* s = choice.get();
                sqlite3_bind_int(s, 1, ++chcId);
                sqlite3_bind_int(s, 2, qstId);
                sqlite3_bind_int(s, 3, c);
                sqlite3_bind_int(s, 4, c == right || (kind == 2 && c == second) ? 1 : 0);
                sqlite3_bind_text(s, 5, ctext, cbytes, SQLITE_STATIC);
                choice.run();
            }
        }
        const QByteArray category = QByteArray(kCategories[papId % 20]);
        const QByteArray name =
            category + kPaperKinds[papId % 5] + "第" + QByteArray::number(papId) + "套";
        const QByteArray save = "pages/paper" + QByteArray::number(papId) + ".html";
        sqlite3_stmt* p = paper.get();
        sqlite3_bind_int(p, 1, papId);
        sqlite3_bind_text(p, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(p, 3, fullMark);
        sqlite3_bind_text(p, 4, save.constData(), int(save.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(p, 5, category.constData(), int(category.size()), SQLITE_TRANSIENT);
        paper.run();
    }
    // Each paper is written after its questions, which the bank's watch
    // records as orphans for a moment; the finished bank has none.
    db.exec("DELETE FROM orphan_owner");
    // The texts are indexed as in a bank that an earlier program filled: by
    // the build that bench_search times.
    db.exec("DELETE FROM text_stale");
    db.exec("INSERT INTO text_stale (id) VALUES (NULL)");
    db.exec("COMMIT");
    if (qstId != size.questions || chcId != size.choices)
        throw std::runtime_error("the bank came out with other counts than asked");
}

inline bool bankComplete(const QString& path, BankSize size) {
    if (!QFileInfo::exists(path))
        return false;
    try {
        Db db(path, SQLITE_OPEN_READONLY);
        // A bank of the schema before the watch would be upgraded in every timed
        // sign-in; a later one is upgraded once, at its first open.
        return db.scalar("pragma user_version") >= 2 &&
               db.scalar("select max(PapID) from paper") == size.papers &&
               db.scalar("select max(QstID) from question") == size.questions &&
               db.scalar("select max(ChcID) from choice") == size.choices;
    } catch (const std::exception&) {
        return false;
    }
}

inline QString mb(double bytes) {
    return QString::number(bytes / 1e6, 'f', 0) + QStringLiteral(" MB");
}

inline QString fileFacts(const QString& path) {
    return mb(double(QFileInfo(path).size()));
}

inline void ensureBank(const QString& path, BankSize size, const QString& name, bool spaceShort) {
    if (bankComplete(path, size)) {
        std::printf("%s bank kept from an earlier run: %s (%s)\n", qPrintable(name),
                    qPrintable(path), qPrintable(fileFacts(path)));
        return;
    }
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    QFile::remove(path);
    // Texts of 50 to 200 characters; 10 to 40 when the disk cannot hold the
    // full bank and its working copy.
    const int minChars = spaceShort ? 10 : 50;
    const int maxChars = spaceShort ? 40 : 200;
    QElapsedTimer t;
    t.start();
    generateBank(part, size, minChars, maxChars);
    syncFile(part);
    QFile::rename(part, path);
    std::printf("%s bank made in %.1f s: %d papers, %d questions, %d choices, texts of %d to %d "
                "characters, %s\n",
                qPrintable(name), double(t.elapsed()) / 1000, size.papers, size.questions,
                size.choices, minChars, maxChars, qPrintable(fileFacts(path)));
    std::fflush(stdout);
}

inline QString cell(double ms) {
    if (ms < 0)
        return QStringLiteral("-");
    return ms < 10     ? QString::number(ms, 'f', 2) + QStringLiteral(" ms")
           : ms < 1000 ? QString::number(ms, 'f', 1) + QStringLiteral(" ms")
                       : QString::number(ms / 1000, 'f', 2) + QStringLiteral(" s");
}

inline QString ratio(double a, double b) {
    return a < 0 || b <= 0 ? QStringLiteral("-")
                           : QString::number(a / b, 'f', 2) + QStringLiteral("x");
}

inline QString machineFacts() {
    QFile mem(QStringLiteral("/proc/meminfo"));
    QString total;
    if (mem.open(QIODevice::ReadOnly))
        total = QString::fromUtf8(mem.readLine()).simplified();
    QFile load(QStringLiteral("/proc/loadavg"));
    QString loadavg;
    if (load.open(QIODevice::ReadOnly))
        loadavg = QString::fromUtf8(load.readAll()).simplified();
    return QStringLiteral("cores %1, %2, load average %3, Qt %4, SQLite %5")
        .arg(sysconf(_SC_NPROCESSORS_ONLN))
        .arg(total, loadavg, QString::fromLatin1(qVersion()),
             QString::fromLatin1(sqlite3_libversion()));
}

} // namespace bench
