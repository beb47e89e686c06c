#pragma once

#include "frame/frame.h"
#include "frame/waitcursor.h"
#include "settings/windowmemory.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QToolBar;
class QWidget;
class TFormHelp;

namespace tess {
class AccountCommands;
class ExchangeCommands;
class SearchCommands;
class PageOpener;
class PaperBank;
class PaperNavigator;
class PrintCommands;
class PublishCommands;
class QuestionGrids;
class ShortcutRouter;
} // namespace tess

// The main window: a frame for the features. It keeps the commands and the
// menus, lays out the panes, answers the window's events and the exit
// question, takes over from the login, and owns the paper bank, the navigator
// and the features, routing each command to the one that carries it out.
class TMainForm : public QMainWindow, public tess::Frame {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- the frame the features live in ---
    QWidget* FrameWidget() override { return this; }
    void AddMessage(const QString& text) override;
    void ClearMessages() override;
    QString MessageText() const override;
    bool AskYesNo(const QString& text, bool noByDefault = false) override;
    void ShowInformation(const QString& text) override;
    void Guarded(const std::function<void()>& fn) override;
    void ConnectCommand(QAction* action, std::function<void()> handler) override;
    void ConnectBankCommand(QAction* action, std::function<void()> handler) override;
    void SetUpdateRule(QAction* action, std::function<void()> rule) override;
    void SetPopupMenu(QWidget* control, QMenu* menu) override;
    QMenu* PopupMenuOf(QWidget* control) const { return m_popupMenus.value(control); }
    // The application-wide error handler: "程序运行错误:" and the message.
    void ReportError(const QString& message);

    // --- login hand-over ---
    void SetSignedInAccount(const QString& account);
    // Once the window is up after the sign-in: a bank of an earlier program
    // gets the search's index, with progress.
    void IndexBankTexts();
    QString SignedInAccount() const;
    // Opens the bank and fills the navigator. Throws the engine's error,
    // having closed the bank again and emptied what it had filled, so that
    // the login can try once more.
    void OpenPaperBank();
    // Closes the bank and clears what OpenPaperBank filled: after it failed,
    // or when the account it was opened for did not sign in after all.
    void ClosePaperBank();
    // The user guide window that OnHelp shows.
    void SetHelpWindow(TFormHelp* help) { m_help = help; }

    // Writes the new-paper defaults to the settings file once, with how the
    // teacher left the window and the file dialogs, reporting a failure in a
    // box; the destructor does it for a window that was never asked.
    void SaveSettings();
    // Sets the work area to three quarters of the client height.
    void ApplyWorkAreaHeight();

    // The objects the window owns, for tests and the tools that drive it.
    tess::PaperBank& bank() const { return *m_bank; }
    tess::PaperNavigator& navigator() const { return *m_navigator; }
    // Replaced by tests so that no browser is started.
    void SetPageOpener(tess::PageOpener* opener);

    // Commands (object names are the command names).
    QAction* OnNewPaper = nullptr;
    QAction* OnImportQuestions = nullptr;
    QAction* OnCopyPaper = nullptr;
    QAction* OnSearchBank = nullptr;
    QAction* OnComposePaper = nullptr;
    QAction* OnExportMoodle = nullptr;
    QAction* OnPrintPreview = nullptr;
    QAction* OnPrint = nullptr;
    QAction* OnExportPdf = nullptr;
    QAction* OnAddQustion = nullptr;
    QAction* OnAddChoice = nullptr;
    QAction* OnDelQuestion = nullptr;
    QAction* OnDelChoice = nullptr;
    QAction* OnDelPaper = nullptr;
    QAction* OnDelAllPaper = nullptr;
    QAction* OnDelAllQuestion = nullptr;
    QAction* OnEditPaper = nullptr;
    QAction* OnGenPaper = nullptr;
    QAction* OnSetting = nullptr;
    QAction* OnModifyPasswore = nullptr;
    QAction* OnManageUsers = nullptr;
    QAction* OnInsertImage = nullptr;
    QAction* OnInsertImageChc = nullptr;
    QAction* OnViewPapLib = nullptr;
    QAction* OnViewQuestion = nullptr;
    QAction* OnViewMessage = nullptr;
    QAction* OnViewToolBar = nullptr;
    QAction* OnViewStatus = nullptr;
    QAction* OnAbout = nullptr;
    QAction* OnHelp = nullptr;
    QAction* ExitAction = nullptr;
    QAction* ClearMessagesAction = nullptr;

    // Menus of the menu bar, and the pop-up menus of the panes.
    QMenu* MenuFile = nullptr;
    QMenu* MenuEdit = nullptr;
    QMenu* MenuView = nullptr;
    QMenu* MenuTools = nullptr;
    QMenu* MenuHelp = nullptr;
    QMenu* PopMenuPaper = nullptr;
    QMenu* PopMenuQuestion = nullptr;
    QMenu* PopMenuChoice = nullptr;
    QMenu* PopMenuMessage = nullptr;

Q_SIGNALS:
    // The user answered Yes to the exit question; the application ends.
    void exitConfirmed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class tess::ShortcutRouter;
    void createActions();
    void createMenus();
    void createLayout();
    void createFeatures();
    void runUpdateRules(QMenu* menu);
    void runUpdateRule(QAction* action);
    void OnViewExecute(QAction* toggle, QWidget* region);
    void OnAboutExecute();
    void OnHelpExecute();
    void OnSettingExecute();
    // The window, its splitters and grids as the teacher left them last time,
    // and the folders of the file dialogs; RememberWindow notes them for the
    // settings file.
    void RestoreWindow();
    void RememberWindow();

    // Before the widgets: the features' cursors outlive the views on them.
    std::unique_ptr<tess::PaperBank> m_bank;

    // Layout (tests find these by object name).
    QWidget* WorkArea = nullptr;
    QWidget* PnlBottom = nullptr;
    QWidget* PnlRight = nullptr;
    QWidget* PnlQuestion = nullptr;
    QWidget* PnlChoice = nullptr;
    QPlainTextEdit* MessageArea = nullptr;
    QStatusBar* StatusBar = nullptr;
    QToolBar* ToolBar = nullptr;
    QSplitter* SplitterMain = nullptr;  // work area | lower area
    QSplitter* SplitterWork = nullptr;  // left pane | right pane
    QSplitter* SplitterRight = nullptr; // question pane | choice pane

    tess::PaperNavigator* m_navigator = nullptr;
    tess::QuestionGrids* m_grids = nullptr;
    tess::PublishCommands* m_publish = nullptr;
    tess::AccountCommands* m_accounts = nullptr;
    tess::ExchangeCommands* m_exchange = nullptr;
    tess::PrintCommands* m_print = nullptr;
    tess::SearchCommands* m_search = nullptr;
    tess::ShortcutRouter* m_router = nullptr;
    TFormHelp* m_help = nullptr;

    bool m_shownOnce = false;
    bool m_settingsSaved = false;
    tess::WindowMemory m_memory;
    // The lower area's boundary as left last time: it holds while the window
    // has the height it had then, until the window is resized from there or
    // the teacher drags the boundary.
    std::optional<QList<int>> m_rememberedMain;
    bool m_rememberedMainApplied = false;
    // While the bank keeps the window waiting.
    std::optional<tess::WaitCursor> m_wait;
    QHash<QWidget*, QMenu*> m_popupMenus;
    QHash<QAction*, std::function<void()>> m_updateRules;
};
