#pragma once

// What the command-line tools share: how they speak, where the pictures of a
// bank are, and how a refused piece of work ends them.
#include "store/connection.h"
#include "store/engineerror.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <exception>

namespace tools {

// One line on standard output, at once, so that a script reading it sees
// each step as it happens.
inline void say(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// The BANK argument as the engine takes it: a server bank's URI as it is, a
// file path made absolute.
inline QString bankName(const QString& bank) {
    return tess::Connection::isServerName(bank) ? bank : QFileInfo(bank).absoluteFilePath();
}

// The pictures folder of a bank: "images" beside it, as beside the program's
// own. A server bank lies beside nothing: its pictures are in "images" in the
// current folder.
inline QString picturesBeside(const QString& bank) {
    if (tess::Connection::isServerName(bank))
        return QDir::current().filePath(QStringLiteral("images"));
    return QFileInfo(bank).absoluteDir().filePath(QStringLiteral("images"));
}

// Whether the output path a is the bank b itself: a typing slip must never
// put a tool's output in place of the bank (a server bank is no file).
inline bool sameFile(const QString& a, const QString& b) {
    if (tess::Connection::isServerName(b))
        return false;
    const QFileInfo x(a), y(b);
    return x.absoluteFilePath() == y.absoluteFilePath() ||
           (x.exists() && y.exists() && x.canonicalFilePath() == y.canonicalFilePath());
}

// Runs work; a refusal (the tool's own error, the engine's, any other) is
// said with "拒绝: " and ends the tool with 1.
template <class Refusal, class Work> int refusing(Work work) {
    try {
        return work();
    } catch (const Refusal& e) {
        say(QStringLiteral("拒绝: ") + e.message());
    } catch (const tess::EngineError& e) {
        say(QStringLiteral("拒绝: ") + e.message());
    } catch (const std::exception& e) {
        say(QStringLiteral("拒绝: ") + QString::fromLocal8Bit(e.what()));
    }
    return 1;
}

} // namespace tools
