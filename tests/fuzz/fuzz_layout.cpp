// The print layout of one question, given whatever text the fuzzer makes as
// its HTML (and as a choice's): it must lay out and paint in bounded time,
// never crash, and keep a text it had no need to flatten as it stands.
#include "print/boundedhtml.h"
#include "print/paperlayout.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

using namespace tess;
using namespace tess::print;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the question's kind; the rest is its text.
    const QString html = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           qsizetype(size - 1));
    const BoundedHtml bounded = boundHtml(html);
    if (!bounded.flattened && bounded.html != html)
        __builtin_trap();

    PrintedPaper paper;
    paper.name = QStringLiteral("试卷");
    PrintedSection section;
    section.title = QStringLiteral("一、单选题");
    PageQuestion question;
    question.mark = 5;
    question.html = html;
    if (data[0] & 1) {
        question.kind = QuestionKind::Single;
        question.choices = {{QStringLiteral("1"), html, true},
                            {QStringLiteral("2"), QStringLiteral("二"), false}};
    } else {
        question.kind = QuestionKind::TrueFalse;
    }
    section.questions.append({1, question});
    section.marks = question.mark;
    paper.sections.append(section);

    PrintOptions options;
    options.answerKey = data[0] & 2;
    PaperLayout layout(paper, options);
    if (!layout.layOut(defaultPageLayout()) || layout.pageCount() < 1 ||
        layout.questionPages().size() != 1)
        __builtin_trap();
    // The page the question starts on, painted small.
    QImage page(210, 297, QImage::Format_RGB32);
    page.setDotsPerMeterX(1000);
    page.setDotsPerMeterY(1000);
    QPainter painter(&page);
    layout.paintPage(painter, layout.questionPages().first());
    return 0;
}
