// tessaloom-exchange: papers between a paper bank and other question tools.
//   tessaloom-exchange export BANK PAPER-ID OUT.xml   a paper as Moodle XML
//   tessaloom-exchange import BANK FILE               Moodle XML, GIFT or Aiken
// BANK is a file or a server bank's URI (postgresql://...). Pictures live in
// "images" beside a bank file, as they do beside the program's own bank, and
// in "images" in the current folder for a server bank.
#include "bank/bankpictures.h"
#include "exchange/bankexchange.h"
#include "exchange/importfile.h"
#include "exchange/moodlexml.h"
#include "files/safefile.h"
#include "settings/newpaperdefaults.h"
#include "settings/programinfo.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "toolsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

using tools::picturesBeside;
using tools::say;

const char* const kUsage =
    "用法: tessaloom-exchange export 试题库 试卷标识 输出.xml\n"
    "      tessaloom-exchange import 试题库 文件 (Moodle XML, GIFT 或 Aiken)\n"
    "试题库是试题库文件 (.mdb), 或者服务器试题库的地址 (postgresql://主机/数据库名).\n";

void openBank(tess::Connection& conn, const QString& bank) {
    conn.setDataSource(tools::bankName(bank));
    conn.open();
}

int exportPaper(const QString& bank, const QString& idText, const QString& out) {
    bool ok = false;
    const int papId = idText.toInt(&ok);
    if (!ok) {
        say(QStringLiteral("试卷标识 \"%1\" 不是整数.").arg(idText));
        return 2;
    }
    tess::Connection conn;
    openBank(conn, bank);
    const tess::exchange::Paper paper = tess::exchange::readPaper(conn, papId);
    for (const QString& line : tess::fetchPaperPictures(conn, papId, picturesBeside(bank)))
        say(QStringLiteral("警告: ") + line);
    const QString failure =
        tess::replaceFileContents(out, tess::exchange::writeMoodleXml(paper, picturesBeside(bank)));
    if (!failure.isEmpty()) {
        say(QStringLiteral("无法写入 %1: %2").arg(out, failure));
        return 1;
    }
    say(QStringLiteral("已导出试卷 \"%1\" (%2 道题) 到 %3.")
            .arg(paper.name)
            .arg(paper.questions.size())
            .arg(out));
    return 0;
}

int importFile(const QString& bank, const QString& path) {
    tess::Connection conn;
    openBank(conn, bank);
    // New papers take the output file a new paper of this bank's program would;
    // a server bank has no program beside it: they take the built-in one.
    const QFileInfo info(bank);
    const bool server = tess::Connection::isServerName(bank);
    const tess::NewPaperDefaults defaults =
        server ? tess::NewPaperDefaults::builtIn(QDir::currentPath())
               : tess::NewPaperDefaults::load(
                     info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".ini")),
                     info.absolutePath());
    QVector<int> ids;
    const tess::exchange::Imported imported = tess::exchange::importQuestionFile(
        conn, path, picturesBeside(bank), defaults.outputFile, &ids);
    for (int i = 0; i < ids.size(); ++i)
        say(QStringLiteral("已导入试卷 \"%1\" (标识 %2, %3 道题).")
                .arg(imported.papers[i].name)
                .arg(ids[i])
                .arg(imported.papers[i].questions.size()));
    for (const QString& line : imported.skipped)
        say(QStringLiteral("跳过了本程序不能保存的题目: ") + line);
    for (const QString& line : imported.warnings)
        say(QStringLiteral("警告: ") + line);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const auto answered = tess::answerHelpOrVersion(argc, argv, "tessaloom-exchange", kUsage))
        return *answered;
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 4 && args[0] == QLatin1String("export"))
        return tools::refusing<tess::exchange::ExchangeError>(
            [&] { return exportPaper(args[1], args[2], args[3]); });
    if (args.size() == 3 && args[0] == QLatin1String("import"))
        return tools::refusing<tess::exchange::ExchangeError>(
            [&] { return importFile(args[1], args[2]); });
    std::fputs(kUsage, stderr);
    return 2;
}
