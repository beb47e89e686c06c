#include "app/tessapplication.h"
#include "frame/prompts.h"
#include "settings/programinfo.h"

namespace {

const char* const kUsage =
    "用法: tessaloom [--bank 试题库]\n"
    "出试卷, 管理试题库, 把试卷发布成能自动评分的网页.\n"
    "程序所在的文件夹里有试题库或者可以写入时, 试题库 (tessaloom.mdb), 设置文件\n"
    "(tessaloom.ini) 和图片文件夹 (images) 都在程序旁边; 否则试题库和图片在\n"
    "~/.local/share/tessaloom, 设置文件在 ~/.config/tessaloom, 第一次启动时\n"
    "从 share/tessaloom 复制现成的试题库和使用指南.\n"
    "  --bank 试题库  打开另一个试题库: 试题库文件 (.mdb) 的路径,\n"
    "             或者服务器试题库的地址 (postgresql://主机/数据库名)\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before the application is made: no display is needed for them.
    if (const auto answered = tess::answerHelpOrVersion(argc, argv, "tessaloom", kUsage))
        return *answered;
    tess::TessApplication app(argc, argv);
    QApplication::setApplicationName(tess::appTitle());

    // The login dialog is painted first; the main window follows it.
    tess::Startup startup(app);
    startup.show();
    const int result = app.exec();
    startup.finish();
    return result;
}
