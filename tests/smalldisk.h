#pragma once

#include "immutable.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>
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

// A folder that refuses the next write into it: a full small disk, or a
// folder that takes no new files. Made in two steps so that the old file can
// be written in between. Each step says whether this machine allows it.
class RefusingFolder {
public:
    RefusingFolder(const QString& folder, bool fullDisk) : m_folder(folder) {
        if (fullDisk)
            m_disk.emplace(folder);
    }
    // Whether the folder is ready for the old file (a full disk needs its mount).
    bool ready() const { return !m_disk || m_disk->mounted(); }
    // Fills the disk or freezes the folder; false where the machine does not allow it.
    bool refuse() {
        if (m_disk) {
            m_disk->fill();
            return true;
        }
        m_frozen.emplace(m_folder);
        return m_frozen->isSet();
    }
    QString why() const {
        return m_disk ? QStringLiteral("Needs root and mount to put a small tmpfs under the file.")
                      : QStringLiteral("Needs root and chattr to make a folder take no new files.");
    }

private:
    QString m_folder;
    std::optional<SmallDisk> m_disk;
    std::optional<Immutable> m_frozen; // thawed before the disk is unmounted
};
