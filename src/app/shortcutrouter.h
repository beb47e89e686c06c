#pragma once

#include <QKeySequence>
#include <QObject>

class QAction;
class QKeyEvent;
class QMenu;
class QWidget;
class TMainForm;

namespace tess {

// Finds the command for a shortcut key in the main window the way the menus
// promise it, instead of Qt's shortcut map (which would call a key carried by
// two commands ambiguous and run neither):
//   1. the pop-up menus of the focused control and of the controls holding it,
//      from the inside out;
//   2. the menu bar, menu by menu from left to right, each from top to bottom;
//   3. all commands.
// The first entry carrying the key takes it; a disabled one swallows it.
class ShortcutRouter : public QObject {
    Q_OBJECT

public:
    explicit ShortcutRouter(TMainForm* form);

    // The entry that takes key with the focus in focus (after the update rules
    // of the entries looked at have run), or nullptr when no entry carries it.
    QAction* find(QWidget* focus, const QKeySequence& key) const;
    // Runs the command for key; returns whether an entry took the key.
    bool route(QWidget* focus, const QKeySequence& key);

    // The key of a key event as the commands carry it; empty for a lone modifier.
    static QKeySequence keyOf(const QKeyEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isCommandKey(const QKeySequence& key) const;
    bool inMainWindow(QObject* object) const;
    static QAction* findInMenu(const QMenu* menu, const QKeySequence& key);

    TMainForm* m_form;
};

} // namespace tess
