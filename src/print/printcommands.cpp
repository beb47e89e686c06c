#include "print/printcommands.h"

#include "bank/bankpictures.h"

#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "frame/frame.h"
#include "frame/prompts.h"
#include "print/paperlayout.h"
#include "print/printedpaper.h"
#include "settings/programfiles.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QToolBar>
#include <cstdio>
#include <memory>
#include <vector>

namespace tess {

struct PrintCommands::Job {
    print::PrintedPaper paper;
    PrintChoice choice;

    print::PrintOptions options(bool answerKey) const {
        print::PrintOptions options;
        options.answerKey = answerKey;
        options.choiceNumbers = choice.choiceNumbers;
        options.picturesFolder = ProgramFiles::PicturesFolder();
        return options;
    }
    // The paper, then the key when it was asked for.
    std::vector<print::PrintOptions> documents() const {
        std::vector<print::PrintOptions> all{options(false)};
        if (choice.answerKey)
            all.push_back(options(true));
        return all;
    }
};

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString partLabel(bool answerKey) {
    return answerKey ? QStringLiteral("正在排版答案...") : QStringLiteral("正在排版试卷...");
}

// One cancellable progress box over a job of several parts (laying out the
// paper, the key, painting), each part filling its share of the bar.
class ProgressBox {
public:
    ProgressBox(QWidget* parent, int parts) : m_dialog(parent) {
        m_dialog.setObjectName(QStringLiteral("PrintProgress"));
        m_dialog.setWindowTitle(appTitle());
        m_dialog.setAccessibleName(QStringLiteral("打印进度"));
        auto* label = new QLabel(partLabel(false));
        label->setObjectName(QStringLiteral("PrintProgressLabel"));
        label->setAccessibleName(QStringLiteral("正在做的事"));
        m_dialog.setLabel(label);
        auto* bar = new QProgressBar;
        bar->setObjectName(QStringLiteral("PrintProgressBar"));
        bar->setAccessibleName(QStringLiteral("进度"));
        m_dialog.setBar(bar);
        auto* cancel = new QPushButton(QStringLiteral("取消"));
        cancel->setObjectName(QStringLiteral("PrintProgressCancel"));
        cancel->setAccessibleName(cancel->text());
        m_dialog.setCancelButton(cancel);
        m_dialog.setWindowModality(Qt::WindowModal);
        // A short paper is done before the box would be worth reading.
        m_dialog.setMinimumDuration(500);
        // Reaching the end of one part is not the end of the job; a reset
        // would also forget a cancel.
        m_dialog.setAutoReset(false);
        m_dialog.setAutoClose(false);
        m_dialog.setRange(0, std::max(1, parts) * kScale);
        m_dialog.setValue(0);
    }
    ~ProgressBox() { m_dialog.hide(); }
    ProgressBox(const ProgressBox&) = delete;
    ProgressBox& operator=(const ProgressBox&) = delete;

    print::Progress part(int index, const QString& label) {
        return [this, index, label](int done, int total) {
            if (m_dialog.labelText() != label)
                m_dialog.setLabelText(label);
            const int within =
                total > 0 ? static_cast<int>(qint64(qBound(0, done, total)) * kScale / total) : 0;
            m_dialog.setValue(index * kScale + within);
            // Until the box shows, the window still takes clicks: another
            // command must not start inside this one.
            QCoreApplication::processEvents(
                m_dialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
            return !m_dialog.wasCanceled();
        };
    }

private:
    static constexpr int kScale = 1000;
    QProgressDialog m_dialog;
};

// The paper, and the key after it when asked for, laid out for one page size.
class Documents {
public:
    explicit Documents(const std::vector<print::PrintOptions>& options,
                       const print::PrintedPaper& paper) {
        for (const print::PrintOptions& o : options)
            m_layouts.push_back(std::make_unique<print::PaperLayout>(paper, o));
        m_keys.reserve(options.size());
        for (const print::PrintOptions& o : options)
            m_keys.push_back(o.answerKey);
    }

    bool laidOutFor(const QPageLayout& pageLayout) const {
        return m_laidOut && m_layouts.front()->pageLayout().isEquivalentTo(pageLayout);
    }

    // False when cancelled; nothing is laid out then.
    bool layOut(const QPageLayout& pageLayout, ProgressBox& box) {
        m_laidOut = false;
        for (std::size_t i = 0; i < m_layouts.size(); ++i)
            if (!m_layouts[i]->layOut(pageLayout,
                                      box.part(static_cast<int>(i), partLabel(m_keys[i]))))
                return false;
        m_laidOut = true;
        return true;
    }

    int pageCount() const {
        int pages = 0;
        for (const auto& layout : m_layouts)
            pages += layout->pageCount();
        return pages;
    }
    int documentCount() const { return static_cast<int>(m_layouts.size()); }

    QStringList warnings() const {
        QStringList lines;
        for (const auto& layout : m_layouts)
            for (const QString& line : layout->warnings())
                if (!lines.contains(line))
                    lines << line;
        return lines;
    }

    QStringList missingPictures() const {
        QStringList names;
        for (const auto& layout : m_layouts)
            for (const QString& name : layout->missingPictures())
                if (!names.contains(name))
                    names << name;
        return names;
    }

    enum class Painted { Done, Cancelled, Refused };
    // Every page of every document in turn on one painter, or those of the
    // range the teacher chose in the print dialog (counted over all of them).
    Painted paint(QPrinter& printer, const print::Progress& progress, int* pagesPainted) const {
        *pagesPainted = 0;
        const bool ranged = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
        const int from = ranged ? printer.fromPage() : 1;
        const int to = ranged && printer.toPage() > 0 ? printer.toPage() : pageCount();
        const int total = std::max(0, std::min(to, pageCount()) - from + 1);
        QPainter painter;
        if (!painter.begin(&printer))
            return Painted::Refused;
        int number = 0;
        for (const auto& layout : m_layouts)
            for (int page = 0; page < layout->pageCount(); ++page) {
                ++number;
                if (number < from || number > to)
                    continue;
                if (progress && !progress(*pagesPainted, total))
                    return Painted::Cancelled;
                if (*pagesPainted > 0 && !printer.newPage())
                    return Painted::Refused;
                layout->paintPage(painter, page);
                ++*pagesPainted;
            }
        return painter.end() ? Painted::Done : Painted::Refused;
    }

private:
    std::vector<std::unique_ptr<print::PaperLayout>> m_layouts;
    std::vector<bool> m_keys;
    bool m_laidOut = false;
};

// The preview's own tool bar, in the program's language, each command named
// for tests and screen readers.
void explainPreviewTools(QPrintPreviewDialog& preview) {
    static const struct {
        const char* shown;
        const char* text;
        const char* name;
    } kTools[] = {
        {"Fit width", "适合宽度", "PreviewFitWidth"},
        {"Fit page", "整页", "PreviewFitPage"},
        {"Zoom in", "放大", "PreviewZoomIn"},
        {"Zoom out", "缩小", "PreviewZoomOut"},
        {"Portrait", "纵向", "PreviewPortrait"},
        {"Landscape", "横向", "PreviewLandscape"},
        {"First page", "第一页", "PreviewFirstPage"},
        {"Previous page", "上一页", "PreviewPreviousPage"},
        {"Next page", "下一页", "PreviewNextPage"},
        {"Last page", "最后一页", "PreviewLastPage"},
        {"Show single page", "单页显示", "PreviewSinglePage"},
        {"Show facing pages", "双页显示", "PreviewFacingPages"},
        {"Show overview of all pages", "显示所有页", "PreviewAllPages"},
        {"Print", "打印", "PreviewPrint"},
        {"Page setup", "页面设置", "PreviewPageSetup"},
    };
    const QList<QAction*> actions = preview.findChildren<QAction*>();
    const QList<QToolBar*> bars = preview.findChildren<QToolBar*>();
    for (QAction* action : actions)
        for (const auto& tool : kTools) {
            if (action->text() != QLatin1String(tool.shown))
                continue;
            const QString text = QString::fromUtf8(tool.text);
            action->setText(text);
            action->setToolTip(text);
            action->setObjectName(QLatin1String(tool.name));
            for (QToolBar* bar : bars)
                if (QWidget* button = bar->widgetForAction(action)) {
                    button->setObjectName(action->objectName() + QStringLiteral("Button"));
                    button->setAccessibleName(text);
                }
        }
    const auto name = [](QWidget* widget, const char* objectName, const QString& accessible) {
        if (widget) {
            widget->setObjectName(QLatin1String(objectName));
            widget->setAccessibleName(accessible);
        }
    };
    name(preview.findChild<QPrintPreviewWidget*>(), "PreviewPages", QStringLiteral("试卷的各页"));
    name(preview.findChild<QComboBox*>(), "PreviewZoom", QStringLiteral("缩放比例"));
    for (QLineEdit* edit : preview.findChildren<QLineEdit*>())
        if (!qobject_cast<QComboBox*>(edit->parentWidget())) // the zoom's own is named with it
            name(edit, "PreviewPageNumber", QStringLiteral("页码"));
}

// A name the file dialog can offer: the paper's name as it is read, without
// the characters a file name cannot hold.
QString suggestedFileName(const QString& paperName) {
    QString name = print::plainPaperName(paperName);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return (name.isEmpty() ? QStringLiteral("试卷") : name) + QStringLiteral(".pdf");
}

QString pagesText(int pages) {
    return pages > 0 ? QStringLiteral(" (%1 页)").arg(pages) : QString();
}

} // namespace

PrintCommands::PrintCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                             const PrintActions& actions, QObject* parent)
    : QObject(parent), m_frame(frame), m_bank(bank), m_navigator(navigator) {
    frame.ConnectBankCommand(actions.preview, [this] { OnPrintPreviewExecute(); });
    frame.ConnectBankCommand(actions.print, [this] { OnPrintExecute(); });
    frame.ConnectBankCommand(actions.exportPdf, [this] { OnExportPdfExecute(); });
    for (QAction* action : {actions.preview, actions.print, actions.exportPdf})
        frame.SetUpdateRule(action, [this, action] {
            action->setEnabled(m_navigator.SelectedPaper().has_value());
        });
}

PrintCommands::~PrintCommands() = default;

std::optional<PrintCommands::Job> PrintCommands::prepare(const QString& doing) {
    const std::optional<PaperEntry> entry = m_navigator.SelectedPaper();
    if (!entry) {
        m_frame.AddMessage(
            QStringLiteral("错误: 没有选中的试卷, 请先在试卷列表中选择要%1的试卷.").arg(doing));
        return std::nullopt;
    }
    // What the teacher has just typed belongs on the paper.
    m_bank.TQuestion.checkBrowseMode();
    m_bank.TChoice.checkBrowseMode();
    Job job;
    try {
        job.paper = print::readPrintedPaper(m_bank.Conn, entry->papId);
        for (const QString& line :
             fetchPaperPictures(m_bank.Conn, entry->papId, ProgramFiles::PicturesFolder()))
            m_frame.AddMessage(QStringLiteral("警告: ") + line);
    } catch (const print::PrintError& e) {
        m_frame.AddMessage(QStringLiteral("错误: ") + e.message());
        return std::nullopt;
    }
    const std::optional<PrintChoice> choice =
        PrintPrompts::instance().printOptions(m_frame.FrameWidget(), m_lastChoice);
    if (!choice)
        return std::nullopt;
    m_lastChoice = *choice;
    job.choice = *choice;
    return job;
}

void PrintCommands::reportLayout(const QStringList& warnings, const QStringList& names) {
    for (const QString& warning : warnings)
        m_frame.AddMessage(QStringLiteral("警告: ") + warning);
    for (const QString& name : names)
        m_frame.AddMessage(
            QStringLiteral("警告: 找不到图片 %1, 打印时以标有文件名的方框代替. 请把图片放进文件夹 "
                           "%2 后再打印.")
                .arg(name, native(ProgramFiles::PicturesFolder())));
}

void PrintCommands::OnPrintPreviewExecute() {
    const std::optional<Job> job = prepare(QStringLiteral("预览"));
    if (!job)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(print::defaultPageLayout());
    printer.setDocName(print::plainPaperName(job->paper.name));
    Documents documents(job->documents(), job->paper);
    {
        // Laid out before the preview opens, so that a long paper can be
        // cancelled without an empty preview.
        ProgressBox box(m_frame.FrameWidget(), documents.documentCount());
        if (!documents.layOut(printer.pageLayout(), box)) {
            m_frame.AddMessage(QStringLiteral("已取消打印预览."));
            return;
        }
    }
    reportLayout(documents.warnings(), documents.missingPictures());

    QPrintPreviewDialog preview(&printer, m_frame.FrameWidget());
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setAccessibleName(QStringLiteral("打印预览"));
    preview.setWindowTitle(QStringLiteral("打印预览 - ") + print::plainPaperName(job->paper.name));
    preview.resize(m_frame.FrameWidget()->size().expandedTo(QSize(900, 700)));
    explainPreviewTools(preview);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this, &documents, &preview](QPrinter* device) {
                // The preview repaints inside its own event loop.
                m_frame.Guarded([&] {
                    ProgressBox box(&preview, documents.documentCount() + 1);
                    // Another paper size or orientation chosen in the preview.
                    // A preview with only some of the pages would mislead: it closes.
                    const auto cancel = [this, &preview] {
                        m_frame.AddMessage(QStringLiteral("已取消, 打印预览已关闭."));
                        QMetaObject::invokeMethod(&preview, &QDialog::reject, Qt::QueuedConnection);
                    };
                    if (!documents.laidOutFor(device->pageLayout()) &&
                        !documents.layOut(device->pageLayout(), box)) {
                        cancel();
                        return;
                    }
                    int pages = 0;
                    const auto painted = documents.paint(
                        *device,
                        box.part(documents.documentCount(), QStringLiteral("正在准备预览...")),
                        &pages);
                    if (painted == Documents::Painted::Cancelled)
                        cancel();
                    else if (painted == Documents::Painted::Refused)
                        m_frame.AddMessage(QStringLiteral(
                            "错误: 打印机拒绝打印, 请检查打印机是否连接好, 然后再试."));
                });
            });
    PrintPrompts::instance().printPreview(preview);
}

void PrintCommands::OnPrintExecute() {
    const std::optional<Job> job = prepare(QStringLiteral("打印"));
    if (!job)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(print::defaultPageLayout());
    printer.setDocName(print::plainPaperName(job->paper.name));
    if (!PrintPrompts::instance().printDialog(m_frame.FrameWidget(), printer))
        return;
    Documents documents(job->documents(), job->paper);
    ProgressBox box(m_frame.FrameWidget(), documents.documentCount() + 1);
    if (!documents.layOut(printer.pageLayout(), box)) {
        m_frame.AddMessage(QStringLiteral("已取消打印, 没有打印任何一页."));
        return;
    }
    reportLayout(documents.warnings(), documents.missingPictures());
    int pages = 0;
    const auto painted = documents.paint(
        printer, box.part(documents.documentCount(), QStringLiteral("正在打印...")), &pages);
    const QString toFile = printer.outputFileName();
    if (painted == Documents::Painted::Cancelled) {
        printer.abort();
        if (!toFile.isEmpty()) {
            // Only some of the pages are in it.
            QFile::remove(toFile);
            m_frame.AddMessage(QStringLiteral("已取消打印, 没有写入文件 %1.").arg(native(toFile)));
        } else {
            // The system's print queue cannot take back pages once given.
            m_frame.AddMessage(
                pages > 0 ? QStringLiteral("已停止打印: 已送到打印机的前 %1 页仍会印出, "
                                           "其余的没有送出. 如不需要, 请在系统的打印队列中删除.")
                                .arg(pages)
                          : QStringLiteral("已取消打印, 没有打印任何一页."));
        }
        return;
    }
    if (painted == Documents::Painted::Refused) {
        m_frame.AddMessage(
            toFile.isEmpty()
                ? QStringLiteral("错误: 打印机 %1 拒绝打印, 请检查打印机是否连接好, 然后再试.")
                      .arg(printer.printerName())
                : QStringLiteral("错误: 无法打印到文件 %1, 请检查文件夹是否存在并且可以写入.")
                      .arg(native(toFile)));
        return;
    }
    m_frame.AddMessage(toFile.isEmpty() ? QStringLiteral("试卷 \"%1\" 已送到打印机 %2 (%3 页).")
                                              .arg(job->paper.name, printer.printerName())
                                              .arg(pages)
                                        : QStringLiteral("试卷 \"%1\" 已打印到文件 %2 (%3 页).")
                                              .arg(job->paper.name, native(toFile))
                                              .arg(pages));
}

void PrintCommands::OnExportPdfExecute() {
    const std::optional<Job> job = prepare(QStringLiteral("导出"));
    if (!job)
        return;
    QString path = Prompts::instance().saveFile(m_frame.FrameWidget(), FileDialogKind::Pdf,
                                                ProgramFiles::WorkFolder() + QLatin1Char('/') +
                                                    suggestedFileName(job->paper.name),
                                                QStringLiteral("PDF 文件(*.pdf)|*.pdf"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    path = QFileInfo(path).absoluteFilePath();

    QVector<print::PdfFile> files{{path, job->options(false)}};
    if (job->choice.answerKey)
        files.append({print::answerKeyPath(path), job->options(true)});

    QStringList existing;
    for (const print::PdfFile& file : std::as_const(files))
        if (QFileInfo::exists(file.path))
            existing << native(file.path);
    if (!existing.isEmpty() &&
        !m_frame.AskYesNo(QStringLiteral("下列文件已经存在:\n%1\n\n要用新导出的 PDF 替换吗?")
                              .arg(existing.join(QLatin1Char('\n')))))
        return;

    print::PdfResult result;
    {
        // One part of the bar, and its label, for each file.
        ProgressBox box(m_frame.FrameWidget(), int(files.size()));
        result = print::writePaperPdfs(job->paper, files, [&](int done, int total) {
            const int each = std::max(1, total / int(files.size()));
            const int part = std::min(done / each, int(files.size()) - 1);
            return box.part(part, partLabel(files[part].options.answerKey))(done - part * each,
                                                                            each);
        });
    }
    // A cancel that comes after the last file is written is too late to count.
    if (result.cancelled) {
        m_frame.AddMessage(QStringLiteral("已取消导出 PDF, 没有写入任何文件."));
        return;
    }
    if (!result.error.isEmpty()) {
        m_frame.AddMessage(QStringLiteral("错误: %1 没有导出任何文件.").arg(result.error));
        return;
    }
    QStringList written;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString what = files[i].options.answerKey
                                 ? QStringLiteral("答案")
                                 : QStringLiteral("试卷 \"%1\"").arg(job->paper.name);
        written << QStringLiteral("%1%2 到 %3")
                       .arg(what, pagesText(result.pages.value(i)), native(files[i].path));
    }
    reportLayout(result.warnings, result.missingPictures);
    m_frame.AddMessage(QStringLiteral("已导出") + written.join(QStringLiteral(", ")) +
                       QLatin1Char('.'));
}

} // namespace tess
