// tessaloom-print: a paper of a paper bank as a PDF to print.
//   tessaloom-print BANK PAPER-ID OUT.pdf [--key] [--numbers]
// --key also writes the teacher's key beside it as "OUT-答案.pdf"; --numbers
// labels the choices with their stored numbers, as the page does, instead of
// A, B, C. BANK is a file or a server bank's URI (postgresql://...). Pictures
// live in "images" beside a bank file, in "images" in the current folder for a
// server bank. No display is needed.
#include "bank/bankpictures.h"
#include "files/safefile.h"
#include "print/paperlayout.h"
#include "print/printedpaper.h"
#include "settings/programinfo.h"
#include "store/connection.h"
#include "toolsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

namespace {

using tools::picturesBeside;
using tools::say;

const char* const kUsage =
    "用法: tessaloom-print 试题库 试卷标识 输出.pdf [--key] [--numbers]\n"
    "      试题库是试题库文件 (.mdb), 或者服务器试题库的地址 (postgresql://主机/数据库名)\n"
    "      --key      同时写出参考答案 (输出-答案.pdf)\n"
    "      --numbers  选项用题库中的编号标注, 不用 A, B, C\n";

// Printing never changes the bank, not even to bring an earlier one up to date.
void openBank(tess::Connection& conn, const QString& bank) {
    conn.setDataSource(tools::bankName(bank));
    conn.openForReading();
}

int printPaper(const QString& bank, const QString& idText, const QString& out, bool key,
               bool numbers) {
    bool ok = false;
    const int papId = idText.toInt(&ok);
    if (!ok) {
        say(QStringLiteral("试卷标识 \"%1\" 不是整数.").arg(idText));
        return 2;
    }
    const QString keyPath = tess::print::answerKeyPath(out);
    if (tools::sameFile(out, bank) || (key && tools::sameFile(keyPath, bank))) {
        say(QStringLiteral("拒绝: PDF 文件不能写在试题库 %1 上, 请换一个输出文件名.")
                .arg(QDir::toNativeSeparators(bank)));
        return 1;
    }
    // A print of this paper killed before it finished is finished first,
    // even when this one is refused below.
    tess::finishInterruptedWrites(out);
    tess::finishInterruptedWrites(keyPath);
    tess::print::PrintedPaper paper;
    {
        tess::Connection conn;
        openBank(conn, bank);
        paper = tess::print::readPrintedPaper(conn, papId);
        for (const QString& line : tess::fetchPaperPictures(conn, papId, picturesBeside(bank)))
            say(QStringLiteral("警告: ") + line);
    }
    tess::print::PrintOptions options;
    options.choiceNumbers = numbers;
    options.picturesFolder = picturesBeside(bank);
    // The paper and its key are written both or neither.
    QVector<tess::print::PdfFile> files{{out, options}};
    if (key) {
        options.answerKey = true;
        files.append({keyPath, options});
    }
    const tess::print::PdfResult result = tess::print::writePaperPdfs(paper, files);
    if (!result.error.isEmpty()) {
        say(QStringLiteral("拒绝: ") + result.error);
        return 1;
    }
    for (qsizetype i = 0; i < files.size(); ++i)
        say(QStringLiteral("已将%1 \"%2\" (%3 道题, %4 页) 写入 %5.")
                .arg(files[i].options.answerKey ? QStringLiteral("参考答案")
                                                : QStringLiteral("试卷"),
                     paper.name)
                .arg(paper.questionCount())
                .arg(result.pages.value(i))
                .arg(QDir::toNativeSeparators(QDir::cleanPath(files[i].path))));
    // The key carries the paper check's findings; the teacher reads them here too.
    if (key)
        for (const QString& warning : std::as_const(paper.findings))
            say(warning);
    for (const QString& warning : result.warnings)
        say(QStringLiteral("警告: ") + warning);
    for (const QString& name : result.missingPictures)
        say(QStringLiteral("警告: 找不到图片 \"%1\", PDF 中只印出了它的文件名. "
                           "请把图片放进 %2 后重新生成.")
                .arg(name, QDir::toNativeSeparators(options.picturesFolder)));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const auto answered = tess::answerHelpOrVersion(argc, argv, "tessaloom-print", kUsage))
        return *answered;
    // Fonts and painting need a GUI application, but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList positional;
    bool key = false, numbers = false, unknown = false;
    for (const QString& arg : app.arguments().mid(1)) {
        if (arg == QLatin1String("--key"))
            key = true;
        else if (arg == QLatin1String("--numbers"))
            numbers = true;
        else if (arg.startsWith(QLatin1String("--")))
            unknown = true;
        else
            positional << arg;
    }
    if (!unknown && positional.size() == 3) {
        return tools::refusing<tess::print::PrintError>(
            [&] { return printPaper(positional[0], positional[1], positional[2], key, numbers); });
    }
    std::fputs(kUsage, stderr);
    return 2;
}
