// tessaloom-newbank BANK: makes a ready-made paper bank (the four tables and
// the account "Admin" with an empty password). BANK is a file, never replaced
// when it exists, or a server bank's URI naming an empty database.
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/schema.h"

#include <QString>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("用法: tessaloom-newbank 试题库\n"
                   "创建一个新的试题库, 其中只有帐号 Admin (密码为空).\n"
                   "试题库是一个还不存在的文件 (.mdb), 或者服务器上一个空的数据库的地址\n"
                   "(postgresql://主机/数据库名).\n",
                   stderr);
        return 2;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    try {
        tess::createPaperBank(name);
    } catch (const tess::EngineError& e) {
        std::fprintf(stderr, "创建试题库失败: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    std::printf("已创建试题库 %s, 帐号 Admin 的密码为空.\n",
                tess::displayBankName(name).toLocal8Bit().constData());
    return 0;
}
