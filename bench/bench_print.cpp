// Time to print a 1,000-question paper with pictures: reading it from the
// bank, laying it out on pages and writing the PDF, for the paper and for its
// key. Most questions share a handful of pictures, a few have one of their
// own, some of them photographs. Then papers whose questions nest tables
// hundreds deep, as a hostile imported file brings them: their time must grow
// with the number of questions, not with the depth. Usage: bench_print [folder]  (the bank, the
// pictures and the PDFs are kept there to look at; by default a temporary
// folder that is removed).
#include "print/paperlayout.h"
#include "print/printedpaper.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/tablecursor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

using namespace tess;

namespace {

constexpr int kQuestions = 1000;
constexpr int kShared = 5; // pictures most questions show, one of them each
constexpr int kOwn = 12;   // questions with a picture of their own
constexpr int kPhotos = 3; // of those, photographs of a few megabytes

QString pictureName(int question) {
    if (question % 50 == 0 && question / 50 <= kOwn)
        return QStringLiteral("own%1.%2")
            .arg(question / 50)
            .arg(question / 50 <= kPhotos ? QStringLiteral("jpg") : QStringLiteral("png"));
    return QStringLiteral("shared%1.png").arg(question % kShared);
}

bool makePictures(const QString& folder) {
    QDir().mkpath(folder);
    auto* random = QRandomGenerator::global();
    const auto drawing = [&](int w, int h, int seed) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 3));
        for (int i = 0; i < 12; ++i)
            p.drawEllipse(QPointF(w / 2.0, h / 2.0), (i + 1) * w / 30.0 + seed, (i + 1) * h / 30.0);
        return image;
    };
    for (int i = 0; i < kShared; ++i)
        if (!drawing(480, 320, i).save(QStringLiteral("%1/shared%2.png").arg(folder).arg(i)))
            return false;
    for (int i = 1; i <= kOwn; ++i) {
        if (i > kPhotos) {
            if (!drawing(640, 400, i).save(QStringLiteral("%1/own%2.png").arg(folder).arg(i)))
                return false;
            continue;
        }
        QImage photo(4000, 3000, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x) {
                const int noise = int(random->bounded(40));
                line[x] = qRgb((x / 16 + noise) & 0xff, (y / 12 + noise) & 0xff, 90 + noise);
            }
        }
        if (!photo.save(QStringLiteral("%1/own%2.jpg").arg(folder).arg(i), "JPEG", 85))
            return false;
    }
    return true;
}

void fillBank(Connection& conn) {
    Transaction transaction(conn);
    TableCursor paper(conn, QStringLiteral("paper"));
    TableCursor question(conn, QStringLiteral("question"));
    TableCursor choice(conn, QStringLiteral("choice"));
    paper.open();
    question.open();
    choice.open();
    paper.insert();
    paper.setInteger(QStringLiteral("PapID"), 1);
    paper.setString(QStringLiteral("PapNam"), QStringLiteral("千题图文试卷"));
    paper.setInteger(QStringLiteral("PapScr"), kQuestions);
    paper.post();
    int chcId = 1;
    for (int q = 1; q <= kQuestions; ++q) {
        const bool withChoices = q % 3 != 0;
        question.insert();
        question.setInteger(QStringLiteral("QstID"), q);
        question.setInteger(QStringLiteral("PapIdx"), 1);
        question.setInteger(QStringLiteral("QstIdx"), q);
        question.setString(QStringLiteral("QstTyp"), !withChoices ? QStringLiteral("判断题")
                                                     : q % 3 == 1 ? QStringLiteral("单选题")
                                                                  : QStringLiteral("多选题"));
        question.setInteger(QStringLiteral("QstScr"), 1);
        question.setString(QStringLiteral("QstCon"),
                           QStringLiteral("第%1题: 观察下图, 下面关于<b>光合作用</b>的说法哪些是"
                                          "正确的? <IMG SRC=\"images\\%2\">")
                               .arg(q)
                               .arg(pictureName(q)));
        question.setBoolean(QStringLiteral("IsTrue"), q % 2 == 0);
        question.post();
        if (!withChoices)
            continue;
        for (int c = 1; c <= 4; ++c) {
            choice.insert();
            choice.setInteger(QStringLiteral("ChcID"), chcId++);
            choice.setInteger(QStringLiteral("QstIdx"), q);
            choice.setInteger(QStringLiteral("ChcIdx"), c);
            choice.setString(QStringLiteral("ChcCon"),
                             c % 2 ? QStringLiteral("植物在阳光下把二氧化碳和水变成有机物")
                                   : QStringLiteral("选项%1").arg(c));
            choice.setBoolean(QStringLiteral("IsTrue"), c == 2 || (q % 3 == 2 && c == 3));
            choice.post();
        }
    }
    transaction.commit();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename Work> double milliseconds(Work&& work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

// A paper of questions, each of tables nested depth deep, a plain one last.
print::PrintedPaper nestedTablesPaper(int questions, int depth) {
    print::PrintedPaper paper;
    paper.name = QStringLiteral("嵌套表格试卷");
    print::PrintedSection section;
    section.title = QStringLiteral("一、判断题");
    for (int q = 1; q <= questions + 1; ++q) {
        PageQuestion question;
        question.kind = QuestionKind::TrueFalse;
        question.mark = 1;
        question.html = q > questions
                            ? QStringLiteral("最后一题照常印出。")
                            : QStringLiteral("<table border=1><tr><td>层").repeated(depth) +
                                  QStringLiteral("</td></tr></table>").repeated(depth);
        section.questions.append({q, question});
        section.marks += question.mark;
    }
    paper.sections.append(section);
    return paper;
}

void benchNestedTables(QTextStream& out, const QString& path) {
    out << "papers of tables nested deep (a question ~" << 43 * 500 / 1024
        << " KiB at 500 deep), writePaperPdf:\n";
    for (const auto& [questions, depth] : std::vector<std::pair<int, int>>{
             {1, 12}, {1, 16}, {1, 500}, {1, 1000}, {10, 500}, {10, 1000}, {40, 1000}}) {
        const print::PrintedPaper paper = nestedTablesPaper(questions, depth);
        print::PdfResult result;
        const double ms = milliseconds([&] { result = print::writePaperPdf(paper, {}, path); });
        out << "  " << questions << " question(s) nested " << depth << " deep: " << ms << " ms, "
            << result.pages.value(0) << " pages, " << result.warnings.size() << " warnings\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    // Fonts need a GUI application, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    QDir().mkpath(folder);
    const QDir dir(folder);
    const QString bank = dir.filePath(QStringLiteral("bench-print.mdb"));
    const QString pictures = dir.filePath(QStringLiteral("images"));
    QFile::remove(bank);

    QElapsedTimer fillTimer;
    fillTimer.start();
    if (!makePictures(pictures)) {
        out << "cannot write the pictures in " << pictures << "\n";
        return 1;
    }
    createPaperBank(bank);
    Connection conn;
    conn.setDataSource(bank);
    conn.open();
    fillBank(conn);
    out << "made " << kShared + kOwn << " pictures and filled " << kQuestions << " questions in "
        << fillTimer.elapsed() << " ms\n";

    const int runs = 5;
    std::vector<double> read;
    print::PrintedPaper paper;
    for (int i = 0; i < runs; ++i)
        read.push_back(milliseconds([&] { paper = print::readPrintedPaper(conn, 1); }));

    out << "medians of " << runs
        << " runs; the layout and the PDF without their first run, "
           "which reads the pictures cold:\n"
        << "  readPrintedPaper      " << median(read) << " ms\n";
    for (const bool key : {false, true}) {
        print::PrintOptions options;
        options.answerKey = key;
        options.picturesFolder = pictures;
        std::vector<double> layout, pdf;
        int pages = 0;
        double firstLayout = 0, firstPdf = 0;
        const QString path = dir.filePath(key ? QStringLiteral("bench-print-答案.pdf")
                                              : QStringLiteral("bench-print.pdf"));
        for (int i = 0; i < runs; ++i) {
            const double l = milliseconds([&] {
                print::PaperLayout laidOut(paper, options);
                laidOut.layOut(print::defaultPageLayout());
                pages = laidOut.pageCount();
            });
            QString failure;
            const double w =
                milliseconds([&] { failure = print::writePaperPdf(paper, options, path).error; });
            if (!failure.isEmpty()) {
                out << failure << "\n";
                return 1;
            }
            if (i == 0) {
                firstLayout = l;
                firstPdf = w;
                continue;
            }
            layout.push_back(l);
            pdf.push_back(w);
        }
        out << (key ? "  key" : "  paper") << ": " << pages << " pages, "
            << QFileInfo(path).size() / 1024 << " KiB\n"
            << "    layOut              " << median(layout) << " ms (first " << firstLayout << ")\n"
            << "    writePaperPdf       " << median(pdf) << " ms (first " << firstPdf << ")\n";
    }
    benchNestedTables(out, dir.filePath(QStringLiteral("bench-nested.pdf")));
    if (argc > 1)
        out << "kept in " << folder << "\n";
    return 0;
}
