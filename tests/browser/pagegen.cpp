// Writes the fixture papers of the Chromium tests as real pages: a fresh bank,
// the consistency check, the page writer and the pictures copy, exactly as the
// generation command runs them. Every paper is written in both styles: the
// classic pages into the output folder, the pages for phones into its folder
// "phone", with a few papers more that use the phone page's options.
// Usage: tess_pagegen <output folder>
#include "../generate/paperfixture.h"
#include "bankhelpers.h"
#include "generate/papercheck.h"
#include "generate/paperwriter.h"
#include "generate/phonepage.h"
#include "generate/publish.h"
#include "store/query.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <functional>

using namespace tess;

namespace {

const QString kTF = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");
const QString kMulti = QStringLiteral("多选题");

// A 1x1 PNG, so that a test can tell a loaded picture from a broken one.
const char kPng[] = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0g"
                    "AAAABJRU5ErkJggg==";

struct Fixture {
    QString file;
    QString name;
    int fullMark;
    std::function<void(PaperFixture&, int)> questions;
    // Values another program wrote into a loose bank: the page is written
    // whatever the check says, as a writer that trusted the bank would, and
    // the check must pass exactly when `passes` says.
    bool hostile = false;
    bool passes = false;
    PaperStyle options = {}; // of the phone page; such papers have no classic page
};

// Where a hostile text goes in the paper of hostileTexts().
enum class Spot { Name, Question, Choice };

struct HostileText {
    const char* file;
    Spot spot;
    const char* text;
    bool passes; // the check lets it through: the page still marks right
};

// Texts that the check stops (they break the page's marking) or lets
// through with a warning at most; hostile.test.mjs marks each page.
const HostileText kHostileTexts[] = {
    {"text-plain", Spot::Question, "<b>粗</b><!-- 注释 --><table><tr><td>1</td></tr></table>",
     true},
    {"text-comment", Spot::Question, "<!-- 注释", false},
    {"text-name-comment", Spot::Name, "期中<!--", false},
    {"text-script", Spot::Question, "<script>var a = 1;", false},
    {"text-script-escaped", Spot::Question, "<script><!--<script></script>", false},
    {"text-textarea", Spot::Choice, "<textarea>", false},
    {"text-template", Spot::Choice, "<template>", false},
    {"text-quote", Spot::Choice, "<img alt=\"x>", false},
    {"text-form", Spot::Choice, "</FORM><FORM>", false},
    {"text-form-end", Spot::Choice, "</form>", true},
    {"text-sel", Spot::Question, "<input type=radio name=Sel_1 data-x>", false},
    {"text-paperform", Spot::Question, "<b id=PaperForm>x</b>", false},
    {"text-onjudge", Spot::Question, "<input name=OnJudge data-x>", false},
    {"text-script-objects", Spot::Question, "<b id=Qst_2 name=Chc_1>x</b><img name=Paper>", true},
    {"text-closed-script", Spot::Question, "<script>var a = 1;</script>", true},
    {"text-control", Spot::Choice, "<input type=text data-x>", true},
    {"text-table-end", Spot::Question, "x</table>", true},
    {"text-cell", Spot::Choice, "<td>x", true},
    {"text-table-open", Spot::Question, "<table><tr><td>x", true},
};

class NoOpener : public PageOpener {
public:
    void open(const QString&) override {}
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: tess_pagegen <output folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("images")))
        return 2;
    QFile png(out.filePath(QStringLiteral("images/dot one.png")));
    if (!png.open(QIODevice::WriteOnly))
        return 2;
    png.write(QByteArray::fromBase64(kPng));
    png.close();

    QList<Fixture> fixtures = {
        {QStringLiteral("truefalse"), QStringLiteral("判断题测验"), 20,
         [](PaperFixture& f, int p) {
             f.addQuestion(p, 1, kTF, 10, QStringLiteral("太阳从东方升起."), true);
             f.addQuestion(p, 2, kTF, 10, QStringLiteral("一年有十三个月."), false);
         }},
        {QStringLiteral("choices"), QStringLiteral("选择题测验"), 30,
         [](PaperFixture& f, int p) {
             f.addChoices(f.addQuestion(p, 1, kSingle, 10, QStringLiteral("单选")), 3, {2});
             f.addChoices(f.addQuestion(p, 2, kMulti, 20, QStringLiteral("多选")), 4, {1, 3});
         }},
        {QStringLiteral("tenchoices"), QStringLiteral("十个选项"), 10,
         [](PaperFixture& f, int p) {
             f.addChoices(f.addQuestion(p, 1, kMulti, 10, QStringLiteral("十选")), 10, {2, 9});
         }},
        {QStringLiteral("twochoice"), QStringLiteral("两个选项的单选题"), 10,
         [](PaperFixture& f, int p) {
             f.addChoices(f.addQuestion(p, 1, kSingle, 10, QStringLiteral("二选一")), 2, {1});
         }},
        {QStringLiteral("empty"), QStringLiteral("空试卷"), 50, [](PaperFixture&, int) {}},
        {QStringLiteral("total"), QStringLiteral("总分不符"), 100,
         [](PaperFixture& f, int p) {
             f.addQuestion(p, 1, kTF, 10, QStringLiteral("只有十分."), true);
         }},
        {QStringLiteral("pictures"), QStringLiteral("看图"), 10,
         [](PaperFixture& f, int p) {
             f.addQuestion(p, 1, kTF, 10,
                           QStringLiteral("<IMG SRC=\"images\\dot one.png\">是红点."), true);
         }},
        {QStringLiteral("unnumbered"), QStringLiteral("没有题号"), 20,
         [](PaperFixture& f, int p) {
             f.addQuestion(p, QVariant(), kTF, 10, QStringLiteral("甲"), true);
             f.addQuestion(p, QVariant(), kTF, 10, QStringLiteral("乙"), false);
         }},
        {QStringLiteral("mixed"), QStringLiteral("综合\U0001F600测验"), 40,
         [](PaperFixture& f, int p) {
             f.addChoices(f.addQuestion(p, 3, kMulti, 10, QStringLiteral("多选")), 3, {2, 3});
             f.addQuestion(p, 1, kTF, 10, QStringLiteral("笑\U0001F600"), true);
             f.addChoices(f.addQuestion(p, 2, kSingle, 10, QStringLiteral("单选")), 2, {2});
             f.addQuestion(p, 4, kTF, 10, QStringLiteral("第二个判断"), false);
         }},
        // The phone page's options, and what must fit a phone's width.
        {QStringLiteral("shuffled"), QStringLiteral("乱序测验"), 60,
         [](PaperFixture& f, int p) {
             f.addQuestion(p, 1, kTF, 5, QStringLiteral("判断一"), true);
             f.addQuestion(p, 2, kTF, 5, QStringLiteral("判断二"), false);
             f.addQuestion(p, 3, kTF, 5, QStringLiteral("判断三"), true);
             f.addChoices(f.addQuestion(p, 4, kSingle, 10, QStringLiteral("单选一")), 4, {3});
             f.addChoices(f.addQuestion(p, 5, kSingle, 10, QStringLiteral("单选二")), 5, {1});
             f.addChoices(f.addQuestion(p, 6, kMulti, 10, QStringLiteral("多选一")), 5, {2, 4});
             f.addChoices(f.addQuestion(p, 7, kMulti, 15, QStringLiteral("多选二")), 4, {1, 2, 3});
         },
         false, false, PaperStyle{PageStyle::Phone, true, true, 0}},
        {QStringLiteral("timed"), QStringLiteral("限时测验"), 20,
         [](PaperFixture& f, int p) {
             f.addQuestion(p, 1, kTF, 10, QStringLiteral("太阳从东方升起."), true);
             f.addChoices(f.addQuestion(p, 2, kSingle, 10, QStringLiteral("单选")), 3, {2});
         },
         false, false, PaperStyle{PageStyle::Phone, false, false, 2}},
        {QStringLiteral("wide"),
         QStringLiteral("一个很长很长很长的试卷名称, 在手机上也要能完整地显示出来"), 30,
         [](PaperFixture& f, int p) {
             f.addQuestion(
                 p, 1, kTF, 10,
                 QStringLiteral("<IMG SRC=\"images\\wide.svg\"> 这张图比手机屏幕宽得多. "
                                "Averyveryveryveryveryveryveryveryverylongwordwithoutanybreak"),
                 true);
             f.addChoices(
                 f.addQuestion(p, 2, kSingle, 10,
                               QStringLiteral("<table border=1><tr><td>一列很宽的表格"
                                              "一列很宽的表格一列很宽的表格</td><td>第二列"
                                              "第二列第二列第二列第二列</td><td>第三列第三列"
                                              "第三列第三列</td></tr></table>")),
                 3, {1});
             f.addChoices(f.addQuestion(p, 3, kMulti, 10, QStringLiteral("<b>加粗</b>的多选题")), 4,
                          {1, 4});
         },
         false, false, PaperStyle{PageStyle::Phone, false, false, 0}},
        {QStringLiteral("hostileflag"), QStringLiteral("标记里的脚本"), 30,
         [](PaperFixture& f, int p) {
             const int q1 = f.addQuestion(p, 1, kTF, 10, QStringLiteral("甲"), true);
             f.set(QStringLiteral("question"), QStringLiteral("QstID"), q1,
                   QStringLiteral("IsTrue"), QStringLiteral("true);window.pwnflag=1;(true"));
             f.addQuestion(p, 2, kTF, 10, QStringLiteral("乙"), true);
             const int q3 = f.addQuestion(p, 3, kSingle, 10, QStringLiteral("丙"));
             f.addChoice(q3, 1, QStringLiteral("对"), true);
             const int c2 = f.addChoice(q3, 2, QStringLiteral("错"), false);
             f.set(QStringLiteral("choice"), QStringLiteral("ChcID"), c2, QStringLiteral("IsTrue"),
                   QStringLiteral("false);window.pwnflag=2;(false"));
         },
         true},
    };
    for (const HostileText& h : kHostileTexts) {
        const QString text = QString::fromUtf8(h.text);
        const Spot spot = h.spot;
        fixtures.append(
            {QString::fromUtf8(h.file), spot == Spot::Name ? text : QStringLiteral("期中"), 20,
             [text, spot](PaperFixture& f, int p) {
                 const int q1 = f.addQuestion(
                     p, 1, kSingle, 10, spot == Spot::Question ? text : QStringLiteral("甲题"));
                 f.addChoice(q1, 1, QStringLiteral("对"), true);
                 f.addChoice(q1, 2, spot == Spot::Choice ? text : QStringLiteral("错"), false);
                 f.addQuestion(p, 2, kTF, 10, QStringLiteral("乙题"), true);
             },
             true, h.passes});
    }

    // A picture far wider than a phone, to see it scaled to the width.
    QFile wide(out.filePath(QStringLiteral("images/wide.svg")));
    if (!wide.open(QIODevice::WriteOnly))
        return 2;
    wide.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1600\" height=\"200\">"
               "<rect width=\"1600\" height=\"200\" fill=\"#4a90d9\"/></svg>");
    wide.close();
    if (!out.mkpath(QStringLiteral("phone")))
        return 2;

    PaperFixture strictBank(out.filePath(QStringLiteral("bank.mdb")));
    PaperFixture looseBank(out.filePath(QStringLiteral("loose.mdb")), PaperFixture::Types::Loose);
    NoOpener opener;
    int failures = 0;
    QTextStream log(stdout);
    for (const Fixture& fixture : fixtures) {
        PaperFixture& bank = fixture.hostile ? looseBank : strictBank;
        Query query(bank.conn);
        banktest::SetupTransaction rows(bank.conn);
        const int papId = bank.addPaper(fixture.name, fixture.fullMark);
        fixture.questions(bank, papId);
        rows.commit();
        if (fixture.hostile) {
            QStringList findings;
            if (checkPaper(query, papId, [&](const QString& line) { findings << line; }) !=
                fixture.passes)
                ++failures;
            log << findings.join(QLatin1Char('\n')) << "\n";
            writePaperPage(bank.conn,
                           PageSource{papId, fixture.name, QString::number(fixture.fullMark)},
                           out.filePath(fixture.file + QStringLiteral(".html")));
            writeStyledPage(
                bank.conn, PageSource{papId, fixture.name, QString::number(fixture.fullMark)},
                PaperStyle{PageStyle::Phone},
                out.filePath(QStringLiteral("phone/") + fixture.file + QStringLiteral(".html")));
            continue;
        }
        const PaperStyle phone = fixture.options.style == PageStyle::Phone
                                     ? fixture.options
                                     : PaperStyle{PageStyle::Phone};
        for (const PaperStyle& style : {PaperStyle{}, phone}) {
            if (style.style == PageStyle::Classic && fixture.options.style == PageStyle::Phone)
                continue;
            const QDir folder(style.style == PageStyle::Phone
                                  ? out.filePath(QStringLiteral("phone"))
                                  : out.path());
            QStringList messages;
            GenerationSteps steps;
            steps.clearMessages = [&] { messages.clear(); };
            steps.addMessage = [&](const QString& line) { messages << line; };
            steps.messageText = [&] { return messages.join(QLatin1Char('\n')); };
            steps.showInformation = [&](const QString& text) { messages << text; };
            steps.checkPaper = [&] {
                return checkPaper(query, papId, [&](const QString& line) { messages << line; });
            };
            steps.paperOutputFile = [&] { return folder.filePath(fixture.file); };
            steps.writePage = [&](const QString& path) {
                writeStyledPage(bank.conn,
                                PageSource{papId, fixture.name, QString::number(fixture.fullMark)},
                                style, path);
            };
            steps.picturesFolder = out.filePath(QStringLiteral("images"));
            steps.opener = &opener;
            runGeneration(steps);
            log << messages.join(QLatin1Char('\n')) << "\n";
            if (!messages.last().startsWith(QStringLiteral("试卷成功生成到:")))
                ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
