#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The immutable attribute stops writes even for root, who ignores file modes.
inline bool setImmutable(const QString& path, bool on) {
    QProcess chattr;
    chattr.start(QStringLiteral("chattr"),
                 {on ? QStringLiteral("+i") : QStringLiteral("-i"), path});
    return chattr.waitForFinished() && chattr.exitStatus() == QProcess::NormalExit &&
           chattr.exitCode() == 0;
}

// Keeps a file or folder immutable while it lives, so that a failing test
// still leaves a temporary folder that can be removed.
class Immutable {
public:
    explicit Immutable(const QString& path) : m_path(path), m_set(setImmutable(path, true)) {}
    ~Immutable() {
        if (m_set)
            setImmutable(m_path, false);
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool isSet() const { return m_set; }

private:
    QString m_path;
    bool m_set;
};
