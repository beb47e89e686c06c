#include "editor/exchangecommands.h"

#include "app/prompts.h"
#include "app/tmainform.h"
#include "app/waitcursor.h"
#include "editor/paperlistmodel.h"
#include "exchange/bankexchange.h"
#include "exchange/importfile.h"
#include "exchange/moodlexml.h"
#include "files/safefile.h"

#include <QAction>
#include <QDir>
#include <QMenu>

namespace tess {

ExchangeCommands::ExchangeCommands(TMainForm& form) : QObject(&form), m_form(form) {
    OnExportMoodle = new QAction(QStringLiteral("导出为 Moodle XML..."), &form);
    OnExportMoodle->setObjectName(QStringLiteral("OnExportMoodle"));
    OnExportMoodle->setStatusTip(QStringLiteral("把选中的试卷导出为 Moodle XML 文件"));
    OnImportQuestions = new QAction(QStringLiteral("导入题目..."), &form);
    OnImportQuestions->setObjectName(QStringLiteral("OnImportQuestions"));
    OnImportQuestions->setStatusTip(
        QStringLiteral("从 Moodle XML, GIFT 或 Aiken 文件导入试卷和题目"));
    // After "新建试卷", before the separator and the exit.
    const QList<QAction*> actions = form.MenuFile->actions();
    QAction* before = actions.size() > 1 ? actions.at(1) : nullptr;
    form.MenuFile->insertActions(before, {OnImportQuestions, OnExportMoodle});
    form.ConnectBankCommand(OnExportMoodle, [this] { OnExportMoodleExecute(); });
    form.ConnectBankCommand(OnImportQuestions, [this] { OnImportQuestionsExecute(); });
}

void ExchangeCommands::OnExportMoodleExecute() {
    const std::optional<PaperEntry> entry = m_form.SelectedPaper();
    if (!entry) {
        m_form.AddMessage(
            QStringLiteral("错误: 没有选中的试卷, 请先在试卷列表中选择要导出的试卷."));
        return;
    }
    // What the teacher has just typed belongs in the file.
    m_form.TQuestion.checkBrowseMode();
    m_form.TChoice.checkBrowseMode();
    const QString path =
        Prompts::instance().saveFile(&m_form, FileDialogKind::Export, TMainForm::ExeFolder(),
                                     QStringLiteral("Moodle XML 文件(*.xml)|*.xml"));
    if (path.isEmpty())
        return;
    const exchange::Paper paper = exchange::readPaper(m_form.Conn, entry->papId);
    const QString failure =
        replaceFileContents(path, exchange::writeMoodleXml(paper, TMainForm::PicturesFolder()));
    if (!failure.isEmpty()) {
        m_form.AddMessage(
            QStringLiteral("错误: 无法写入 %1: %2").arg(QDir::toNativeSeparators(path), failure));
        return;
    }
    m_form.AddMessage(QStringLiteral("试卷 \"%1\" (%2 道题) 已导出到 %3.")
                          .arg(paper.name)
                          .arg(paper.questions.size())
                          .arg(QDir::toNativeSeparators(path)));
}

void ExchangeCommands::OnImportQuestionsExecute() {
    const QString path =
        Prompts::instance().openFile(&m_form, FileDialogKind::Import, QStringLiteral("导入题目"),
                                     exchange::importFileFilter(), TMainForm::ExeFolder());
    if (path.isEmpty())
        return;
    // The list is read again below: what is being typed is saved first.
    m_form.TPaper.checkBrowseMode();
    m_form.TQuestion.checkBrowseMode();
    m_form.TChoice.checkBrowseMode();
    exchange::Imported imported;
    QVector<int> ids;
    const WaitCursor wait; // a large file takes seconds
    try {
        imported = exchange::importQuestionFile(m_form.Conn, path, TMainForm::PicturesFolder(),
                                                m_form.Defaults.outputFile, &ids);
    } catch (const exchange::ExchangeError& e) {
        m_form.AddMessage(QStringLiteral("错误: 没有导入文件 %1, 试题库没有改变. %2")
                              .arg(QDir::toNativeSeparators(path), e.message()));
        return;
    }
    for (int i = 0; i < ids.size(); ++i)
        m_form.AddMessage(QStringLiteral("导入了试卷 \"%1\" (%2 道题).")
                              .arg(imported.papers[i].name)
                              .arg(imported.papers[i].questions.size()));
    for (const QString& line : std::as_const(imported.skipped))
        m_form.AddMessage(QStringLiteral("警告: 跳过了本程序不能保存的题目: ") + line);
    for (const QString& line : std::as_const(imported.warnings))
        m_form.AddMessage(QStringLiteral("警告: ") + line);
    // The new papers are in the list, the first of them selected.
    m_form.RefreshPaperClasses();
    m_form.TPaper.close();
    m_form.RefreshPaperList();
    if (!ids.isEmpty())
        m_form.SelectPaperRow(m_form.PaperListModel->rowOf(ids.first()));
}

} // namespace tess
