// Publishing a paper from the window: it gathers what the window knows (the
// selected paper, the message area) and runs the UI-free steps.
#include "generate/publishcommands.h"

#include "bank/bankpictures.h"
#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "frame/frame.h"
#include "generate/papercheck.h"
#include "generate/paperwriter.h"
#include "generate/phonepage.h"
#include "generate/publish.h"
#include "generate/publishedpages.h"
#include "settings/programfiles.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <optional>

namespace tess {

namespace {

// Hands the page to the desktop's handler for HTML files.
class DesktopPageOpener : public PageOpener {
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

PublishCommands::PublishCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                                 QAction* genPaper, QObject* parent)
    : QObject(parent), m_frame(frame), m_bank(bank), m_navigator(navigator) {
    frame.ConnectBankCommand(genPaper, [this] { OnGenPaperExecute(); });
}

bool PublishCommands::CheckPaper() {
    const std::optional<PaperEntry> entry = m_navigator.SelectedPaper();
    if (!entry) {
        m_frame.AddMessage(
            QStringLiteral("错误: 没有选中的试卷, 请先在试卷列表中选择要生成的试卷."));
        return false;
    }
    return checkPaper(m_bank.QComplier, entry->papId,
                      [this](const QString& line) { m_frame.AddMessage(line); });
}

void PublishCommands::GenPaperHtml(const QString& outputPath) {
    const std::optional<PaperEntry> entry = m_navigator.SelectedPaper();
    if (!entry)
        return;
    writeStyledPage(
        m_bank.Conn,
        PageSource{entry->papId, entry->name, m_bank.TPaper.asString(QStringLiteral("PapScr"))},
        readPaperStyle(m_bank.Conn, entry->papId), outputPath);
}

void PublishCommands::OnGenPaperExecute() {
    static DesktopPageOpener desktop;
    // What the teacher has just typed into a grid belongs in the page: it is
    // saved first, and a row the bank refuses stops the publishing.
    m_bank.TQuestion.checkBrowseMode();
    m_bank.TChoice.checkBrowseMode();
    GenerationSteps steps;
    steps.clearMessages = [this] { m_frame.ClearMessages(); };
    steps.addMessage = [this](const QString& line) { m_frame.AddMessage(line); };
    steps.messageText = [this] { return m_frame.MessageText(); };
    steps.showInformation = [this](const QString& text) { m_frame.ShowInformation(text); };
    steps.checkPaper = [this] { return CheckPaper(); };
    steps.paperOutputFile = [this] { return m_bank.TPaper.asString(QStringLiteral("PapSav")); };
    steps.writePage = [this](const QString& path) { GenPaperHtml(path); };
    // Another paper's page may already be with the students: replaced only
    // when the teacher says so, No being the answer of Enter.
    steps.mayReplace = [this](const QString& path) {
        const std::optional<PaperEntry> entry = m_navigator.SelectedPaper();
        const QString question =
            entry ? overwriteQuestion(m_bank.Conn, path, entry->papId, entry->name) : QString();
        return question.isEmpty() || m_frame.AskYesNo(question, true);
    };
    steps.pageWritten = [this](const QString& path) {
        if (const std::optional<PaperEntry> entry = m_navigator.SelectedPaper())
            rememberPublisher(m_bank.Conn, path, entry->papId, entry->name);
    };
    steps.fetchPictures = [this] {
        const std::optional<PaperEntry> entry = m_navigator.SelectedPaper();
        return entry ? fetchPaperPictures(m_bank.Conn, entry->papId, ProgramFiles::PicturesFolder())
                     : QStringList();
    };
    steps.picturesFolder = ProgramFiles::PicturesFolder();
    steps.opener = m_pageOpener ? m_pageOpener : &desktop;
    runGeneration(steps);
}

} // namespace tess
