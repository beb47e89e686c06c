#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <unistd.h>

// A tiny tmpfs mounted over a folder, so that a test can fill a disk without
// touching the real one. Only root may mount; mounted() says whether it worked.
class SmallDisk {
public:
    explicit SmallDisk(const QString& folder, int kilobytes = 64) : m_folder(folder) {
        if (geteuid() != 0 || !QDir().mkpath(folder))
            return;
        m_mounted =
            run(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                 QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), folder});
    }
    ~SmallDisk() {
        if (m_mounted)
            run(QStringLiteral("umount"), {m_folder});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }

    // Takes every free block with one file; returns its path.
    QString fill() const {
        const QString path = m_folder + QStringLiteral("/filler");
        QFile filler(path);
        if (!filler.open(QIODevice::WriteOnly))
            return path;
        const QByteArray block(1024, 'f');
        // Unbuffered so that the first refused block ends the loop.
        filler.close();
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        while (filler.write(block) == block.size()) {
        }
        // The last partial block may still fit byte by byte.
        while (filler.write("f", 1) == 1) {
        }
        return path;
    }

private:
    static bool run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QString m_folder;
    bool m_mounted = false;
};
