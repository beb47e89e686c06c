#include "generate/phonepage.h"

#include "generate/generateerror.h"
#include "generate/pagepaths.h"
#include "generate/paperwriter.h"

#include <QFile>

// Resources of a static library must be pulled in by name.
static void initPhoneResources() {
    Q_INIT_RESOURCE(generate);
}

namespace tess {

namespace {

QString resourceText(const QString& name) {
    initPhoneResources();
    QFile file(QStringLiteral(":/generate/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw GenerateError(
            QStringLiteral("程序缺少手机页面的文件 %1, 请重新安装本程序.").arg(name));
    return QString::fromUtf8(file.readAll());
}

// Scripts and styles of the page come only from the page itself; pictures
// from the page's own folder (a file URL or a web server alike).
const QString kPolicy =
    QStringLiteral("default-src 'none'; img-src 'self' file: data:; style-src 'unsafe-inline'; "
                   "script-src 'unsafe-inline'; base-uri 'none'; form-action 'none'");

QString flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString rightText(bool right) {
    return right ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QString buildPhonePage(const Connection& connection, const PageSource& paper,
                       const PaperStyle& style, const QString& outputPath) {
    const QString full = QString::number(parseFullMark(paper.fullMarkText));
    const QList<PageQuestion> questions = readPageQuestions(connection, paper.papId);
    const QString name = paper.name.toHtmlEscaped();

    QString page;
    page.reserve(16384 + questions.size() * 1024);
    page +=
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<meta http-equiv=\"Content-Security-Policy\" content=\"") +
        kPolicy + QStringLiteral("\">\n<title>") + name + QStringLiteral("</title>\n<style>\n") +
        resourceText(QStringLiteral("phonepage.css")) +
        QStringLiteral("</style>\n</head>\n<body>\n");
    page += QStringLiteral("<main id=\"paper\" data-full=\"%1\" data-time-limit=\"%2\" "
                           "data-shuffle-choices=\"%3\" data-shuffle-questions=\"%4\">\n")
                .arg(full)
                .arg(style.timeLimit)
                .arg(flag(style.shuffleChoices), flag(style.shuffleQuestions));
    page += QStringLiteral("<h1>") + name + QStringLiteral("</h1>\n<p class=\"full\">满分 ") +
            full + QStringLiteral(" 分");
    if (style.timeLimit > 0)
        page += QStringLiteral(", 限时 %1 分钟").arg(style.timeLimit);
    page += QStringLiteral("</p>\n<div id=\"timer\" role=\"timer\" hidden></div>\n"
                           "<form id=\"paper-form\" novalidate>\n"
                           "<div class=\"card student\">\n"
                           "<label for=\"student-name\">姓名</label>"
                           "<input id=\"student-name\" name=\"student-name\" autocomplete=\"name\" "
                           "required aria-required=\"true\">\n"
                           "<label for=\"student-class\">班级</label>"
                           "<input id=\"student-class\" name=\"student-class\" required "
                           "aria-required=\"true\">\n"
                           "<p id=\"student-error\" class=\"error\" role=\"alert\" hidden>"
                           "请先填写姓名和班级, 再提交试卷.</p>\n</div>\n");

    // The sections in the classic page's fixed order, numbered by those present.
    int numeral = 0;
    int serial = 0; // names the controls of each question
    for (const QuestionKind kind :
         {QuestionKind::TrueFalse, QuestionKind::Single, QuestionKind::Multiple}) {
        int number = 0;
        for (const PageQuestion& q : questions) {
            if (q.kind != kind)
                continue;
            if (number++ == 0) {
                ++numeral;
                page += QStringLiteral("<section class=\"sec\" aria-labelledby=\"sec-%1\">\n"
                                       "<h2 id=\"sec-%1\">%2、%3</h2>\n<ol class=\"qs\">\n")
                            .arg(numeral)
                            .arg(NumToChinese(numeral), questionTypeWord(kind));
            }
            const QString id = QStringLiteral("q%1").arg(++serial);
            page += QStringLiteral("<li class=\"q card\" data-kind=\"%1\" data-mark=\"%2\" "
                                   "data-q=\"%3\">\n"
                                   "<div class=\"q-head\" id=\"%3-text\"><span class=\"no\">%4."
                                   "</span> <span class=\"mark\">(%2分)</span> "
                                   "<span class=\"text\">")
                        .arg(int(kind))
                        .arg(q.mark)
                        .arg(id)
                        .arg(number);
            page += q.html;
            page += QStringLiteral("</span></div>\n");
            if (kind == QuestionKind::TrueFalse) {
                page += QStringLiteral(
                            "<div class=\"options tf\" role=\"radiogroup\" "
                            "aria-labelledby=\"%1-text\">\n"
                            "<label class=\"option\"><input type=\"radio\" name=\"%1\" value=\"0\" "
                            "data-right=\"%2\"><span>对</span></label>\n"
                            "<label class=\"option\"><input type=\"radio\" name=\"%1\" value=\"1\" "
                            "data-right=\"%3\"><span>错</span></label>\n</div>\n")
                            .arg(id, rightText(q.answer), rightText(!q.answer));
            } else {
                const bool single = kind == QuestionKind::Single;
                page +=
                    QStringLiteral("<div class=\"options choices\" role=\"%1\" "
                                   "aria-labelledby=\"%2-text\">\n")
                        .arg(single ? QStringLiteral("radiogroup") : QStringLiteral("group"), id);
                int k = 0;
                for (const PageChoice& c : q.choices) {
                    QString label;
                    for (int n = ++k; n > 0; n = (n - 1) / 26)
                        label.prepend(QChar(u'A' + (n - 1) % 26));
                    page += QStringLiteral("<label class=\"option\"><input type=\"%1\" name=\"%2\" "
                                           "value=\"1\" data-right=\"%3\"><span class=\"letter\">"
                                           "%4.</span> <span class=\"choice-text\">")
                                .arg(single ? QStringLiteral("radio") : QStringLiteral("checkbox"),
                                     id, rightText(c.correct), label);
                    page += c.html;
                    page += QStringLiteral("</span></label>\n");
                }
                page += QStringLiteral("</div>\n");
            }
            page += QStringLiteral("</li>\n");
        }
        if (number > 0)
            page += QStringLiteral("</ol>\n</section>\n");
    }
    page += QStringLiteral(
        "<p class=\"submit-bar\"><button type=\"submit\" id=\"submit-paper\">"
        "提交</button></p>\n</form>\n</main>\n"
        "<section id=\"report\" aria-labelledby=\"report-title\" aria-live=\"polite\" "
        "hidden></section>\n<script>\n");
    page += resourceText(QStringLiteral("grader.js"));
    page += QStringLiteral("</script>\n<script>\n");
    page += resourceText(QStringLiteral("phonepage.js"));
    page += QStringLiteral("</script>\n</body>\n</html>\n");
    return ReplaceImagePath(page, outputPath);
}

void writeStyledPage(const Connection& connection, const PageSource& paper, const PaperStyle& style,
                     const QString& outputPath) {
    if (style.style == PageStyle::Classic) {
        writePaperPage(connection, paper, outputPath);
        return;
    }
    writePageFile(outputPath, buildPhonePage(connection, paper, style, outputPath).toUtf8());
}

} // namespace tess
