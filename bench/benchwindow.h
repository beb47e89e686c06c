// What the benchmarks that drive the real windows share: waiting for a
// paint, timing a step until the window has caught up, the findings of the
// message area, and children that report figures on their standard output.
#pragma once

#include "app/tmainform.h"
#include "bank/paperbank.h"
#include "benchbank.h"
#include "editor/paperlistmodel.h"
#include "editor/papernavigator.h"
#include "frame/prompts.h"
#include "generate/publish.h"
#include "store/tablecursor.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QListView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStringList>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace bench {

// --- the child processes ------------------------------------------------------------

// Marks when a window has been painted for the first time.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    void wait() {
        QElapsedTimer t;
        t.start();
        while (!m_painted && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // The paint that was delivered is finished and flushed.
        QCoreApplication::processEvents();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            if (auto* w = qobject_cast<QWidget*>(watched); w && w->window() == m_window)
                m_painted = true;
        return false;
    }

private:
    QWidget* m_window;
    bool m_painted = false;
};

struct NoOpener : tess::PageOpener {
    void open(const QString&) override {}
};

inline void settle() {
    QCoreApplication::processEvents();
}

inline void result(const char* key, double value) {
    std::printf("T %s %.4f\n", key, value);
    std::fflush(stdout);
}

inline void warn(const QString& text) {
    std::printf("W %s\n", text.simplified().toUtf8().constData());
    std::fflush(stdout);
}

template <typename F> inline double timed(F&& work) {
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

// A step of the window lasts until the window has caught up with it.
template <typename F> inline double timedStep(F&& step) {
    return timed([&] {
        step();
        settle();
    });
}

// A finding of the check or an error report means the step did not do the
// work it is timed for. Clears the area for the next step.
inline void checkMessages(TMainForm& form, const char* step) {
    const QStringList lines = form.findChild<QPlainTextEdit*>(QStringLiteral("MessageArea"))
                                  ->toPlainText()
                                  .split(QLatin1Char('\n'));
    for (const QString& line : lines)
        if (line.startsWith(QStringLiteral("错误")) || line.startsWith(QStringLiteral("警告")) ||
            line.contains(QStringLiteral("程序运行错误")))
            warn(QStringLiteral("%1: %2").arg(QLatin1String(step), line));
    form.findChild<QPlainTextEdit*>(QStringLiteral("MessageArea"))->clear();
}

inline void selectRow(TMainForm& form, int papId) {
    const int row = form.navigator().PaperListModel->rowOf(papId);
    const QModelIndex index = form.navigator().PaperListModel->index(row);
    form.navigator().ListView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect);
    form.navigator().ListView->scrollTo(index);
}

inline void expect(bool ok, const char* what) {
    if (!ok)
        warn(QStringLiteral("unexpected: ") + QLatin1String(what));
}

struct ChildOutput {
    std::map<QString, std::vector<double>> samples;
    QStringList warnings;
    QList<QByteArray> facts; // "F ..." lines, without the F
};

// What a child reported on its standard output: "T key value" and "M key
// value" samples, "S value" start-up marks, "W text" warnings, "F ..." facts.
inline void readChildOutput(const QByteArray& output, ChildOutput& out) {
    for (const QByteArray& line : output.split('\n')) {
        const QString text = QString::fromUtf8(line);
        const QStringList parts = text.split(QLatin1Char(' '));
        if (parts.size() >= 3 &&
            (parts[0] == QStringLiteral("T") || parts[0] == QStringLiteral("M")))
            out.samples[parts[1]].push_back(parts[2].toDouble());
        else if (parts.size() >= 2 && parts[0] == QStringLiteral("S"))
            out.samples[QStringLiteral("S")].push_back(parts[1].toDouble());
        else if (parts.size() >= 2 && parts[0] == QStringLiteral("W"))
            out.warnings << text.mid(2);
        else if (line.startsWith("F "))
            out.facts << line.mid(2);
    }
}

// A child on the offscreen platform: this program with args.
inline void startChild(QProcess& child, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
}

inline ChildOutput runChild(const QStringList& args) {
    QProcess child;
    startChild(child, args);
    ChildOutput out;
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        out.warnings << QStringLiteral("child %1 failed").arg(args.join(QLatin1Char(' ')));
    readChildOutput(child.readAllStandardOutput(), out);
    return out;
}

// The first paint of a start-up window, done and flushed: a call posted when
// the paint begins runs once it is over. Watched on the whole application, so
// that it sees the paint before anything the program itself waits for.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~FirstPaint() override { qApp->removeEventFilter(this); }
    qint64 wait() {
        QElapsedTimer t;
        t.start();
        while (m_doneNs == 0 && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return m_doneNs;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_posted)
            if (auto* w = qobject_cast<QWidget*>(watched); w && w->window() == m_window) {
                m_posted = true;
                QMetaObject::invokeMethod(
                    this, [this] { m_doneNs = monotonicNs(); }, Qt::QueuedConnection);
            }
        return false;
    }

private:
    QWidget* m_window;
    bool m_posted = false;
    qint64 m_doneNs = 0;
};

// The papers the teacher's steps work on: an ordinary one, the one with
// 1,000 questions, and one to delete.
struct StepPapers {
    int worked;
    int big;
    int deleted;
};

// Runs one step and reports it under key (timed, and whatever else is counted).
using Measure = std::function<void(const char* key, const std::function<void()>& step)>;

// The steps a teacher takes in the signed-in window, each through measure and
// checked afterwards: select a paper, move to the next question, edit its
// text and post it, new question, new choice, delete a question, new paper,
// select the big paper and publish it, delete a paper (Yes answered). The
// page is written into work's pages folder.
inline void teacherSteps(TMainForm& form, const StepPapers& papers, const QString& work,
                         const Measure& measure) {
    measure("select", [&] { selectRow(form, papers.worked); });
    expect(form.bank().CurPapID == papers.worked, "the paper is selected");

    // The record navigator's next question; then a text typed into the
    // question grid and posted, as the grid posts it through the cursor.
    tess::TableCursor& questions = form.bank().TQuestion;
    questions.first();
    settle();
    measure("next_question", [&] { questions.next(); });
    expect(questions.recNo() == 1, "moved to the next question");
    const QString edited = QStringLiteral("改过的题目 %1").arg(monotonicNs());
    measure("edit", [&] {
        questions.edit();
        questions.setString(QStringLiteral("QstCon"), edited);
        questions.post();
    });
    expect(questions.asString(QStringLiteral("QstCon")) == edited &&
               questions.state() == tess::CursorState::Browse,
           "the edit was posted");
    checkMessages(form, "edit");

    int before = form.bank().TQuestion.recordCount();
    expect(form.OnAddQustion->isEnabled(), "new question enabled");
    measure("new_question", [&] { form.OnAddQustion->trigger(); });
    expect(form.bank().TQuestion.recordCount() == before + 1, "a question was added");
    checkMessages(form, "new question");

    for (int row = 0; row < form.bank().TQuestion.recordCount(); ++row)
        if (form.bank().TQuestion.textAt(row, QStringLiteral("QstTyp")) !=
            QStringLiteral("判断题")) {
            form.bank().TQuestion.moveTo(row);
            break;
        }
    settle();
    before = form.bank().TChoice.recordCount();
    expect(form.OnAddChoice->isEnabled(), "new choice enabled");
    measure("new_choice", [&] { form.OnAddChoice->trigger(); });
    expect(form.bank().TChoice.recordCount() == before + 1, "a choice was added");
    checkMessages(form, "new choice");

    form.bank().TQuestion.first();
    settle();
    before = form.bank().TQuestion.recordCount();
    measure("del_question", [&] { form.OnDelQuestion->trigger(); });
    expect(form.bank().TQuestion.recordCount() == before - 1, "a question was deleted");
    checkMessages(form, "delete question");

    before = form.navigator().PaperListModel->rowCount();
    measure("new_paper", [&] { form.OnNewPaper->trigger(); });
    expect(form.navigator().PaperListModel->rowCount() == before + 1, "a paper was added");
    checkMessages(form, "new paper");

    measure("select_big", [&] { selectRow(form, papers.big); });
    expect(form.bank().CurPapID == papers.big, "the big paper is selected");
    form.findChild<QPlainTextEdit*>(QStringLiteral("MessageArea"))->clear();
    const QString page = work + QStringLiteral("/pages/paper%1.html").arg(papers.big);
    QFile::remove(page);
    measure("publish", [&] { form.OnGenPaper->trigger(); });
    expect(form.findChild<QPlainTextEdit*>(QStringLiteral("MessageArea"))
                   ->toPlainText()
                   .contains(QStringLiteral("试卷成功生成到")) &&
               QFileInfo(page).size() > 0,
           "the page was written");
    checkMessages(form, "publish");

    selectRow(form, papers.deleted);
    settle();
    before = form.navigator().PaperListModel->rowCount();
    tess::Prompts::instance().queueYesNo(true);
    measure("del_paper", [&] { form.OnDelPaper->trigger(); });
    expect(form.navigator().PaperListModel->rowCount() == before - 1, "a paper was deleted");
    checkMessages(form, "delete paper");
    expect(tess::Prompts::instance().shownTexts().size() == 1, "only the delete question shown");
}

} // namespace bench
