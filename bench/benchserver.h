// The server the benchmarks work on: a throwaway one started with the test
// script (or the one TESS_PG_URI names), psql, and programs run to their end.
#pragma once

#include "benchbank.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

namespace bench {

// The URI of another database on the server that uri names.
inline QString databaseUri(const QString& uri, const QString& database) {
    QString out = uri;
    const qsizetype slash = out.indexOf(QLatin1Char('/'), out.indexOf(QStringLiteral("://")) + 3);
    const qsizetype end = out.indexOf(QLatin1Char('?'), slash);
    out.replace(slash + 1, (end < 0 ? out.size() : end) - slash - 1, database);
    return out;
}

struct Finished {
    QByteArray out;
    double ms = 0;
};

// A program run to its end, its standard output kept; a failure throws.
inline Finished runProgram(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const qint64 start = monotonicNs();
    process.start(program, args);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error(
            QStringLiteral("%1 %2 failed: %3")
                .arg(program, args.join(QLatin1Char(' ')),
                     QString::fromLocal8Bit(process.readAllStandardError()).trimmed())
                .toStdString());
    Finished done;
    done.ms = double(monotonicNs() - start) / 1e6;
    done.out = process.readAllStandardOutput();
    return done;
}

inline QByteArray psql(const QString& uri, const QString& sql) {
    return runProgram(QStringLiteral("psql"),
                      {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-At"),
                       QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), uri,
                       QStringLiteral("-c"), sql})
        .out.trimmed();
}

// A throwaway server in folder, started here and stopped when this goes.
class ThrowawayServer {
public:
    explicit ThrowawayServer(const QString& folder) : m_folder(folder) {
        m_uri = QString::fromUtf8(run(QStringLiteral("start")).trimmed());
    }
    ~ThrowawayServer() {
        try {
            run(QStringLiteral("stop"));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "bench_server: %s\n", e.what());
        }
    }
    ThrowawayServer(const ThrowawayServer&) = delete;
    ThrowawayServer& operator=(const ThrowawayServer&) = delete;
    QString uri() const { return m_uri; }

private:
    QByteArray run(const QString& command) {
        return runProgram(QStringLiteral("bash"),
                          {QStringLiteral(TESS_SOURCE_DIR "/scripts/pg-test-server.sh"), command,
                           m_folder})
            .out;
    }
    QString m_folder;
    QString m_uri;
};

// The server TESS_PG_URI names, or else a throwaway one in folder for as
// long as the returned object lives.
inline QString serverFor(const QString& folder, std::unique_ptr<ThrowawayServer>& throwaway) {
    const QString given = qEnvironmentVariable("TESS_PG_URI");
    if (!given.isEmpty())
        return given;
    throwaway = std::make_unique<ThrowawayServer>(folder);
    std::printf("throwaway server (fsync off, Unix socket): %s\n", qPrintable(throwaway->uri()));
    return throwaway->uri();
}

} // namespace bench
