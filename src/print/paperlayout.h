#pragma once

#include "print/printedpaper.h"

#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPainter;

namespace tess::print {

struct PrintOptions {
    bool answerKey = false;     // the teacher's key instead of the students' paper
    bool choiceNumbers = false; // choices labelled with their stored numbers, as the page does
    QString picturesFolder;     // where the texts' <IMG SRC="images\name"> pictures are
};

// Told how far a long step has come; answering false cancels it.
using Progress = std::function<bool(int done, int total)>;

// A4 portrait with margins of 20 mm.
QPageLayout defaultPageLayout();

// The paper laid out on pages once, then painted on whatever device shows or
// prints it (a PDF writer, a printer, the print preview), all from the same
// layout, so that every one of them breaks the pages alike. Needs a
// QGuiApplication (fonts); no widgets.
class PaperLayout {
public:
    PaperLayout(const PrintedPaper& paper, const PrintOptions& options);
    ~PaperLayout();
    PaperLayout(const PaperLayout&) = delete;
    PaperLayout& operator=(const PaperLayout&) = delete;

    // Lays the paper out on pages of pageLayout, keeping each question whole
    // on one page wherever it fits on one. Progress counts questions. Returns
    // false when cancelled (the layout is then empty).
    bool layOut(const QPageLayout& pageLayout, const Progress& progress = {});
    const QPageLayout& pageLayout() const;
    int pageCount() const;
    // The page (from 0) on which each question starts, in the paper's order.
    QVector<int> questionPages() const;
    // Pictures the texts name that could not be read, each once, by file name.
    QStringList missingPictures() const;
    // Questions whose texts were too deeply nested or too long to print as
    // they stand, a sentence for each: flattened, or printed as a box saying
    // "[无法排版的题目]" in place of the text.
    QStringList warnings() const;

    // Paints every page on device, which must be set to this layout's page
    // size; the painter is begun and ended here. Progress counts pages.
    // Returns false when cancelled or when the device refuses to paint.
    bool paint(QPagedPaintDevice& device, const Progress& progress = {}) const;
    // Paints one page (from 0) on an active painter whose device has this
    // page's size at its own resolution.
    void paintPage(QPainter& painter, int page) const;

private:
    struct Data;
    std::unique_ptr<Data> d;
};

// A paper's name where no markup is shown (the PDF's title, the print job, a
// window's title, a file name): its text as the page shows it, tags dropped,
// entities decoded, on one line.
QString plainPaperName(const QString& name);

// "<folder>/<base>-答案.pdf" for "<folder>/<base>.pdf": where the key goes
// beside the paper.
QString answerKeyPath(const QString& pdfPath);

struct PdfResult {
    QString error;               // empty when written, else what went wrong, in Chinese
    bool cancelled = false;      // the progress answered false: nothing written
    QVector<int> pages;          // of each file written, in their order
    QStringList missingPictures; // named by the texts but not found
    QStringList warnings;        // of texts not printed as they stand, each once
};

struct PdfFile {
    QString path;
    PrintOptions options; // the paper or its key
};

// Lays out and writes the paper as PDF files (the paper, its key), all of
// them or none: each is complete before any replaces an earlier one, and
// nothing is left when one fails or the progress cancels. Progress counts
// over all the files.
PdfResult writePaperPdfs(const PrintedPaper& paper, const QVector<PdfFile>& files,
                         const Progress& progress = {});
// The same for one file.
PdfResult writePaperPdf(const PrintedPaper& paper, const PrintOptions& options, const QString& path,
                        const Progress& progress = {});

} // namespace tess::print
