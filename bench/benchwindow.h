// What the benchmarks that drive the real windows share: waiting for a
// paint, timing a step until the window has caught up, the findings of the
// message area, and children that report figures on their standard output.
#pragma once

#include "app/tmainform.h"
#include "editor/paperlistmodel.h"
#include "editor/papernavigator.h"
#include "generate/publish.h"

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
};

inline ChildOutput runChild(const QStringList& args) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    ChildOutput out;
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        out.warnings << QStringLiteral("child %1 failed").arg(args.join(QLatin1Char(' ')));
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QString text = QString::fromUtf8(line);
        const QStringList parts = text.split(QLatin1Char(' '));
        if (parts.size() >= 3 &&
            (parts[0] == QStringLiteral("T") || parts[0] == QStringLiteral("M")))
            out.samples[parts[1]].push_back(parts[2].toDouble());
        else if (parts.size() >= 2 && parts[0] == QStringLiteral("S"))
            out.samples[QStringLiteral("S")].push_back(parts[1].toDouble());
        else if (parts.size() >= 2 && parts[0] == QStringLiteral("W"))
            out.warnings << text.mid(2);
    }
    return out;
}

} // namespace bench
