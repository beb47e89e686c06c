#pragma once

#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "editorfixture.h"
#include "frame/frame.h"
#include "frame/prompts.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"
#include "store/engineerror.h"

#include <QAction>
#include <QHash>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QVariant>
#include <QWidget>
#include <functional>

// What a window gives the navigator, and no more: messages kept in a list,
// boxes through the Prompts service (so that queued answers work), every
// command guarded as the main window guards it, a bank command catching up
// with another program first.
class TestFrame : public tess::Frame {
public:
    QWidget* window = nullptr;                 // boxes and dialogs are shown over it
    tess::PaperNavigator* navigator = nullptr; // catches up before a bank command
    QStringList messages;
    QHash<QAction*, std::function<void()>> updateRules;
    QHash<QWidget*, QMenu*> popupMenus;

    QWidget* FrameWidget() override { return window; }

    void AddMessage(const QString& text) override { messages << text; }
    void ClearMessages() override { messages.clear(); }
    QString MessageText() const override { return messages.join(QLatin1Char('\n')); }

    bool AskYesNo(const QString& text, bool noByDefault = false) override {
        return tess::Prompts::instance().askYesNo(window, text, noByDefault);
    }
    void ShowInformation(const QString& text) override {
        tess::Prompts::instance().information(window, text);
    }

    void Guarded(const std::function<void()>& fn) override {
        try {
            fn();
        } catch (...) {
            AddMessage(QStringLiteral("程序运行错误:") + tess::currentErrorMessage());
        }
    }

    void ConnectCommand(QAction* action, std::function<void()> handler) override {
        QObject::connect(action, &QAction::triggered, action,
                         [this, handler = std::move(handler)] { Guarded(handler); });
    }
    void ConnectBankCommand(QAction* action, std::function<void()> handler) override {
        ConnectCommand(action, [this, handler = std::move(handler)] {
            if (!navigator || navigator->CatchUp())
                handler();
        });
    }
    void SetUpdateRule(QAction* action, std::function<void()> rule) override {
        updateRules.insert(action, std::move(rule));
    }
    void SetPopupMenu(QWidget* control, QMenu* menu) override { popupMenus.insert(control, menu); }
};

// The paper navigator alone in a window of its own, the width the main window
// gives it, over a PaperBank on the folder's bank, with the five paper
// commands under the names the main window gives them. Built like the main
// window: construct (set the bank's defaults), then open().
class NavigatorAlone {
public:
    NavigatorAlone() {
        m_frame.window = &m_window;
        m_window.setObjectName(QStringLiteral("NavigatorWindow"));
        auto command = [this](const char* name) {
            auto* action = new QAction(&m_window);
            action->setObjectName(QLatin1String(name));
            return action;
        };
        OnNewPaper = command("OnNewPaper");
        OnEditPaper = command("OnEditPaper");
        OnDelPaper = command("OnDelPaper");
        OnDelAllPaper = command("OnDelAllPaper");
        OnDelAllQuestion = command("OnDelAllQuestion");
        m_navigator = new tess::PaperNavigator(
            m_frame, m_bank, {OnNewPaper, OnEditPaper, OnDelPaper, OnDelAllPaper, OnDelAllQuestion},
            &m_window);
        m_frame.navigator = m_navigator;
        m_bank.onNotice = [this](const QString& text) { m_frame.AddMessage(text); };
        m_listed = std::make_unique<QSignalSpy>(m_navigator, &tess::PaperNavigator::papersListed);
        auto* layout = new QVBoxLayout(&m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_navigator);
        m_window.resize(185, 360);
    }

    // Opens the folder's bank and fills the navigator as the main window does
    // at sign-in, then shows it.
    void open() {
        m_bank.open(tess::chosenBank().name);
        m_navigator->RefreshPaperClasses();
        m_navigator->RefreshPaperList();
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        QVERIFY2(m_frame.messages.isEmpty(), qPrintable(m_frame.MessageText()));
    }

    // Writes the window to a picture when TESS_GRAB_DIR names a folder.
    void grab(const QString& name) {
        const QString dir = qEnvironmentVariable("TESS_GRAB_DIR");
        if (!dir.isEmpty())
            m_window.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

    tess::PaperBank& bank() { return m_bank; }
    tess::PaperNavigator& navigator() const { return *m_navigator; }
    TestFrame& frame() { return m_frame; }
    QWidget& window() { return m_window; }
    // The message area's text, as the main window would show it.
    QString messages() const { return m_frame.MessageText(); }
    // What the navigator last told the question side through papersListed:
    // whether the list has entries; invalid when it has told nothing.
    QVariant lastListed() const {
        return m_listed->isEmpty() ? QVariant() : m_listed->last().at(0);
    }

    QAction* OnNewPaper = nullptr;
    QAction* OnEditPaper = nullptr;
    QAction* OnDelPaper = nullptr;
    QAction* OnDelAllPaper = nullptr;
    QAction* OnDelAllQuestion = nullptr;

private:
    // The bank and the frame outlive the window: the navigator's handlers are
    // taken off the cursors while it goes.
    tess::PaperBank m_bank;
    TestFrame m_frame;
    QWidget m_window;
    tess::PaperNavigator* m_navigator = nullptr;
    std::unique_ptr<QSignalSpy> m_listed;
};
