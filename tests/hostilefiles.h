#pragma once

// Files a reader must never open: watched for any open, and FIFOs that a
// blocked reader is let out of, so that a test fails instead of hanging.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace hostile {

// Tells whether anything opened the file (or FIFO) at path since it was made.
class OpenWatch {
public:
    explicit OpenWatch(const QString& path) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd >= 0)
            ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(),
                                IN_OPEN | IN_ACCESS | IN_DONT_FOLLOW);
    }
    ~OpenWatch() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool valid() const { return m_fd >= 0; }
    bool opened() const {
        char events[4096];
        return ::read(m_fd, events, sizeof events) > 0;
    }

private:
    int m_fd;
};

// A FIFO at path; while it lives, a reader blocked on it is let go (given an
// empty stream) within a tenth of a second, and that it was opened is kept.
class Fifo {
public:
    explicit Fifo(const QString& path)
        : m_path(QFile::encodeName(path)), m_made(::mkfifo(m_path.constData(), 0644) == 0),
          m_thread([this] {
              while (!m_stop) {
                  const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                  if (fd >= 0) {
                      m_opened = true;
                      ::close(fd);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              }
          }) {}
    ~Fifo() {
        m_stop = true;
        m_thread.join();
    }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;
    bool made() const { return m_made; }
    // Whether a reader had it open at some moment.
    bool opened() const { return m_opened; }

private:
    QByteArray m_path;
    bool m_made;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_opened{false};
    std::thread m_thread;
};

// A file of size bytes that takes no room on the disk.
inline bool sparseFile(const QString& path, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

} // namespace hostile
