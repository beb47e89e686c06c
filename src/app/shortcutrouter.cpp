#include "app/shortcutrouter.h"

#include "app/tmainform.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWindow>

namespace tess {

ShortcutRouter::ShortcutRouter(TMainForm* form) : QObject(form), m_form(form) {}

QKeySequence ShortcutRouter::keyOf(const QKeyEvent* event) {
    const int key = event->key();
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_unknown:
    case 0:
        return QKeySequence();
    default:
        break;
    }
    const Qt::KeyboardModifiers mods =
        event->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key)));
}

QAction* ShortcutRouter::findInMenu(const QMenu* menu, const QKeySequence& key) {
    if (!menu)
        return nullptr;
    const QList<QAction*> entries = menu->actions();
    for (QAction* entry : entries) {
        if (entry->isSeparator())
            continue;
        if (entry->menu()) {
            if (QAction* found = findInMenu(entry->menu(), key))
                return found;
            continue;
        }
        if (entry->shortcuts().contains(key))
            return entry;
    }
    return nullptr;
}

QAction* ShortcutRouter::find(QWidget* focus, const QKeySequence& key) const {
    if (key.isEmpty())
        return nullptr;
    QAction* found = nullptr;
    // 1. pop-up menus from the focused control outwards
    for (QWidget* w = focus; w && !found; w = w->parentWidget()) {
        found = findInMenu(m_form->PopupMenuOf(w), key);
        if (w == m_form)
            break;
    }
    // 2. the menu bar, left to right
    if (!found) {
        const QList<QAction*> menus = m_form->menuBar()->actions();
        for (QAction* menuEntry : menus) {
            if ((found = findInMenu(menuEntry->menu(), key)))
                break;
        }
    }
    // 3. every command
    if (!found) {
        const QList<QAction*> all = m_form->findChildren<QAction*>();
        for (QAction* action : all) {
            if (!action->isSeparator() && !action->menu() && action->shortcuts().contains(key)) {
                found = action;
                break;
            }
        }
    }
    if (found)
        m_form->runUpdateRule(found);
    return found;
}

bool ShortcutRouter::route(QWidget* focus, const QKeySequence& key) {
    QAction* entry = find(focus, key);
    if (!entry)
        return false;
    if (entry->isEnabled())
        entry->trigger();
    return true; // a disabled entry swallows the key
}

bool ShortcutRouter::isCommandKey(const QKeySequence& key) const {
    if (key.isEmpty())
        return false;
    const QList<QAction*> all = m_form->findChildren<QAction*>();
    for (QAction* action : all) {
        if (action->shortcuts().contains(key))
            return true;
    }
    return false;
}

bool ShortcutRouter::inMainWindow(QObject* object) const {
    if (auto* widget = qobject_cast<QWidget*>(object))
        return widget->window() == m_form;
    return object == m_form->windowHandle();
}

bool ShortcutRouter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    const auto* keyEvent = static_cast<QKeyEvent*>(event);
    const QKeySequence key = keyOf(keyEvent);
    if (!isCommandKey(key))
        return false;

    if (type == QEvent::ShortcutOverride) {
        // Claim the key from Qt's shortcut map: in the main window it comes
        // back as a key press and is routed below. Inside an open menu of ours
        // the commands' keys do nothing, as the menu has the keyboard.
        bool ownMenu = false;
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            for (QWidget* w = menu; w && !ownMenu; w = w->parentWidget())
                ownMenu = w == m_form;
        }
        if (inMainWindow(watched) || ownMenu) {
            event->accept();
            return true;
        }
        return false;
    }

    if (!inMainWindow(watched))
        return false;
    QWidget* focus = qobject_cast<QWidget*>(watched);
    if (!focus)
        focus = m_form->focusWidget() ? m_form->focusWidget() : m_form;
    bool taken = false;
    m_form->Guarded([&] { taken = route(focus, key); });
    return taken;
}

} // namespace tess
