#pragma once

#include "settings/newpaperdefaults.h"
#include "settings/windowmemory.h"
#include "store/connection.h"
#include "store/query.h"
#include "store/tablecursor.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QToolBar;
class QWidget;
class TFormHelp;

namespace tess {
struct PaperEntry;
class PaperListModel;
class PageOpener;
class QuestionGrids;
class ShortcutRouter;
class ExchangeCommands;
class PrintCommands;
} // namespace tess

// The main window. Its methods are spread over the subsystem folders:
//   app/tmainform.cpp          frame, menus, actions, message area, exit question, OpenPaperBank
//   editor/mainform_navigator.cpp  navigator (RefreshPaperList, SelectPaper, ...)
//   editor/mainform_papers.cpp     paper commands and the properties dialog
//   editor/mainform_numbering.cpp  RefreshNextIDs and the after-insert handlers
//   editor/questiongrids.cpp       the question and choice grids (a helper it owns)
//   generate/mainform_generate.cpp CheckPaper, GenPaperHtml, OnGenPaperExecute
//   accounts/mainform_accounts.cpp user management and the change of password
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- services for every part of the program ---
    void AddMessage(const QString& text);
    bool AskYesNo(const QString& text);
    void ShowInformation(const QString& text);
    // The application-wide error handler: "程序运行错误:" and the message.
    void ReportError(const QString& message);
    // Runs fn; any error it throws goes to ReportError. Every command, edit and
    // key handler runs through this.
    void Guarded(const std::function<void()>& fn);

    // --- login hand-over ---
    void SetSignedInAccount(const QString& account) { m_signedInAccount = account; }
    QString SignedInAccount() const { return m_signedInAccount; }
    // Throws the engine's error, having closed the bank again and emptied
    // what it had filled, so that the login can try once more.
    void OpenPaperBank();

    // Paths beside the executable.
    static QString ExeFolder();
    static QString PaperBankPath();  // <exe>.mdb
    static QString SettingsPath();   // <exe>.ini
    static QString GuidePath();      // <exe>.htm
    static QString PicturesFolder(); // <exe folder>/images
    // The executable's full path; tests point it into a folder of their own.
    static QString ExecutablePath();
    static void SetExecutablePath(const QString& path);

    // --- frame services for the other parts ---
    // The pop-up menu of a control: opened by the right mouse button and the
    // first place a shortcut key is looked up while the focus is in the control.
    void SetPopupMenu(QWidget* control, QMenu* menu);
    QMenu* PopupMenuOf(QWidget* control) const { return m_popupMenus.value(control); }
    // An update rule (OnXxxUpdate): run before a menu holding the action opens
    // and before the action's shortcut key is acted on.
    void SetUpdateRule(QAction* action, std::function<void()> rule);
    // Runs handler, guarded, whenever action is triggered.
    void ConnectCommand(QAction* action, std::function<void()> handler);
    // As ConnectCommand, for a command that acts on the bank: the window
    // first catches up with what another program changed (CatchUp).
    void ConnectBankCommand(QAction* action, std::function<void()> handler);
    // The user guide window that OnHelp shows.
    void SetHelpWindow(TFormHelp* help) { m_help = help; }
    // Sets the work area to three quarters of the client height.
    void ApplyWorkAreaHeight();

    // --- navigator (editor/) ---
    void RefreshPaperList();
    // Delete-paper, the question grid and add-question while the list has entries.
    void EnablePaperCommands();
    void SelectPaper(const QString& papId);
    void RefreshPaperClasses();

    // --- another program on the same bank (editor/) ---
    // When another program has changed the bank since the window last read
    // it, the list and the grids are read again, keeping the selected paper,
    // question and choice. Returns false, with a line in the message area,
    // when the selected paper or question has gone or changed underneath: a
    // command must then not act on it.
    bool CatchUp();

    // --- numbering (editor/) ---
    void RefreshNextIDs();

    // --- generation (generate/) ---
    bool CheckPaper();
    void GenPaperHtml(const QString& outputPath);
    // Replaced by tests so that no browser is started.
    void SetPageOpener(tess::PageOpener* opener) { m_pageOpener = opener; }

    // The engine objects on the main connection.
    tess::Connection Conn;
    tess::TableCursor TPaper{Conn, QStringLiteral("paper")};
    tess::TableCursor TQuestion{Conn, QStringLiteral("question")};
    tess::TableCursor TChoice{Conn, QStringLiteral("choice")};
    tess::Query QMaxID{Conn};
    tess::Query QPapCtg{Conn};
    tess::Query QComplier{Conn};
    tess::Command CmdTrim{Conn};
    tess::Command CmdDelQsts{Conn};
    // Open only while a new password is written.
    tess::TableCursor TableUsers{Conn, QStringLiteral("users")};

    int CurPapID = -1;
    int CurQstID = -1;
    int NextPapID = 0;
    int NextQstID = 0;
    int NextChcID = 0;
    int NextQstIdx = 0;
    int NextChcIdx = 0;

    tess::NewPaperDefaults Defaults;
    // Writes Defaults to the settings file once, with how the teacher left
    // the window and the file dialogs, reporting a failure in a box; the
    // destructor does it for a window that was never asked.
    void SaveSettings();

    // Commands (object names are the command names).
    QAction* OnNewPaper = nullptr;
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

    // Navigator widgets (left pane).
    QWidget* PnlLeft = nullptr;
    QComboBox* CBPaperClass = nullptr;
    QListView* ListView = nullptr;
    tess::PaperListModel* PaperListModel = nullptr;
    QLabel* DBText1 = nullptr;
    QLabel* DBText2 = nullptr;
    QLabel* DBText3 = nullptr;
    QMenu* PopMenuPaper = nullptr;

    // Right pane: the question and choice panes, which the grids fill
    // (editor/questiongrids.h); tests find the grids' widgets by object name.
    QWidget* PnlRight = nullptr;
    QWidget* PnlQuestion = nullptr;
    QWidget* PnlChoice = nullptr;
    QWidget* DBGridQuestion = nullptr;

    QPlainTextEdit* MessageArea = nullptr;
    QStatusBar* StatusBar = nullptr;
    QToolBar* ToolBar = nullptr;

    // Frame: work area (left and right panes), lower area, their splitters, menus.
    QWidget* WorkArea = nullptr;
    QWidget* PnlBottom = nullptr;
    QSplitter* SplitterMain = nullptr;  // work area | lower area
    QSplitter* SplitterWork = nullptr;  // left pane | right pane
    QSplitter* SplitterRight = nullptr; // question pane | choice pane
    QMenu* MenuFile = nullptr;
    QMenu* MenuEdit = nullptr;
    QMenu* MenuView = nullptr;
    QMenu* MenuTools = nullptr;
    QMenu* MenuHelp = nullptr;
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
    friend class tess::ExchangeCommands;
    friend class tess::PrintCommands;
    // frame (app/)
    void createActions();
    void createMenus();
    void createLayout();
    void runUpdateRules(QMenu* menu);
    void runUpdateRule(QAction* action);
    void OnViewExecute(QAction* toggle, QWidget* region);
    void OnAboutExecute();
    void OnHelpExecute();
    void OnSettingExecute();
    // Closes the bank and clears what OpenPaperBank filled, after it failed.
    void ClosePaperBank();
    // The window, its splitters and grids as the teacher left them last time,
    // and the folders of the file dialogs; RememberWindow notes them for the
    // settings file.
    void RestoreWindow();
    void RememberWindow();
    // accounts (accounts/)
    void createAccountCommands();
    void OnManageUsersUpdate();
    void OnManageUsersExecute();
    void OnModifyPassworeExecute();
    // navigator (editor/)
    void createNavigator();
    void ListViewSelectItem(int row);
    void ListViewDblClick();
    void CBPaperClassChange();
    void DSPaperDataChange();
    void DBTextMouseMove(QLabel* label);
    void TPaperBeforeClose();
    void TPaperAfterOpen();
    void ShowPaperInfo();
    int SelectedPaperRow() const; // -1 without a selected entry
    // The selected entry: its caption as listed and the paper it carries.
    std::optional<tess::PaperEntry> SelectedPaper() const;
    void SelectPaperRow(int row); // -1 leaves no entry selected
    // numbering (editor/)
    void createNumbering();
    void TPaperBeforeInsert();
    void TQuestionBeforeInsert();
    void TChoiceBeforeInsert();
    void TPaperAfterInsert();
    void TQuestionAfterInsert();
    void TChoiceAfterInsert();
    // paper commands (editor/)
    void createPaperCommands();
    void OnNewPaperExecute();
    void OnEditPaperExecute();
    void OnDelPaperExecute();
    void OnDelAllPaperExecute();
    void OnDelAllQuestionExecute();
    // generation (generate/)
    void OnGenPaperExecute();

    QString m_signedInAccount;
    tess::PageOpener* m_pageOpener = nullptr;
    bool m_shownOnce = false;
    bool m_settingsSaved = false;
    tess::WindowMemory m_memory;
    // The lower area's boundary as left last time: it holds while the window
    // has the height it had then, until the window is resized from there or
    // the teacher drags the boundary.
    std::optional<QList<int>> m_rememberedMain;
    bool m_rememberedMainApplied = false;
    bool m_restoringSelection = false; // ListViewSelectItem going back after a failure
    // While set, the paper cursor's moves do not re-read the question cursor:
    // a new filter follows at once and reads it.
    bool m_holdQuestions = false;
    TFormHelp* m_help = nullptr;
    tess::ShortcutRouter* m_router = nullptr;
    tess::QuestionGrids* m_grids = nullptr;
    tess::ExchangeCommands* m_exchange = nullptr;
    tess::PrintCommands* m_print = nullptr;
    QHash<QWidget*, QMenu*> m_popupMenus;
    QHash<QAction*, std::function<void()>> m_updateRules;
    tess::ViewLink m_paperView;
    qint64 m_seenVersion = -1; // the bank's data version the window last caught up with
};
