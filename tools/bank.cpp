// tessaloom-bank copy FROM TO: copies a whole paper bank, from a file to a
// server bank or back, identifiers unchanged, all or nothing, with progress.
// tessaloom-bank search BANK TEXT [...]: the questions that hold a text, a
// line each, for scripts and for checking.
#include "bank/bankcopy.h"
#include "bank/questionsearch.h"
#include "settings/programinfo.h"
#include "store/connection.h"
#include "store/questionkind.h"
#include "toolsupport.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

struct Refusal {
    QString message() const { return text; }
    QString text;
};

const char* const kSearchUsage =
    "用法: tessaloom-bank search 试题库 文字 [--type 判断题|单选题|多选题] [--category 类别]\n"
    "                          [--limit 条数]\n"
    "列出题目或选项中含有这些文字的题目 (不看 HTML 标记, 英文字母不分大小写),\n"
    "按试卷和题号排列, 每行一道: 试卷标识, 题目标识, 题型, 分值, 题目文字.\n"
    "找到时退出码为 0, 没有找到为 1, 用法有误为 2, 打不开试题库为 3.\n";

const char* const kCopyUsage =
    "用法: tessaloom-bank copy 源试题库 目标试题库\n"
    "把整个试题库 (试卷, 题目, 选项, 帐号, 图片) 复制到另一个试题库, 编号不变.\n"
    "文件试题库的图片在它旁边的 images 文件夹里; 服务器上的试题库\n"
    "的图片保存在数据库里, 复制到文件时写进文件旁边的 images 文件夹.\n"
    "试题库可以是文件 (试题库.mdb), 也可以是服务器上的数据库\n"
    "(postgresql://服务器/数据库). 目标必须是新的: 不存在的文件,\n"
    "服务器上空的数据库, 或者还没有试卷和题目的试题库.\n"
    "要么全部复制, 要么什么都不改变.\n\n";

// The search's options after BANK and TEXT; false for anything else.
bool readSearchOptions(const QStringList& options, tess::QuestionSearch& search) {
    for (qsizetype i = 0; i < options.size(); i += 2) {
        if (i + 1 >= options.size())
            return false;
        const QString& value = options.at(i + 1);
        if (options.at(i) == QLatin1String("--type") && tess::questionTypeWords().contains(value))
            search.type = value;
        else if (options.at(i) == QLatin1String("--category"))
            search.category = value;
        else if (options.at(i) == QLatin1String("--limit")) {
            bool ok = false;
            search.limit = value.toInt(&ok);
            if (!ok || search.limit <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

int runSearch(const QStringList& args) {
    tess::QuestionSearch search;
    if (args.size() < 3 || !readSearchOptions(args.mid(3), search)) {
        std::fputs(kSearchUsage, stderr);
        return 2;
    }
    search.text = args.at(2);
    try {
        tess::Connection conn;
        conn.setDataSource(tools::bankName(args.at(1)));
        conn.open();
        const QVector<tess::QuestionHit> hits = tess::searchQuestions(conn, search);
        for (const tess::QuestionHit& hit : hits)
            tools::say(QStringLiteral("%1\t%2\t%3\t%4\t%5")
                           .arg(hit.papId)
                           .arg(hit.qstId)
                           .arg(hit.type)
                           .arg(hit.mark)
                           .arg(hit.text));
        return hits.isEmpty() ? 1 : 0;
    } catch (const tess::EngineError& e) {
        std::fputs(
            (QStringLiteral("拒绝: ") + e.message() + QLatin1Char('\n')).toUtf8().constData(),
            stderr);
        return 3;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const QByteArray usage = QByteArray(kCopyUsage) + kSearchUsage;
    if (const auto answered =
            tess::answerHelpOrVersion(argc, argv, "tessaloom-bank", usage.constData()))
        return *answered;
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.at(0) == QLatin1String("search"))
        return runSearch(args);
    if (args.size() != 3 || args.at(0) != QLatin1String("copy")) {
        std::fputs(usage.constData(), stderr);
        return 2;
    }
    const QString from = tools::bankName(args.at(1));
    const QString to = tools::bankName(args.at(2));
    return tools::refusing<Refusal>([&] {
        int shown = -1;
        const tess::BankCopy copied = tess::copyBank(
            from, to,
            [&](qint64 done, qint64 total) {
                const int percent = total > 0 ? int(done * 100 / total) : 100;
                if (percent != shown) {
                    shown = percent;
                    tools::say(
                        QStringLiteral("已复制 %1/%2 行 (%3%)").arg(done).arg(total).arg(percent));
                }
            },
            tools::picturesBeside(from), tools::picturesBeside(to));
        tools::say(QStringLiteral("已把试题库 %1 复制到 %2, 共 %3 行.")
                       .arg(tess::displayBankName(from), tess::displayBankName(to))
                       .arg(copied.rows));
        if (tess::Connection::isServerName(from) || tess::Connection::isServerName(to))
            tools::say(QStringLiteral("服务器上的试题库保存着 %1 幅图片.").arg(copied.pictures));
        for (const QString& line : copied.warnings)
            tools::say(QStringLiteral("警告: ") + line);
        return 0;
    });
}
