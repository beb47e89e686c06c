#include "exchange/exchangecommands.h"

#include "bank/bankpictures.h"
#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "exchange/bankexchange.h"
#include "exchange/importfile.h"
#include "exchange/moodlexml.h"
#include "files/safefile.h"
#include "frame/frame.h"
#include "frame/prompts.h"
#include "frame/waitcursor.h"
#include "settings/programfiles.h"

#include <QAction>
#include <QDir>
#include <QMenu>

namespace tess {

ExchangeCommands::ExchangeCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                                   QAction* exportMoodle, QAction* importQuestions,
                                   QAction* copyPaper, QObject* parent)
    : QObject(parent), m_frame(frame), m_bank(bank), m_navigator(navigator) {
    frame.ConnectBankCommand(exportMoodle, [this] { OnExportMoodleExecute(); });
    frame.ConnectBankCommand(importQuestions, [this] { OnImportQuestionsExecute(); });
    frame.ConnectBankCommand(copyPaper, [this] { OnCopyPaperExecute(); });
}

std::optional<PaperEntry> ExchangeCommands::paperToWorkOn(const QString& verb) {
    const std::optional<PaperEntry> entry = m_navigator.SelectedPaper();
    if (!entry) {
        m_frame.AddMessage(
            QStringLiteral("错误: 没有选中的试卷, 请先在试卷列表中选择要%1的试卷.").arg(verb));
        return entry;
    }
    // What the teacher has just typed belongs in what is made of the paper.
    m_bank.TQuestion.checkBrowseMode();
    m_bank.TChoice.checkBrowseMode();
    return entry;
}

void ExchangeCommands::OnExportMoodleExecute() {
    const std::optional<PaperEntry> entry = paperToWorkOn(QStringLiteral("导出"));
    if (!entry)
        return;
    const QString path = Prompts::instance().saveFile(
        m_frame.FrameWidget(), FileDialogKind::Export, ProgramFiles::WorkFolder(),
        QStringLiteral("Moodle XML 文件(*.xml)|*.xml"));
    if (path.isEmpty())
        return;
    const exchange::Paper paper = exchange::readPaper(m_bank.Conn, entry->papId);
    for (const QString& line :
         fetchPaperPictures(m_bank.Conn, entry->papId, ProgramFiles::PicturesFolder()))
        m_frame.AddMessage(QStringLiteral("警告: ") + line);
    QByteArray xml;
    try {
        xml = exchange::writeMoodleXml(paper, ProgramFiles::PicturesFolder());
    } catch (const exchange::ExchangeError& e) {
        m_frame.AddMessage(QStringLiteral("错误: 没有导出到 %1: %2")
                               .arg(QDir::toNativeSeparators(path), e.message()));
        return;
    }
    const QString failure = replaceFileContents(path, xml);
    if (!failure.isEmpty()) {
        m_frame.AddMessage(
            QStringLiteral("错误: 无法写入 %1: %2").arg(QDir::toNativeSeparators(path), failure));
        return;
    }
    m_frame.AddMessage(QStringLiteral("试卷 \"%1\" (%2 道题) 已导出到 %3.")
                           .arg(paper.name)
                           .arg(paper.questions.size())
                           .arg(QDir::toNativeSeparators(path)));
}

void ExchangeCommands::OnImportQuestionsExecute() {
    const QString path = Prompts::instance().openFile(
        m_frame.FrameWidget(), FileDialogKind::Import, QStringLiteral("导入题目"),
        exchange::importFileFilter(), ProgramFiles::WorkFolder());
    if (path.isEmpty())
        return;
    // The list is read again below: what is being typed is saved first.
    m_bank.TPaper.checkBrowseMode();
    m_bank.TQuestion.checkBrowseMode();
    m_bank.TChoice.checkBrowseMode();
    exchange::Imported imported;
    QVector<int> ids;
    const WaitCursor wait; // a large file takes seconds
    try {
        imported = exchange::importQuestionFile(m_bank.Conn, path, ProgramFiles::PicturesFolder(),
                                                m_bank.Defaults.outputFile, &ids);
    } catch (const exchange::ExchangeError& e) {
        m_frame.AddMessage(QStringLiteral("错误: 没有导入文件 %1, 试题库没有改变. %2")
                               .arg(QDir::toNativeSeparators(path), e.message()));
        return;
    }
    m_navigator.GiveDefaultStyle(ids);
    for (int i = 0; i < ids.size(); ++i)
        m_frame.AddMessage(QStringLiteral("导入了试卷 \"%1\" (%2 道题).")
                               .arg(imported.papers[i].name)
                               .arg(imported.papers[i].questions.size()));
    for (const QString& line : std::as_const(imported.skipped))
        m_frame.AddMessage(QStringLiteral("警告: 跳过了本程序不能保存的题目: ") + line);
    for (const QString& line : std::as_const(imported.warnings))
        m_frame.AddMessage(QStringLiteral("警告: ") + line);
    // The new papers are in the list, the first of them selected.
    m_navigator.RefreshPaperClasses();
    m_bank.TPaper.close();
    m_navigator.RefreshPaperList();
    if (!ids.isEmpty())
        m_navigator.SelectPaperRow(m_navigator.PaperListModel->rowOf(ids.first()));
}

void ExchangeCommands::OnCopyPaperExecute() {
    const std::optional<PaperEntry> entry = paperToWorkOn(QStringLiteral("复制"));
    if (!entry)
        return;
    m_bank.TPaper.checkBrowseMode();
    int copy = -1;
    {
        const WaitCursor wait; // a paper of a thousand questions takes a moment
        copy = exchange::copyPaper(m_bank.Conn, entry->papId);
    }
    m_bank.TPaper.close();
    m_navigator.RefreshPaperList();
    m_navigator.SelectPaperRow(m_navigator.PaperListModel->rowOf(copy));
    m_frame.AddMessage(QStringLiteral("复制了试卷 \"%1\" (%2 道题), 副本已选中.")
                           .arg(entry->name)
                           .arg(m_bank.TQuestion.recordCount()));
}

} // namespace tess
