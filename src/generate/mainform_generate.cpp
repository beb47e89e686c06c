// The main window's part in publishing a paper: it gathers what the window
// knows (the selected paper, the message area) and runs the UI-free steps.
#include "app/prompts.h"
#include "app/tmainform.h"
#include "editor/paperlistmodel.h"
#include "generate/papercheck.h"
#include "generate/paperwriter.h"
#include "generate/publish.h"
#include "generate/publishedpages.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QUrl>
#include <optional>

namespace {

// Hands the page to the desktop's handler for HTML files.
class DesktopPageOpener : public tess::PageOpener {
public:
    void open(const QString& path) override {
        const QFileInfo page(path);
        // A page that could not be written and never existed is not handed
        // over: the desktop would only report a missing file.
        if (page.exists())
            QDesktopServices::openUrl(QUrl::fromLocalFile(page.absoluteFilePath()));
    }
};

} // namespace

bool TMainForm::CheckPaper() {
    const std::optional<tess::PaperEntry> entry = SelectedPaper();
    if (!entry) {
        AddMessage(QStringLiteral("错误: 没有选中的试卷, 请先在试卷列表中选择要生成的试卷."));
        return false;
    }
    return tess::checkPaper(QComplier, entry->papId,
                            [this](const QString& line) { AddMessage(line); });
}

void TMainForm::GenPaperHtml(const QString& outputPath) {
    const std::optional<tess::PaperEntry> entry = SelectedPaper();
    if (!entry)
        return;
    tess::writePaperPage(
        Conn,
        tess::PageSource{entry->papId, entry->name, TPaper.asString(QStringLiteral("PapScr"))},
        outputPath);
}

void TMainForm::OnGenPaperExecute() {
    static DesktopPageOpener desktop;
    // What the teacher has just typed into a grid belongs in the page: it is
    // saved first, and a row the bank refuses stops the publishing.
    TQuestion.checkBrowseMode();
    TChoice.checkBrowseMode();
    tess::GenerationSteps steps;
    steps.clearMessages = [this] { MessageArea->clear(); };
    steps.addMessage = [this](const QString& line) { AddMessage(line); };
    steps.messageText = [this] { return MessageArea->toPlainText(); };
    steps.showInformation = [this](const QString& text) { ShowInformation(text); };
    steps.checkPaper = [this] { return CheckPaper(); };
    steps.paperOutputFile = [this] { return TPaper.asString(QStringLiteral("PapSav")); };
    steps.writePage = [this](const QString& path) { GenPaperHtml(path); };
    // Another paper's page may already be with the students: replaced only
    // when the teacher says so, No being the answer of Enter.
    steps.mayReplace = [this](const QString& path) {
        const std::optional<tess::PaperEntry> entry = SelectedPaper();
        const QString question =
            entry ? tess::overwriteQuestion(Conn, path, entry->papId, entry->name) : QString();
        return question.isEmpty() || tess::Prompts::instance().askYesNo(this, question, true);
    };
    steps.pageWritten = [this](const QString& path) {
        if (const std::optional<tess::PaperEntry> entry = SelectedPaper())
            tess::rememberPublisher(Conn, path, entry->papId, entry->name);
    };
    steps.picturesFolder = PicturesFolder();
    steps.opener = m_pageOpener ? m_pageOpener : &desktop;
    tess::runGeneration(steps);
}
