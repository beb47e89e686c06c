// tessaloom-newbank PATH|URI: makes a ready-made paper bank (the four tables and
// the account "Admin" with an empty password). An existing file is never
// replaced; on a server the database must be empty.
#include "settings/programinfo.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/schema.h"

#include <QString>
#include <cstdio>

namespace {

const char* const kUsage = "用法: tessaloom-newbank 试题库文件.mdb\n"
                           "      tessaloom-newbank postgresql://服务器/数据库\n"
                           "创建一个新的试题库, 其中只有帐号 Admin (密码为空).\n"
                           "在服务器上, 数据库必须已经建好而且是空的.\n";

} // namespace

int main(int argc, char* argv[]) {
    if (const auto answered = tess::answerHelpOrVersion(argc, argv, "tessaloom-newbank", kUsage))
        return *answered;
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    try {
        tess::createPaperBank(path);
    } catch (const tess::EngineError& e) {
        std::fprintf(stderr, "创建试题库失败: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    std::printf("已创建试题库 %s, 帐号 Admin 的密码为空.\n",
                tess::displayBankName(path).toLocal8Bit().constData());
    return 0;
}
