#pragma once

// A writer killed at a chosen point of replacing a file. The test program runs
// itself as the child with "--write-and-stop <stage> ..."; the child stops at
// that stage of tess::replaceFileContents(), says so on its output, and the
// parent kills it there with SIGKILL.

#include "files/safefile.h"

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <csignal>
#include <cstring>
#include <functional>
#include <unistd.h>

namespace killdrill {

inline const char* const ChildFlag = "--write-and-stop";

inline QString stageName(tess::WriteStage stage) {
    switch (stage) {
    case tess::WriteStage::TemporaryCreated:
        return QStringLiteral("created");
    case tess::WriteStage::PartWritten:
        return QStringLiteral("part");
    case tess::WriteStage::Written:
        return QStringLiteral("written");
    case tess::WriteStage::Synced:
        return QStringLiteral("synced");
    case tess::WriteStage::Renamed:
        return QStringLiteral("renamed");
    case tess::WriteStage::Recorded:
        return QStringLiteral("recorded");
    case tess::WriteStage::Cleared:
        return QStringLiteral("cleared");
    case tess::WriteStage::Settled:
        return QStringLiteral("settled");
    }
    return QString();
}

// The rows of a kill test: each stage, and whether the new content is in
// place once the writer is killed there.
inline void addStageRows() {
    QTest::addColumn<QString>("stage");
    QTest::addColumn<bool>("newContent");
    QTest::newRow("temporary file made") << QStringLiteral("created") << false;
    QTest::newRow("partly written") << QStringLiteral("part") << false;
    QTest::newRow("written, not synced") << QStringLiteral("written") << false;
    QTest::newRow("synced, not renamed") << QStringLiteral("synced") << false;
    QTest::newRow("renamed") << QStringLiteral("renamed") << true;
}

inline QByteArray& chosenStage() {
    static QByteArray stage;
    return stage;
}

// In the child: at the stage named `name`, if it is the chosen one, reports
// it and waits there to be killed. Other probes than the writer's name their
// stages through it too.
inline void stopIfChosen(const QByteArray& name) {
    if (name != chosenStage())
        return;
    const QByteArray line = name + '\n';
    if (::write(STDOUT_FILENO, line.constData(), size_t(line.size())) < 0)
        return;
    for (;;)
        ::pause();
}

inline void stopAtChosenStage(tess::WriteStage stage) {
    stopIfChosen(stageName(stage).toLatin1());
}

// Call first thing in main(): in the child, runs write with the probe set and
// gives its exit code (it only returns when the stage was never reached).
inline bool runChildIfAsked(int argc, char** argv, const std::function<int(QStringList)>& write,
                            int& exitCode) {
    if (argc < 3 || std::strcmp(argv[1], ChildFlag) != 0)
        return false;
    QCoreApplication app(argc, argv);
    chosenStage() = argv[2];
    QStringList args;
    for (int i = 3; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    tess::setWriteProbe(&stopAtChosenStage);
    exitCode = write(args);
    return true;
}

// In the parent: runs the child to the stage and kills it there. Returns what
// the child said: the stage's name, or empty when it ended on its own.
inline QString killAt(const QString& stage, const QStringList& args) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QString::fromLatin1(ChildFlag), stage} + args);
    if (!child.waitForStarted())
        return QString();
    QByteArray said;
    while (!said.endsWith('\n') && child.state() == QProcess::Running) {
        child.waitForReadyRead(-1);
        said += child.readAllStandardOutput();
    }
    child.kill(); // SIGKILL: no handler, no flush, nothing tidied up
    child.waitForFinished(-1);
    return QString::fromLatin1(said).trimmed();
}

} // namespace killdrill
