#pragma once

#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace tess {

// What the window gives every feature living in it (the navigator, the grids,
// publishing, printing, the exchange, the accounts): the message area, the
// boxes, the guard every command runs in, and the wiring of commands, update
// rules and pop-up menus. The main window implements it; a feature's tests
// may give a small one of their own.
class Frame {
public:
    virtual ~Frame() = default;

    // The window boxes and dialogs are shown over.
    virtual QWidget* FrameWidget() = 0;

    // --- the message area ---
    virtual void AddMessage(const QString& text) = 0;
    virtual void ClearMessages() = 0;
    virtual QString MessageText() const = 0;

    // --- boxes ---
    // noByDefault makes No the answer of Enter, for questions where Yes
    // destroys something.
    virtual bool AskYesNo(const QString& text, bool noByDefault = false) = 0;
    virtual void ShowInformation(const QString& text) = 0;

    // Runs fn; any error it throws goes to the application-wide handler
    // ("程序运行错误:" and the message in the message area). Every command,
    // edit and key handler runs through this.
    virtual void Guarded(const std::function<void()>& fn) = 0;

    // --- wiring ---
    // Runs handler, guarded, whenever action is triggered.
    virtual void ConnectCommand(QAction* action, std::function<void()> handler) = 0;
    // As ConnectCommand, for a command that acts on the bank: the window
    // first catches up with what another program changed, and the command
    // does not run when what it would act on has gone or changed.
    virtual void ConnectBankCommand(QAction* action, std::function<void()> handler) = 0;
    // An update rule (OnXxxUpdate): run before a menu holding the action opens
    // and before the action's shortcut key is acted on.
    virtual void SetUpdateRule(QAction* action, std::function<void()> rule) = 0;
    // The pop-up menu of a control: opened by the right mouse button and the
    // first place a shortcut key is looked up while the focus is in the control.
    virtual void SetPopupMenu(QWidget* control, QMenu* menu) = 0;
};

} // namespace tess
