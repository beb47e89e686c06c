// tessaloom-publish: a paper of a paper bank published as its page, as the
// window's command "生成试卷" publishes it: the check first, then the page and
// its pictures folder.
//   tessaloom-publish BANK PAPER-ID OUT [--style 经典|手机友好]
// --style writes the page in that style instead of the paper's own. BANK is a
// file or a server bank's URI (postgresql://...). Pictures live in "images"
// beside a bank file, in "images" in the current folder for a server bank.
// The bank is only read.
#include "generate/publish.h"
#include "bank/bankpictures.h"
#include "generate/generateerror.h"
#include "generate/pagepaths.h"
#include "generate/papercheck.h"
#include "generate/paperwriter.h"
#include "generate/phonepage.h"
#include "settings/programinfo.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/pagestyle.h"
#include "store/query.h"
#include "store/statement.h"
#include "toolsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace {

using tools::picturesBeside;
using tools::say;

const char* const kUsage =
    "用法: tessaloom-publish 试题库 试卷标识 输出.html [--style 经典|手机友好]\n"
    "      试题库是试题库文件 (.mdb), 或者服务器试题库的地址 (postgresql://主机/数据库名)\n"
    "      --style  用这个页面样式生成, 不用试卷自己的样式\n"
    "先做试卷错误性检查, 有严重错误时不生成, 退出码为 1.\n";

int publishPaper(const QString& bank, const QString& idText, const QString& out,
                 const std::optional<tess::PageStyle>& styleOverride) {
    bool ok = false;
    const int papId = idText.toInt(&ok);
    if (!ok) {
        say(QStringLiteral("试卷标识 \"%1\" 不是整数.").arg(idText));
        return 2;
    }
    const QString outputPath = tess::pageOutputPath(out);
    if (tools::sameFile(outputPath, bank)) {
        say(QStringLiteral("拒绝: 试卷页面不能写在试题库 %1 上, 请换一个输出文件名.")
                .arg(QDir::toNativeSeparators(bank)));
        return 1;
    }
    tess::Connection conn;
    conn.setDataSource(tools::bankName(bank));
    conn.openForReading();

    tess::PageSource paper;
    paper.papId = papId;
    {
        tess::Statement stmt(conn,
                             QStringLiteral("select PapNam, PapScr from paper where PapID = ?"),
                             QStringLiteral("[表 paper]"));
        stmt.bind(1, papId);
        if (!stmt.step()) {
            say(QStringLiteral("拒绝: 试题库中没有标识为 %1 的试卷, 请用 tessaloom-bank 列出试卷后"
                               "重新选择.")
                    .arg(papId));
            return 1;
        }
        paper.name = stmt.text(0);
        paper.fullMarkText = stmt.text(1);
    }
    tess::PaperStyle style = tess::readPaperStyle(conn, papId);
    if (styleOverride)
        style.style = *styleOverride;

    // The window's own steps, with the terminal as the message area.
    QStringList messages;
    bool refused = false, written = false;
    tess::GenerationSteps steps;
    steps.clearMessages = [&] { messages.clear(); };
    steps.addMessage = [&](const QString& line) {
        messages << line;
        say(line);
    };
    steps.messageText = [&] { return messages.join(QLatin1Char('\n')); };
    steps.showInformation = [&](const QString&) { refused = true; };
    steps.checkPaper = [&] {
        tess::Query check(conn);
        return tess::checkPaper(check, papId, steps.addMessage);
    };
    steps.paperOutputFile = [&] { return outputPath; };
    steps.writePage = [&](const QString& path) {
        tess::writeStyledPage(conn, paper, style, path);
        written = true;
    };
    steps.fetchPictures = [&] {
        return tess::fetchPaperPictures(conn, papId, picturesBeside(bank));
    };
    steps.picturesFolder = picturesBeside(bank);
    tess::runGeneration(steps);
    if (refused) {
        say(QStringLiteral("拒绝: 试卷 \"%1\" 没有通过试卷错误性检查, 请改正上面的错误后再生成.")
                .arg(paper.name));
        return 1;
    }
    if (!written)
        return 1;
    say(QStringLiteral("页面样式: %1; 图片文件夹: %2.")
            .arg(tess::pageStyleName(style.style),
                 QDir::toNativeSeparators(tess::pagePicturesFolderPath(outputPath))));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const auto answered = tess::answerHelpOrVersion(argc, argv, "tessaloom-publish", kUsage))
        return *answered;
    QCoreApplication app(argc, argv);
    QStringList positional;
    std::optional<tess::PageStyle> style;
    bool bad = false;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--style") || arg.startsWith(QLatin1String("--style="))) {
            const QString value = arg.contains(QLatin1Char('='))
                                      ? arg.section(QLatin1Char('='), 1)
                                      : (i + 1 < args.size() ? args[++i] : QString());
            style = tess::pageStyleFromName(value);
            if (!style) {
                say(QStringLiteral("页面样式 \"%1\" 不认识, 请写 经典 或 手机友好.").arg(value));
                bad = true;
            }
        } else if (arg.startsWith(QLatin1String("--"))) {
            bad = true;
        } else {
            positional << arg;
        }
    }
    if (!bad && positional.size() == 3) {
        return tools::refusing<tess::GenerateError>(
            [&] { return publishPaper(positional[0], positional[1], positional[2], style); });
    }
    std::fputs(kUsage, stderr);
    return 2;
}
