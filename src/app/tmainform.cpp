// The main window's frame: commands, menus, tool bar, layout, message area,
// status bar, the exit question, the error handler and opening the paper bank.
#include "app/tmainform.h"

#include "accounts/accountcommands.h"
#include "app/appicons.h"
#include "app/shortcutrouter.h"
#include "app/taboutdlg.h"
#include "app/tformhelp.h"
#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "editor/questiongrids.h"
#include "editor/recordgrid.h"
#include "exchange/exchangecommands.h"
#include "exchange/importpictures.h"
#include "files/safefile.h"
#include "frame/prompts.h"
#include "frame/waitcursor.h"
#include "generate/publishcommands.h"
#include "print/printcommands.h"
#include "search/searchcommands.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"
#include "settings/tdlgconfigure.h"
#include "store/engineerror.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

namespace {

// A remembered column wider than this is a slip of the mouse or of a hand
// editing the settings file.
constexpr int kWidestColumn = 4000;

QFrame* makePanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    return panel;
}

} // namespace

// --- creation and destruction ---

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), m_bank(std::make_unique<tess::PaperBank>()) {
    using tess::ProgramFiles;
    setWindowTitle(tess::appTitle());
    m_bank->Defaults =
        tess::NewPaperDefaults::load(ProgramFiles::SettingsPath(), ProgramFiles::WorkFolder());
    m_memory = tess::WindowMemory::load(ProgramFiles::SettingsPath());
    m_bank->onNotice = [this](const QString& text) {
        AddMessage(text);
        MessageArea->repaint(); // seen before the work that keeps the window waiting
    };
    m_bank->onBusy = [this](bool busy) {
        if (busy)
            m_wait.emplace();
        else
            m_wait.reset();
    };

    createActions();
    createLayout();
    createMenus();
    createFeatures();

    // Outer size 696 × 527; the window frame takes about 8 × 34 of it.
    resize(688, 493);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    RestoreWindow();

    m_router = new tess::ShortcutRouter(this);
    qApp->installEventFilter(m_router);

    ConnectCommand(OnViewPapLib, [this] { OnViewExecute(OnViewPapLib, m_navigator); });
    ConnectCommand(OnViewQuestion, [this] { OnViewExecute(OnViewQuestion, PnlRight); });
    ConnectCommand(OnViewMessage, [this] { OnViewExecute(OnViewMessage, MessageArea); });
    ConnectCommand(OnViewToolBar, [this] { OnViewExecute(OnViewToolBar, ToolBar); });
    ConnectCommand(OnViewStatus, [this] { OnViewExecute(OnViewStatus, StatusBar); });
    ConnectCommand(OnAbout, [this] { OnAboutExecute(); });
    ConnectCommand(OnHelp, [this] { OnHelpExecute(); });
    ConnectCommand(OnSetting, [this] { OnSettingExecute(); });
    ConnectCommand(ExitAction, [this] { close(); });
    ConnectCommand(ClearMessagesAction, [this] { MessageArea->clear(); });
}

// Each feature is given the frame, the bank, the navigator and the commands
// it carries out; the window keeps the menus the commands appear in.
void TMainForm::createFeatures() {
    m_grids = new tess::QuestionGrids(
        *this, *m_bank, *m_navigator,
        {OnAddQustion, OnDelQuestion, OnAddChoice, OnDelChoice, OnInsertImage, OnInsertImageChc},
        PnlQuestion, PnlChoice);
    SetPopupMenu(m_navigator->ListView, PopMenuPaper);
    SetPopupMenu(m_grids->DBGridQuestion, PopMenuQuestion);
    SetPopupMenu(m_grids->DBGridChoice, PopMenuChoice);
    m_publish = new tess::PublishCommands(*this, *m_bank, *m_navigator, OnGenPaper, this);
    m_accounts = new tess::AccountCommands(*this, *m_bank, OnManageUsers, OnModifyPasswore, this);
    // A paper is copied while the list offers one.
    OnCopyPaper->setEnabled(false);
    connect(m_navigator, &tess::PaperNavigator::papersListed, OnCopyPaper, &QAction::setEnabled);
    m_exchange = new tess::ExchangeCommands(*this, *m_bank, *m_navigator, OnExportMoodle,
                                            OnImportQuestions, OnCopyPaper, this);
    m_search =
        new tess::SearchCommands(*this, *m_bank, *m_navigator, OnSearchBank, OnComposePaper, this);
    m_print = new tess::PrintCommands(*this, *m_bank, *m_navigator,
                                      {OnPrintPreview, OnPrint, OnExportPdf}, this);
}

TMainForm::~TMainForm() {
    qApp->removeEventFilter(m_router);
    SaveSettings();
    // The panes go while the bank their views and grids read is still there.
    delete centralWidget();
    // The controls go after this window's own members: their pop-up menu
    // bookkeeping must not outlive the table it updates.
    for (auto it = m_popupMenus.cbegin(); it != m_popupMenus.cend(); ++it)
        disconnect(it.key(), &QObject::destroyed, this, nullptr);
}

void TMainForm::SaveSettings() {
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    try {
        RememberWindow();
        tess::updateSettingsFile(tess::ProgramFiles::SettingsPath(), [this](tess::IniFile& ini) {
            m_bank->Defaults.store(ini);
            m_memory.store(ini);
        });
    } catch (const std::exception& e) {
        // The message area goes with this window, so say it where it is seen.
        tess::Prompts::instance().information(nullptr, QString::fromUtf8(e.what()));
    }
}

void TMainForm::createActions() {
    auto make = [this](const char* name, const QString& caption, const QKeySequence& key,
                       const QString& hint, const QIcon& icon = QIcon()) {
        auto* action = new QAction(icon, caption, this);
        action->setObjectName(QLatin1String(name));
        if (!key.isEmpty()) {
            action->setShortcut(key);
            // Shown in the menus only: ShortcutRouter decides which command a key runs.
            action->setShortcutContext(Qt::WidgetShortcut);
            action->setShortcutVisibleInContextMenu(true);
        }
        action->setStatusTip(hint);
        action->setToolTip(hint.isEmpty() ? QString(caption).remove(QLatin1Char('&')) : hint);
        return action;
    };
    const QIcon add = tess::addIcon();
    const QIcon del = tess::deleteIcon();
    const QIcon gen = tess::generateIcon();
    const QKeySequence none;
    const auto s = [](const char* text) { return QString::fromUtf8(text); };

    OnNewPaper = make("OnNewPaper", s("新建试卷(&D)"), QKeySequence(Qt::CTRL | Qt::Key_D),
                      s("新建试卷"), add);
    OnAddQustion = make("OnAddQustion", s("添加题目(&F)"), QKeySequence(Qt::CTRL | Qt::Key_F),
                        s("添加题目"), add);
    OnAddChoice = make("OnAddChoice", s("添加选项(&G)"), QKeySequence(Qt::CTRL | Qt::Key_G),
                       s("添加选项"), add);
    OnDelQuestion = make("OnDelQuestion", s("删除题目(&H)"), none, s("删除题目"), del);
    OnDelChoice = make("OnDelChoice", s("删除选项(&J)"), none, s("删除选项"), del);
    OnDelPaper = make("OnDelPaper", s("删除试卷(&G)"), QKeySequence(Qt::CTRL | Qt::Key_G),
                      s("删除试卷"), del);
    OnDelAllPaper = make("OnDelAllPaper", s("删除所有试卷"), none, s("删除所有试卷"), del);
    OnDelAllQuestion = make("OnDelAllQuestion", s("删除所有题目"),
                            QKeySequence(Qt::SHIFT | Qt::Key_Delete), s("删除所有题目"), del);
    OnEditPaper = make("OnEditPaper", s("编辑试卷属性...(&E)"),
                       QKeySequence(Qt::SHIFT | Qt::Key_Insert), s("编辑试卷属性"));
    OnGenPaper = make("OnGenPaper", s("生成试卷(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S),
                      s("生成试卷"), gen);
    OnSetting = make("OnSetting", s("系统设置..."), QKeySequence(Qt::Key_F3), s("系统设置"));
    OnModifyPasswore =
        make("OnModifyPasswore", s("修改用户密码..."), QKeySequence(Qt::Key_F5), QString());
    OnManageUsers = make("OnManageUsers", s("用户管理..."), QKeySequence(Qt::Key_F4), QString());
    OnInsertImage = make("OnInsertImage", s("插入图片文件"), none, QString());
    OnInsertImageChc = make("OnInsertImageChc", s("插入图片文件"), none, QString());
    OnViewPapLib = make("OnViewPapLib", s("显示试卷导航栏"), none, s("显示试卷库"));
    OnViewQuestion = make("OnViewQuestion", s("所有题目"), none, s("所有题目"));
    OnViewMessage = make("OnViewMessage", s("信息提示区"), none, s("信息提示区"));
    OnViewToolBar = make("OnViewToolBar", s("显示工具栏"), none, s("显示工具栏"));
    OnViewStatus = make("OnViewStatus", s("显示状态栏"), none, s("显示状态栏"));
    OnAbout = make("OnAbout", s("关于..."), QKeySequence(Qt::Key_F2), s("关于..."));
    OnHelp = make("OnHelp", s("使用指南..."), QKeySequence(Qt::Key_F1), s("使用指南"));
    ExitAction = make("ExitAction", s("退出(&X)"), none, QString());
    OnImportQuestions = make("OnImportQuestions", s("导入题目..."), none,
                             s("从 Moodle XML, GIFT 或 Aiken 文件导入试卷和题目"));
    OnSearchBank =
        make("OnSearchBank", s("题库检索..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
             s("在整个试题库中按文字、题型和类别找题目, 复制或移动到当前试卷"), tess::searchIcon());
    OnComposePaper = make("OnComposePaper", s("从题库组卷..."), none,
                          s("按题型、题数和分值从题库中随机抽题, 组成一份新试卷"));
    OnCopyPaper = make("OnCopyPaper", s("复制试卷"), none,
                       s("复制选中的试卷和它的全部题目, 副本的名称后加上 \"（副本）\""), add);
    OnExportMoodle = make("OnExportMoodle", s("导出为 Moodle XML..."), none,
                          s("把选中的试卷导出为 Moodle XML 文件"));
    OnPrintPreview =
        make("OnPrintPreview", s("打印预览..."), none, s("在屏幕上查看选中的试卷印在纸上的样子"));
    OnPrint = make("OnPrint", s("打印..."), none, s("打印选中的试卷"));
    OnExportPdf =
        make("OnExportPdf", s("导出 PDF..."), none, s("把选中的试卷 (可带答案) 导出为 PDF 文件"));
    ClearMessagesAction = make("ClearMessagesAction", s("清空信息(&C)"), none, QString());

    for (QAction* toggle :
         {OnViewPapLib, OnViewQuestion, OnViewMessage, OnViewToolBar, OnViewStatus}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
}

void TMainForm::createMenus() {
    QMenuBar* bar = menuBar();
    MenuFile = bar->addMenu(QStringLiteral("文件(&F)"));
    MenuFile->addActions({OnNewPaper, OnImportQuestions, OnExportMoodle});
    MenuFile->addSeparator();
    MenuFile->addActions({OnPrintPreview, OnPrint, OnExportPdf});
    MenuFile->addSeparator();
    MenuFile->addAction(ExitAction);

    MenuEdit = bar->addMenu(QStringLiteral("编辑(&E)"));
    MenuEdit->addActions({OnAddQustion, OnAddChoice});
    MenuEdit->addSeparator();
    MenuEdit->addActions({OnDelQuestion, OnDelChoice});
    MenuEdit->addSeparator();
    MenuEdit->addActions({OnCopyPaper, OnDelPaper, OnDelAllPaper});
    MenuEdit->addSeparator();
    MenuEdit->addAction(OnEditPaper);
    MenuEdit->addSeparator();
    MenuEdit->addActions({OnSearchBank, OnComposePaper});

    MenuView = bar->addMenu(QStringLiteral("视图(&V)"));
    MenuView->addActions({OnViewPapLib, OnViewQuestion});
    MenuView->addSeparator();
    MenuView->addAction(OnViewMessage);
    MenuView->addSeparator();
    MenuView->addActions({OnViewToolBar, OnViewStatus});

    MenuTools = bar->addMenu(QStringLiteral("工具(&T)"));
    MenuTools->addAction(OnGenPaper);
    MenuTools->addSeparator();
    MenuTools->addAction(OnSetting);
    MenuTools->addSeparator();
    MenuTools->addActions({OnModifyPasswore, OnManageUsers});

    MenuHelp = bar->addMenu(QStringLiteral("帮助(&H)"));
    MenuHelp->addAction(OnAbout);
    MenuHelp->addSeparator();
    MenuHelp->addAction(OnHelp);

    for (QMenu* menu : {MenuFile, MenuEdit, MenuView, MenuTools, MenuHelp})
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { runUpdateRules(menu); });

    // Pop-up menus. The navigator and the grids register theirs for their
    // controls with SetPopupMenu when they are built.
    PopMenuPaper = new QMenu(this);
    PopMenuPaper->setObjectName(QStringLiteral("PopMenuPaper"));
    PopMenuPaper->addActions({OnNewPaper, OnCopyPaper});
    PopMenuPaper->addSeparator();
    PopMenuPaper->addActions({OnDelPaper, OnDelAllQuestion});
    PopMenuPaper->addSeparator();
    PopMenuPaper->addActions({OnGenPaper, OnEditPaper});
    PopMenuPaper->addSeparator();
    PopMenuPaper->addActions({OnPrintPreview, OnPrint, OnExportPdf});

    PopMenuQuestion = new QMenu(this);
    PopMenuQuestion->setObjectName(QStringLiteral("PopMenuQuestion"));
    PopMenuQuestion->addActions({OnAddQustion, OnDelQuestion});
    PopMenuQuestion->addSeparator();
    PopMenuQuestion->addActions({OnAddChoice, OnInsertImage});

    PopMenuChoice = new QMenu(this);
    PopMenuChoice->setObjectName(QStringLiteral("PopMenuChoice"));
    PopMenuChoice->addActions({OnAddChoice, OnDelChoice});
    PopMenuChoice->addSeparator();
    PopMenuChoice->addAction(OnInsertImageChc);

    PopMenuMessage = new QMenu(this);
    PopMenuMessage->setObjectName(QStringLiteral("PopMenuMessage"));
    PopMenuMessage->addAction(ClearMessagesAction);
    SetPopupMenu(MessageArea, PopMenuMessage);
    SetPopupMenu(PnlBottom, PopMenuMessage);
}

void TMainForm::createLayout() {
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setFixedHeight(43);
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar->toggleViewAction()->setVisible(false);
    auto addButton = [this](QAction* action) {
        ToolBar->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(ToolBar->widgetForAction(action))) {
            button->setObjectName(action->objectName() + QStringLiteral("Button"));
            button->setFixedSize(83, 38);
            button->setAutoRaise(true);
            button->setFocusPolicy(Qt::NoFocus);
            button->setText(QString(action->text()).remove(QLatin1Char('&')));
        }
    };
    addButton(OnNewPaper);
    ToolBar->addSeparator();
    addButton(OnAddQustion);
    addButton(OnAddChoice);
    ToolBar->addSeparator();
    addButton(OnDelPaper);
    addButton(OnDelQuestion);
    addButton(OnDelChoice);
    ToolBar->addSeparator();
    addButton(OnGenPaper);
    ToolBar->addSeparator();
    addButton(OnSearchBank);
    addToolBar(Qt::TopToolBarArea, ToolBar);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);

    // While a splitter is dragged it only shows where the boundary will go.
    auto makeSplitter = [](Qt::Orientation orientation, int handle, const char* name) {
        auto* splitter = new QSplitter(orientation);
        splitter->setObjectName(QLatin1String(name));
        splitter->setOpaqueResize(false);
        splitter->setHandleWidth(handle);
        return splitter;
    };
    SplitterMain = makeSplitter(Qt::Vertical, 4, "SplitterMain");
    centralLayout->addWidget(SplitterMain);

    // Work area: lowered edge, medium grey.
    auto* work = makePanel(SplitterMain, "WorkArea");
    work->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    work->setLineWidth(1);
    work->setAutoFillBackground(true);
    QPalette grey = work->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    work->setPalette(grey);
    WorkArea = work;
    auto* workLayout = new QHBoxLayout(work);
    workLayout->setContentsMargins(1, 1, 1, 1);
    workLayout->setSpacing(0);
    SplitterWork = makeSplitter(Qt::Horizontal, 4, "SplitterWork");
    workLayout->addWidget(SplitterWork);

    m_navigator = new tess::PaperNavigator(
        *this, *m_bank, {OnNewPaper, OnEditPaper, OnDelPaper, OnDelAllPaper, OnDelAllQuestion});
    SplitterWork->addWidget(m_navigator);

    PnlRight = new QWidget;
    PnlRight->setObjectName(QStringLiteral("PnlRight"));
    auto* rightLayout = new QVBoxLayout(PnlRight);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    SplitterRight = makeSplitter(Qt::Vertical, 5, "SplitterRight");
    rightLayout->addWidget(SplitterRight);
    PnlQuestion = new QWidget;
    PnlQuestion->setObjectName(QStringLiteral("PnlQuestion"));
    new QVBoxLayout(PnlQuestion);
    PnlQuestion->layout()->setContentsMargins(0, 0, 0, 0);
    PnlChoice = new QWidget;
    PnlChoice->setObjectName(QStringLiteral("PnlChoice"));
    new QVBoxLayout(PnlChoice);
    PnlChoice->layout()->setContentsMargins(0, 0, 0, 0);
    SplitterRight->addWidget(PnlQuestion);
    SplitterRight->addWidget(PnlChoice);
    SplitterRight->setStretchFactor(0, 0);
    SplitterRight->setStretchFactor(1, 1);
    SplitterRight->setSizes({209, 200});
    SplitterWork->addWidget(PnlRight);
    SplitterWork->setStretchFactor(0, 0);
    SplitterWork->setStretchFactor(1, 1);
    SplitterWork->setSizes({185, 500});
    SplitterWork->setCollapsible(0, false);
    SplitterWork->setCollapsible(1, false);

    // Lower area: single-line border, the message area over the status bar.
    auto* bottom = makePanel(SplitterMain, "PnlBottom");
    bottom->setFrameStyle(QFrame::Box | QFrame::Plain);
    bottom->setLineWidth(1);
    PnlBottom = bottom;
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(1, 1, 1, 1);
    bottomLayout->setSpacing(0);
    // Hiding the message area leaves this holder blank rather than moving
    // the status bar up.
    auto* holder = new QWidget(bottom);
    holder->setObjectName(QStringLiteral("PnlMessage"));
    auto* holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    MessageArea = new QPlainTextEdit(holder);
    MessageArea->setObjectName(QStringLiteral("MessageArea"));
    MessageArea->setAccessibleName(QStringLiteral("信息提示区"));
    MessageArea->setReadOnly(true);
    MessageArea->setFrameShape(QFrame::NoFrame);
    MessageArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MessageArea->setMinimumHeight(1);
    holderLayout->addWidget(MessageArea);
    holder->setMinimumHeight(1);
    bottomLayout->addWidget(holder, 1);
    StatusBar = new QStatusBar(bottom);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(20);
    StatusBar->setSizeGripEnabled(false);
    bottomLayout->addWidget(StatusBar);

    SplitterMain->setCollapsible(0, false);
    SplitterMain->setCollapsible(1, true);
    // The work area keeps its height when a bar is hidden or shown; the lower
    // area takes the difference.
    SplitterMain->setStretchFactor(0, 0);
    SplitterMain->setStretchFactor(1, 1);
    setCentralWidget(central);
}

// --- frame services ---

void TMainForm::SetPopupMenu(QWidget* control, QMenu* menu) {
    if (!control)
        return;
    if (!menu) {
        // Kept with no menu, so that the control's one connection stays known.
        if (m_popupMenus.contains(control))
            m_popupMenus.insert(control, nullptr);
        control->setContextMenuPolicy(Qt::DefaultContextMenu);
        return;
    }
    const bool known =
        std::find(m_popupMenus.cbegin(), m_popupMenus.cend(), menu) != m_popupMenus.cend();
    const bool controlKnown = m_popupMenus.contains(control);
    m_popupMenus.insert(control, menu);
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    // One connection per control, whichever menu it has now; a control that
    // is given another menu must not pop up two.
    if (!controlKnown) {
        // A scroll area reports the position in its viewport's coordinates.
        connect(control, &QWidget::customContextMenuRequested, this,
                [this, control](const QPoint& pos) {
                    QMenu* current = m_popupMenus.value(control);
                    if (!current)
                        return;
                    auto* area = qobject_cast<QAbstractScrollArea*>(control);
                    current->popup((area ? area->viewport() : control)->mapToGlobal(pos));
                });
        connect(control, &QObject::destroyed, this,
                [this, control] { m_popupMenus.remove(control); });
    }
    if (!known)
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { runUpdateRules(menu); });
}

void TMainForm::SetUpdateRule(QAction* action, std::function<void()> rule) {
    if (action)
        m_updateRules.insert(action, std::move(rule));
}

void TMainForm::ConnectCommand(QAction* action, std::function<void()> handler) {
    if (!action)
        return;
    connect(action, &QAction::triggered, this,
            [this, handler = std::move(handler)] { Guarded(handler); });
}

void TMainForm::runUpdateRule(QAction* action) {
    const auto rule = m_updateRules.constFind(action);
    if (rule != m_updateRules.cend() && *rule)
        Guarded(*rule);
}

void TMainForm::runUpdateRules(QMenu* menu) {
    const QList<QAction*> entries = menu->actions();
    for (QAction* entry : entries)
        runUpdateRule(entry);
}

void TMainForm::ConnectBankCommand(QAction* action, std::function<void()> handler) {
    ConnectCommand(action, [this, handler = std::move(handler)] {
        if (m_navigator->CatchUp())
            handler();
    });
}

void TMainForm::AddMessage(const QString& text) {
    MessageArea->setVisible(true); // the toggle's flag stays as it is
    MessageArea->appendPlainText(text);
    MessageArea->moveCursor(QTextCursor::End);
    MessageArea->ensureCursorVisible();
}

void TMainForm::ClearMessages() {
    MessageArea->clear();
}

QString TMainForm::MessageText() const {
    return MessageArea->toPlainText();
}

bool TMainForm::AskYesNo(const QString& text, bool noByDefault) {
    return tess::Prompts::instance().askYesNo(this, text, noByDefault);
}

void TMainForm::ShowInformation(const QString& text) {
    tess::Prompts::instance().information(this, text);
}

void TMainForm::ReportError(const QString& message) {
    AddMessage(QStringLiteral("程序运行错误:") + message);
}

void TMainForm::Guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (...) {
        ReportError(tess::currentErrorMessage());
    }
}

// --- window events ---

void TMainForm::ApplyWorkAreaHeight() {
    if (!SplitterMain)
        return;
    if (m_rememberedMain) {
        const QList<int>& sizes = *m_rememberedMain;
        if (sizes.at(0) + sizes.at(1) + SplitterMain->handleWidth() == SplitterMain->height()) {
            SplitterMain->setSizes(sizes);
            m_rememberedMainApplied = true;
            return;
        }
        // Maximising may come after the first showing: until the height
        // was reached once, it may still come.
        if (m_rememberedMainApplied)
            m_rememberedMain.reset();
    }
    const int client = height() - (menuBar()->isHidden() ? 0 : menuBar()->height());
    const int work = client * 3 / 4;
    const int lower = std::max(0, SplitterMain->height() - work - SplitterMain->handleWidth());
    SplitterMain->setSizes({work, lower});
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ApplyWorkAreaHeight();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The size given while hidden met a splitter not laid out yet. Later
    // showings (restored from minimized) keep a boundary the user dragged.
    if (!m_shownOnce) {
        m_shownOnce = true;
        ApplyWorkAreaHeight();
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!AskYesNo(QStringLiteral("真的要退出") + tess::appTitle() + QStringLiteral("吗?"))) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT exitConfirmed();
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // The status bar lives in the lower area, not where QMainWindow keeps its own.
        StatusBar->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// --- frame commands ---

void TMainForm::OnViewExecute(QAction* toggle, QWidget* region) {
    region->setVisible(toggle->isChecked());
}

void TMainForm::OnAboutExecute() {
    TAboutDlg about(this);
    about.exec();
}

void TMainForm::OnHelpExecute() {
    if (!m_help)
        return;
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void TMainForm::OnSettingExecute() {
    tess::editNewPaperDefaults(this, m_bank->Defaults, tess::ProgramFiles::WorkFolder());
}

// --- the paper bank ---

void TMainForm::IndexBankTexts() {
    m_search->IndexBankTexts();
}

void TMainForm::SetSignedInAccount(const QString& account) {
    m_accounts->SetSignedInAccount(account);
}

QString TMainForm::SignedInAccount() const {
    return m_accounts->SignedInAccount();
}

void TMainForm::SetPageOpener(tess::PageOpener* opener) {
    m_publish->SetPageOpener(opener);
}

void TMainForm::OpenPaperBank() {
    try {
        m_bank->open(tess::chosenBank().name);
        // An import killed half-way: its pictures are moved in or taken away.
        tess::exchange::finishInterruptedImports(m_bank->Conn,
                                                 tess::ProgramFiles::PicturesFolder());
        m_navigator->RefreshPaperClasses();
        m_navigator->RefreshPaperList();
    } catch (...) {
        // The login lets the teacher try again: the next attempt must start
        // from a window as it was created, not from a half-filled one.
        ClosePaperBank();
        throw;
    }
}

void TMainForm::ClosePaperBank() {
    m_bank->close();
    m_navigator->Clear();
}

// --- how the teacher left the window ---

void TMainForm::RestoreWindow() {
    tess::Prompts& prompts = tess::Prompts::instance();
    for (const tess::FileDialogKind kind : tess::AllFileDialogKinds)
        prompts.setLastFolder(kind, m_memory.folder(tess::fileDialogKey(kind)));
    prompts.setLastPictureType(m_memory.pictureType());
    // A paper and its key that a killed program left half replaced where the
    // teacher last wrote them are put in place now, before anyone opens them.
    tess::finishInterruptedWritesIn(prompts.lastFolder(tess::FileDialogKind::Pdf));

    // On the screens there are now: a screen may have gone since.
    if (const std::optional<QRect> wanted = m_memory.geometry()) {
        QList<QRect> screens;
        const QScreen* primary = QGuiApplication::primaryScreen();
        if (primary)
            screens << primary->availableGeometry();
        const QList<QScreen*> all = QGuiApplication::screens();
        for (const QScreen* screen : all)
            if (screen != primary)
                screens << screen->availableGeometry();
        setGeometry(tess::placeOnScreens(*wanted, screens));
    }
    if (m_memory.maximized())
        setWindowState(windowState() | Qt::WindowMaximized);
    for (QSplitter* splitter : {SplitterWork, SplitterRight})
        if (const auto sizes = m_memory.sizes(splitter->objectName(), splitter->count()))
            splitter->setSizes(*sizes);
    m_rememberedMain = m_memory.sizes(SplitterMain->objectName(), SplitterMain->count());
    connect(SplitterMain, &QSplitter::splitterMoved, this, [this] { m_rememberedMain.reset(); });
    for (QTableView* grid : {static_cast<QTableView*>(m_grids->DBGridQuestion),
                             static_cast<QTableView*>(m_grids->DBGridChoice)}) {
        QHeaderView* header = grid->horizontalHeader();
        if (const auto widths = m_memory.sizes(grid->objectName(), header->count()))
            for (int i = 0; i < header->count(); ++i)
                header->resizeSection(
                    i, std::clamp(widths->at(i), header->minimumSectionSize(), kWidestColumn));
    }
}

void TMainForm::RememberWindow() {
    const tess::Prompts& prompts = tess::Prompts::instance();
    for (const tess::FileDialogKind kind : tess::AllFileDialogKinds)
        if (const QString folder = prompts.lastFolder(kind); !folder.isEmpty())
            m_memory.setFolder(tess::fileDialogKey(kind), folder);
    if (!prompts.lastPictureType().isEmpty())
        m_memory.setPictureType(prompts.lastPictureType());

    // A window the teacher never saw keeps what was remembered before.
    if (!m_shownOnce)
        return;
    const bool maximized = windowState() & Qt::WindowMaximized;
    const QRect normal = windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)
                             ? normalGeometry()
                             : geometry();
    m_memory.setMaximized(maximized);
    if (normal.isValid())
        m_memory.setGeometry(normal);
    for (QSplitter* splitter : {SplitterMain, SplitterWork, SplitterRight}) {
        // A pane hidden by its view toggle has no size worth keeping.
        bool allShown = true;
        for (int i = 0; i < splitter->count(); ++i)
            allShown = allShown && !splitter->widget(i)->isHidden();
        if (allShown)
            m_memory.setSizes(splitter->objectName(), splitter->sizes());
    }
    for (const QTableView* grid : {static_cast<QTableView*>(m_grids->DBGridQuestion),
                                   static_cast<QTableView*>(m_grids->DBGridChoice)}) {
        const QHeaderView* header = grid->horizontalHeader();
        QList<int> widths;
        for (int i = 0; i < header->count(); ++i)
            widths << header->sectionSize(i);
        m_memory.setSizes(grid->objectName(), widths);
    }
}
