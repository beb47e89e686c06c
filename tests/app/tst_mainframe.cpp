#include "app/shortcutrouter.h"
#include "appfixture.h"
#include "settings/tdlgconfigure.h"
#include "store/engineerror.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <stdexcept>

using tess::Prompts;

namespace {

QStringList entries(const QMenu* menu) {
    QStringList out;
    const QList<QAction*> actions = menu->actions();
    for (const QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("—") : a->objectName());
    return out;
}

void showForm(TMainForm& form) {
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
}

} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commands_data();
    void commands();
    void menusAndToolBar();
    void exitQuestion();
    void viewToggles_data();
    void viewToggles();
    void addMessageOnHiddenArea();
    void clearMessages();
    void errorHandler_data();
    void errorHandler();
    void workAreaHeight();
    void shortcutRouting_data();
    void shortcutRouting();
    void keysInsideOtherWindowsAreNotRouted();
    void popupMenuGivenAgain();
    void manageUsersUpdateRule_data();
    void manageUsersUpdateRule();
    void statusHints();
    void defaultsLoadedAndSaved();
    void settingCommand();
};

void TestMainFrame::commands_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("hint");
    auto row = [](const char* name, const char* caption, const QKeySequence& key,
                  const char* hint) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption) << key
                            << QString::fromUtf8(hint);
    };
    row("OnNewPaper", "新建试卷(&D)", QKeySequence(Qt::CTRL | Qt::Key_D), "新建试卷");
    row("OnAddQustion", "添加题目(&F)", QKeySequence(Qt::CTRL | Qt::Key_F), "添加题目");
    row("OnAddChoice", "添加选项(&G)", QKeySequence(Qt::CTRL | Qt::Key_G), "添加选项");
    row("OnDelQuestion", "删除题目(&H)", QKeySequence(), "删除题目");
    row("OnDelChoice", "删除选项(&J)", QKeySequence(), "删除选项");
    row("OnDelPaper", "删除试卷(&G)", QKeySequence(Qt::CTRL | Qt::Key_G), "删除试卷");
    row("OnDelAllPaper", "删除所有试卷", QKeySequence(), "删除所有试卷");
    row("OnDelAllQuestion", "删除所有题目", QKeySequence(Qt::SHIFT | Qt::Key_Delete),
        "删除所有题目");
    row("OnEditPaper", "编辑试卷属性...(&E)", QKeySequence(Qt::SHIFT | Qt::Key_Insert),
        "编辑试卷属性");
    row("OnGenPaper", "生成试卷(&S)", QKeySequence(Qt::CTRL | Qt::Key_S), "生成试卷");
    row("OnSetting", "系统设置...", QKeySequence(Qt::Key_F3), "系统设置");
    row("OnModifyPasswore", "修改用户密码...", QKeySequence(Qt::Key_F5), "");
    row("OnManageUsers", "用户管理...", QKeySequence(Qt::Key_F4), "");
    row("OnInsertImage", "插入图片文件", QKeySequence(), "");
    row("OnInsertImageChc", "插入图片文件", QKeySequence(), "");
    row("OnViewPapLib", "显示试卷导航栏", QKeySequence(), "显示试卷库");
    row("OnViewQuestion", "所有题目", QKeySequence(), "所有题目");
    row("OnViewMessage", "信息提示区", QKeySequence(), "信息提示区");
    row("OnViewToolBar", "显示工具栏", QKeySequence(), "显示工具栏");
    row("OnViewStatus", "显示状态栏", QKeySequence(), "显示状态栏");
    row("OnAbout", "关于...", QKeySequence(Qt::Key_F2), "关于...");
    row("OnHelp", "使用指南...", QKeySequence(Qt::Key_F1), "使用指南");
    row("ExitAction", "退出(&X)", QKeySequence(), "");
    row("OnSearchBank", "题库检索...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        "在整个试题库中按文字、题型和类别找题目, 复制或移动到当前试卷");
    row("OnComposePaper", "从题库组卷...", QKeySequence(),
        "按题型、题数和分值从题库中随机抽题, 组成一份新试卷");
    row("OnCopyPaper", "复制试卷", QKeySequence(),
        "复制选中的试卷和它的全部题目, 副本的名称后加上 \"（副本）\"");
    row("ClearMessagesAction", "清空信息(&C)", QKeySequence(), "");
}

void TestMainFrame::commands() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, key);
    QFETCH(QString, hint);
    AppFolder folder;
    TMainForm form;
    auto* action = form.findChild<QAction*>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcut(), key);
    QCOMPARE(action->statusTip(), hint);
}

void TestMainFrame::menusAndToolBar() {
    AppFolder folder;
    TMainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Tessaloom"));
    QStringList titles;
    const QList<QAction*> bar = form.menuBar()->actions();
    for (const QAction* a : bar)
        titles << a->text();
    QCOMPARE(titles, (QStringList{QStringLiteral("文件(&F)"), QStringLiteral("编辑(&E)"),
                                  QStringLiteral("视图(&V)"), QStringLiteral("工具(&T)"),
                                  QStringLiteral("帮助(&H)")}));
    const QString sep = QStringLiteral("—");
    QCOMPARE(entries(form.MenuFile),
             (QStringList{QStringLiteral("OnNewPaper"), QStringLiteral("OnImportQuestions"),
                          QStringLiteral("OnExportMoodle"), sep, QStringLiteral("OnPrintPreview"),
                          QStringLiteral("OnPrint"), QStringLiteral("OnExportPdf"), sep,
                          QStringLiteral("ExitAction")}));
    QCOMPARE(entries(form.MenuEdit),
             (QStringList{QStringLiteral("OnAddQustion"), QStringLiteral("OnAddChoice"), sep,
                          QStringLiteral("OnDelQuestion"), QStringLiteral("OnDelChoice"), sep,
                          QStringLiteral("OnCopyPaper"), QStringLiteral("OnDelPaper"),
                          QStringLiteral("OnDelAllPaper"), sep, QStringLiteral("OnEditPaper"), sep,
                          QStringLiteral("OnSearchBank"), QStringLiteral("OnComposePaper")}));
    QCOMPARE(entries(form.MenuView),
             (QStringList{QStringLiteral("OnViewPapLib"), QStringLiteral("OnViewQuestion"), sep,
                          QStringLiteral("OnViewMessage"), sep, QStringLiteral("OnViewToolBar"),
                          QStringLiteral("OnViewStatus")}));
    QCOMPARE(entries(form.MenuTools),
             (QStringList{QStringLiteral("OnGenPaper"), sep, QStringLiteral("OnSetting"), sep,
                          QStringLiteral("OnModifyPasswore"), QStringLiteral("OnManageUsers")}));
    QCOMPARE(entries(form.MenuHelp),
             (QStringList{QStringLiteral("OnAbout"), sep, QStringLiteral("OnHelp")}));
    QCOMPARE(entries(form.PopMenuPaper),
             (QStringList{QStringLiteral("OnNewPaper"), QStringLiteral("OnCopyPaper"), sep,
                          QStringLiteral("OnDelPaper"), QStringLiteral("OnDelAllQuestion"), sep,
                          QStringLiteral("OnGenPaper"), QStringLiteral("OnEditPaper"), sep,
                          QStringLiteral("OnPrintPreview"), QStringLiteral("OnPrint"),
                          QStringLiteral("OnExportPdf")}));
    QCOMPARE(entries(form.PopMenuQuestion),
             (QStringList{QStringLiteral("OnAddQustion"), QStringLiteral("OnDelQuestion"), sep,
                          QStringLiteral("OnAddChoice"), QStringLiteral("OnInsertImage")}));
    QCOMPARE(entries(form.PopMenuChoice),
             (QStringList{QStringLiteral("OnAddChoice"), QStringLiteral("OnDelChoice"), sep,
                          QStringLiteral("OnInsertImageChc")}));
    QCOMPARE(form.PopupMenuOf(messageArea(form)), form.PopMenuMessage);
    QCOMPARE(form.PopupMenuOf(part<QWidget>(form, "PnlBottom")), form.PopMenuMessage);
    QCOMPARE(entries(form.PopMenuMessage), QStringList{QStringLiteral("ClearMessagesAction")});

    QStringList buttons;
    const QList<QAction*> tools = part<QToolBar>(form, "ToolBar")->actions();
    for (QAction* a : tools) {
        if (a->isSeparator()) {
            buttons << sep;
            continue;
        }
        buttons << a->objectName();
        auto* button =
            qobject_cast<QToolButton*>(part<QToolBar>(form, "ToolBar")->widgetForAction(a));
        QVERIFY(button);
        QCOMPARE(button->size(), QSize(83, 38));
        QVERIFY(button->autoRaise());
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(!a->icon().isNull());
    }
    QCOMPARE(buttons,
             (QStringList{QStringLiteral("OnNewPaper"), sep, QStringLiteral("OnAddQustion"),
                          QStringLiteral("OnAddChoice"), sep, QStringLiteral("OnDelPaper"),
                          QStringLiteral("OnDelQuestion"), QStringLiteral("OnDelChoice"), sep,
                          QStringLiteral("OnGenPaper"), sep, QStringLiteral("OnSearchBank")}));
    QCOMPARE(part<QToolBar>(form, "ToolBar")->height(), 43);
    QVERIFY(!part<QSplitter>(form, "SplitterMain")->opaqueResize());
    QVERIFY(!part<QSplitter>(form, "SplitterWork")->opaqueResize());
    QVERIFY(!part<QSplitter>(form, "SplitterRight")->opaqueResize());
}

// Every close attempt asks; No keeps everything, Yes ends.
void TestMainFrame::exitQuestion() {
    AppFolder folder;
    TMainForm form;
    showForm(form);
    QSignalSpy ended(&form, &TMainForm::exitConfirmed);
    form.AddMessage(QStringLiteral("kept"));

    Prompts::instance().queueYesNo(false);
    QVERIFY(!form.close());
    Prompts::instance().queueYesNo(false);
    form.ExitAction->trigger();
    QVERIFY(form.isVisible());
    QCOMPARE(ended.size(), 0);
    QCOMPARE(messageArea(form)->toPlainText(), QStringLiteral("kept"));

    Prompts::instance().queueYesNo(true);
    form.ExitAction->trigger();
    QCOMPARE(ended.size(), 1);
    QVERIFY(form.isHidden());
    const QString question = QStringLiteral("真的要退出Tessaloom吗?");
    QCOMPARE(Prompts::instance().shownTexts(), (QStringList{question, question, question}));
}

void TestMainFrame::viewToggles_data() {
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("region");
    QTest::newRow("navigator") << QStringLiteral("OnViewPapLib") << QStringLiteral("PnlLeft");
    QTest::newRow("questions") << QStringLiteral("OnViewQuestion") << QStringLiteral("PnlRight");
    QTest::newRow("messages") << QStringLiteral("OnViewMessage") << QStringLiteral("MessageArea");
    QTest::newRow("tool bar") << QStringLiteral("OnViewToolBar") << QStringLiteral("ToolBar");
    QTest::newRow("status bar") << QStringLiteral("OnViewStatus") << QStringLiteral("StatusBar");
}

void TestMainFrame::viewToggles() {
    QFETCH(QString, toggle);
    QFETCH(QString, region);
    AppFolder folder;
    TMainForm form;
    showForm(form);
    auto* action = form.findChild<QAction*>(toggle);
    auto* widget = form.findChild<QWidget*>(region);
    QVERIFY(action && widget);
    QVERIFY(action->isChecked());
    QVERIFY(widget->isVisible());
    action->trigger();
    QVERIFY(!action->isChecked());
    QVERIFY(widget->isHidden());
    QVERIFY(
        part<QWidget>(form, "PnlBottom")->isVisible()); // hiding a region leaves the frame in place
    action->trigger();
    QVERIFY(action->isChecked());
    QVERIFY(widget->isVisible());
}

// AddMessage shows a hidden area without touching the toggle; the toggle then
// turns the flag on and keeps the area visible.
void TestMainFrame::addMessageOnHiddenArea() {
    AppFolder folder;
    TMainForm form;
    showForm(form);
    form.OnViewMessage->trigger();
    QVERIFY(messageArea(form)->isHidden());
    form.AddMessage(QStringLiteral("第一行"));
    form.AddMessage(QString());
    form.AddMessage(QStringLiteral("第三行"));
    QVERIFY(messageArea(form)->isVisible());
    QVERIFY(!form.OnViewMessage->isChecked());
    QCOMPARE(messageArea(form)->toPlainText(), QStringLiteral("第一行\n\n第三行"));
    form.OnViewMessage->trigger();
    QVERIFY(form.OnViewMessage->isChecked());
    QVERIFY(messageArea(form)->isVisible());
}

void TestMainFrame::clearMessages() {
    AppFolder folder;
    TMainForm form;
    showForm(form);
    form.AddMessage(QStringLiteral("a"));
    form.AddMessage(QStringLiteral("b"));
    form.ClearMessagesAction->trigger();
    QVERIFY(messageArea(form)->toPlainText().isEmpty());
    QVERIFY(messageArea(form)->isVisible());
    QVERIFY(messageArea(form)->isReadOnly());
}

void TestMainFrame::errorHandler_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("line");
    QTest::newRow("engine") << 0 << QStringLiteral("程序运行错误:试题库坏了");
    QTest::newRow("ours") << 1 << QStringLiteral("程序运行错误:文件写不进去");
    QTest::newRow("unknown") << 2 << QStringLiteral("程序运行错误:未知错误");
}

// A command's error ends in the message area, the rest of the command is
// skipped and no box is shown.
void TestMainFrame::errorHandler() {
    QFETCH(int, kind);
    QFETCH(QString, line);
    AppFolder folder;
    TMainForm form;
    form.OnViewMessage->trigger();
    auto* command = new QAction(&form);
    bool rest = false;
    form.ConnectCommand(command, [&] {
        if (kind == 0)
            throw tess::EngineError(QStringLiteral("试题库坏了"));
        if (kind == 1)
            throw std::runtime_error("文件写不进去");
        if (kind == 2)
            throw 42;
        rest = true;
    });
    command->trigger();
    QVERIFY(!rest);
    QCOMPARE(messageArea(form)->toPlainText(), line);
    QVERIFY(!messageArea(form)->isHidden());
    QVERIFY(Prompts::instance().shownTexts().isEmpty());
}

// Three quarters of the client height go to the work area on every resize; a
// window too small for the lower area shows none until it grows again.
void TestMainFrame::workAreaHeight() {
    AppFolder folder;
    TMainForm form;
    showForm(form);
    auto client = [&] { return form.height() - form.menuBar()->height(); };
    QCOMPARE(part<QWidget>(form, "WorkArea")->height(), client() * 3 / 4); // before any resize
    // Hiding the tool bar leaves the work area as it is; the lower area grows.
    const int lower = part<QWidget>(form, "PnlBottom")->height();
    form.OnViewToolBar->trigger();
    QTRY_COMPARE(part<QWidget>(form, "PnlBottom")->height(), lower + 43);
    QCOMPARE(part<QWidget>(form, "WorkArea")->height(), client() * 3 / 4);
    form.OnViewToolBar->trigger();
    for (const QSize& size : {QSize(800, 600), QSize(640, 481), QSize(1000, 900)}) {
        form.resize(size);
        QTRY_COMPARE(form.height(), size.height());
        QCOMPARE(part<QWidget>(form, "WorkArea")->height(), client() * 3 / 4);
        QVERIFY(part<QWidget>(form, "PnlBottom")->height() > 0);
    }
    // A dragged boundary holds until the next resize.
    part<QSplitter>(form, "SplitterMain")
        ->setSizes({100, part<QSplitter>(form, "SplitterMain")->height() - 100 -
                             part<QSplitter>(form, "SplitterMain")->handleWidth()});
    QCOMPARE(part<QWidget>(form, "WorkArea")->height(), 100);
    form.resize(900, 700);
    QTRY_COMPARE(form.height(), 700);
    QCOMPARE(part<QWidget>(form, "WorkArea")->height(), client() * 3 / 4);

    form.resize(400, 120);
    QTRY_COMPARE(form.height(), 120);
    QCOMPARE(part<QSplitter>(form, "SplitterMain")->sizes().value(1), 0);
    form.resize(700, 520);
    QTRY_COMPARE(form.height(), 520);
    QVERIFY(part<QSplitter>(form, "SplitterMain")->sizes().value(1) > 0);
    QCOMPARE(part<QWidget>(form, "WorkArea")->height(), client() * 3 / 4);
}

void TestMainFrame::shortcutRouting_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<bool>("delPaperEnabled");
    QTest::addColumn<bool>("addChoiceEnabled");
    QTest::addColumn<QString>("expected");
    const QKeySequence ctrlG(Qt::CTRL | Qt::Key_G);
    QTest::newRow("paper list: its pop-up menu first")
        << "list" << ctrlG << true << true << "OnDelPaper";
    QTest::newRow("inside a control with the pop-up")
        << "listChild" << ctrlG << true << true << "OnDelPaper";
    QTest::newRow("paper list, delete disabled: swallowed")
        << "list" << ctrlG << false << true << "";
    QTest::newRow("question grid: its own pop-up")
        << "grid" << ctrlG << true << true << "OnAddChoice";
    QTest::newRow("plain field: menu bar order")
        << "field" << ctrlG << true << true << "OnAddChoice";
    QTest::newRow("message area") << "messages" << ctrlG << true << true << "OnAddChoice";
    QTest::newRow("menu bar: disabled first entry swallows")
        << "field" << ctrlG << true << false << "";
    QTest::newRow("key of a command in no menu")
        << "field" << QKeySequence(Qt::CTRL | Qt::Key_K) << true << true << "Extra";
    QTest::newRow("key of one command")
        << "list" << QKeySequence(Qt::SHIFT | Qt::Key_Delete) << true << true << "OnDelAllQuestion";
}

// Keys find their command through the pop-up menus of the focused control
// outwards, then the menu bar, then all commands.
void TestMainFrame::shortcutRouting() {
    QFETCH(QString, focus);
    QFETCH(QKeySequence, key);
    QFETCH(bool, delPaperEnabled);
    QFETCH(bool, addChoiceEnabled);
    QFETCH(QString, expected);
    AppFolder folder;
    TMainForm form;
    auto* list = new QListView(part<QWidget>(form, "PnlLeft"));
    part<QWidget>(form, "PnlLeft")->layout()->addWidget(list);
    form.SetPopupMenu(list, form.PopMenuPaper);
    auto* listChild = new QLineEdit(list->viewport()); // stands for an in-place editor
    auto* grid = new QListView(part<QWidget>(form, "PnlQuestion"));
    part<QWidget>(form, "PnlQuestion")->layout()->addWidget(grid);
    form.SetPopupMenu(grid, form.PopMenuQuestion);
    auto* field = new QLineEdit(part<QWidget>(form, "PnlChoice"));
    part<QWidget>(form, "PnlChoice")->layout()->addWidget(field);
    auto* extra = new QAction(QStringLiteral("extra"), &form);
    extra->setObjectName(QStringLiteral("Extra"));
    extra->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    extra->setShortcutContext(Qt::WidgetShortcut);
    showForm(form);

    QStringList ran;
    const QList<QAction*> all = form.findChildren<QAction*>();
    for (QAction* a : all)
        QObject::connect(a, &QAction::triggered, &form, [&ran, a] { ran << a->objectName(); });
    form.OnDelPaper->setEnabled(delPaperEnabled);
    form.OnAddChoice->setEnabled(addChoiceEnabled);
    Prompts::instance().queueYesNo(false); // should a command ask

    QHash<QString, QWidget*> targets{{QStringLiteral("list"), list},
                                     {QStringLiteral("listChild"), listChild},
                                     {QStringLiteral("grid"), grid},
                                     {QStringLiteral("field"), field},
                                     {QStringLiteral("messages"), messageArea(form)}};
    QWidget* target = targets.value(focus);
    target->setFocus();
    const QKeyCombination combo = key[0];
    QTest::keyClick(target, combo.key(), combo.keyboardModifiers());
    QCOMPARE(ran, expected.isEmpty() ? QStringList() : QStringList{expected});
    QCOMPARE(messageArea(form)->toPlainText(), QString());
}

// A dialog over the main window keeps its keys.
void TestMainFrame::keysInsideOtherWindowsAreNotRouted() {
    AppFolder folder;
    TMainForm form;
    showForm(form);
    QLineEdit other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QSignalSpy added(form.OnAddChoice, &QAction::triggered);
    QTest::keyClick(&other, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(added.size(), 0);
}

// A control whose pop-up menu is taken away and another given pops up only
// the one it has now, once.
void TestMainFrame::popupMenuGivenAgain() {
    AppFolder folder;
    TMainForm form;
    auto* list = new QListView(part<QWidget>(form, "PnlLeft"));
    part<QWidget>(form, "PnlLeft")->layout()->addWidget(list);
    form.SetPopupMenu(list, form.PopMenuPaper);
    form.SetPopupMenu(list, nullptr);
    QCOMPARE(list->contextMenuPolicy(), Qt::DefaultContextMenu);
    form.SetPopupMenu(list, form.PopMenuQuestion);
    showForm(form);
    QSignalSpy paper(form.PopMenuPaper, &QMenu::aboutToShow);
    QSignalSpy question(form.PopMenuQuestion, &QMenu::aboutToShow);
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                            list->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list->viewport(), &click);
    QTRY_VERIFY(form.PopMenuQuestion->isVisible());
    QCOMPARE(question.count(), 1);
    QCOMPARE(paper.count(), 0);
    form.PopMenuQuestion->hide();
}

void TestMainFrame::manageUsersUpdateRule_data() {
    QTest::addColumn<QString>("account");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Admin") << QStringLiteral("Admin") << true;
    QTest::newRow("admin") << QStringLiteral("admin") << false;
    QTest::newRow("Admin with a blank") << QStringLiteral("Admin ") << false;
    QTest::newRow("teacher") << QStringLiteral("王老师") << false;
}

// The rule runs before the menu opens and before F4 is acted on.
void TestMainFrame::manageUsersUpdateRule() {
    QFETCH(QString, account);
    QFETCH(bool, enabled);
    AppFolder folder;
    TMainForm form;
    showForm(form);
    QVERIFY(!form.OnManageUsers->isEnabled()); // nobody signed in

    form.SetSignedInAccount(account);
    form.MenuTools->popup(form.mapToGlobal(QPoint(10, 10)));
    QCOMPARE(form.OnManageUsers->isEnabled(), enabled);
    form.MenuTools->hide();

    form.OnManageUsers->setEnabled(!enabled); // stale state
    QSignalSpy ran(form.OnManageUsers, &QAction::triggered);
    messageArea(form)->setFocus();
    QTest::keyClick(messageArea(form), Qt::Key_F4);
    QCOMPARE(form.OnManageUsers->isEnabled(), enabled);
    QCOMPARE(ran.size(), enabled ? 1 : 0);
}

void TestMainFrame::statusHints() {
    AppFolder folder;
    TMainForm form;
    showForm(form);
    form.OnGenPaper->showStatusText(part<QToolBar>(form, "ToolBar"));
    QCOMPARE(part<QStatusBar>(form, "StatusBar")->currentMessage(), QStringLiteral("生成试卷"));
    form.OnManageUsers->showStatusText(form.menuBar()); // as a menu bar menu reports it
    QCOMPARE(part<QStatusBar>(form, "StatusBar")->currentMessage(), QString());
    form.OnViewStatus->trigger();
    QVERIFY(part<QStatusBar>(form, "StatusBar")->isHidden());
}

void TestMainFrame::defaultsLoadedAndSaved() {
    AppFolder folder(false);
    {
        QFile ini(tess::ProgramFiles::SettingsPath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Default]\r\nDefPapScr=77\r\n");
    }
    {
        TMainForm form;
        QCOMPARE(form.bank().Defaults.fullMark, 77);
        form.bank().Defaults.name = QStringLiteral("期末考试");
    }
    {
        TMainForm form;
        QCOMPARE(form.bank().Defaults.fullMark, 77);
        QCOMPARE(form.bank().Defaults.name, QStringLiteral("期末考试"));
    }
    // A settings file that cannot be written is reported in a box, as the
    // message area is gone by then.
    QFile::remove(tess::ProgramFiles::SettingsPath());
    QVERIFY(QDir().mkdir(tess::ProgramFiles::SettingsPath()));
    delete new TMainForm;
    const QStringList shown = Prompts::instance().shownTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(QDir::toNativeSeparators(tess::ProgramFiles::SettingsPath())),
             qPrintable(shown.first()));
}

// OnSetting edits the defaults through the defaults dialog.
void TestMainFrame::settingCommand() {
    AppFolder folder;
    TMainForm form;
    showForm(form);
    onNextModal<TDlgConfigure>([](TDlgConfigure* dialog) {
        dialog->EditMark->setText(QStringLiteral("120"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    messageArea(form)->setFocus();
    QTest::keyClick(messageArea(form), Qt::Key_F3);
    QCOMPARE(form.bank().Defaults.fullMark, 120);
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
