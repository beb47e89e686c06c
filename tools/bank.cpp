// tessaloom-bank copy FROM TO: copies a whole paper bank, from a file to a
// server bank or back, identifiers unchanged, all or nothing, with progress.
#include "bank/bankcopy.h"
#include "store/connection.h"
#include "toolsupport.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

struct Refusal {
    QString message() const { return text; }
    QString text;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 3 || args.at(0) != QLatin1String("copy")) {
        std::fputs("用法: tessaloom-bank copy 源试题库 目标试题库\n"
                   "把整个试题库 (试卷, 题目, 选项, 帐号, 图片) 复制到另一个试题库, 编号不变.\n"
                   "文件试题库的图片在它旁边的 images 文件夹里; 服务器上的试题库\n"
                   "的图片保存在数据库里, 复制到文件时写进文件旁边的 images 文件夹.\n"
                   "试题库可以是文件 (试题库.mdb), 也可以是服务器上的数据库\n"
                   "(postgresql://服务器/数据库). 目标必须是新的: 不存在的文件,\n"
                   "服务器上空的数据库, 或者还没有试卷和题目的试题库.\n"
                   "要么全部复制, 要么什么都不改变.\n",
                   stderr);
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
