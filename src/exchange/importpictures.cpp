#include "exchange/importpictures.h"

#include "bank/bankpictures.h"
#include "bank/pictures.h"
#include "exchange/exchangemodel.h"
#include "store/statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::exchange {

namespace {

ImportProbe g_probe = nullptr;

const QString kAside = QStringLiteral("/.import");
const QString kPictures = QStringLiteral("/pictures");
const QString kLock = QStringLiteral("lock");

constexpr QFile::Permissions kPicturePermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

[[noreturn]] void fail(int line, const QString& what) {
    throw ExchangeError(QStringLiteral("第 %1 行: %2").arg(line).arg(what));
}

bool fileHolds(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() != bytes.size() || !file.open(QIODevice::ReadOnly))
        return false;
    return file.readAll() == bytes;
}

// A name is taken by a file, or by a link that points nowhere.
bool taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A folder's new and renamed entries on the disk, so that a picture that the
// bank's commit relies on cannot be lost with the power.
void syncFolder(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

// An import's hold on its aside folder, for as long as the import lives. The
// system lets go of it when the holder ends, however it ends: a lock file
// whose holder was killed while writing it can never pass for a live import.
class ImportLock {
public:
    explicit ImportLock(QString path) : m_path(std::move(path)) {}
    ~ImportLock() { unlock(); }
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;

    bool tryLock() {
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        // The file may have been removed by its last holder while this one
        // waited: a hold on a removed file holds nothing.
        struct stat held {
        }, named{};
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(m_fd, &held) == 0 &&
            ::stat(QFile::encodeName(m_path).constData(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            return true;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    }
    // The lock file goes while it is still held, then the hold.
    void unlock() {
        if (m_fd < 0)
            return;
        QFile::remove(m_path);
        ::close(m_fd);
        m_fd = -1;
    }

private:
    QString m_path;
    int m_fd = -1;
};

namespace {

std::unique_ptr<ImportLock> lockOf(const QString& token) {
    return std::make_unique<ImportLock>(token + QLatin1Char('/') + kLock);
}

// Everything of an import's aside folder but its lock file.
void removeAside(const QString& token) {
    const QDir pictures(token + kPictures);
    for (const QString& name : pictures.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(pictures.filePath(name));
    QDir().rmdir(token + kPictures);
    const QDir dir(token);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name != kLock)
            QFile::remove(dir.filePath(name));
    }
}

// The aside folder is done with: its lock goes, then the folder, then
// .import when no other import uses it.
void removeToken(const QString& folder, const QString& token, ImportLock& lock) {
    removeAside(token);
    lock.unlock();
    QDir().rmdir(token);
    QDir().rmdir(folder + kAside);
}

} // namespace

void setImportProbe(ImportProbe probe) {
    g_probe = probe;
}

void importProbe(ImportStage stage) {
    if (g_probe)
        g_probe(stage);
}

ImportPictures::ImportPictures(QString picturesFolder, std::function<QSet<QString>()> namesInUse)
    : m_folder(std::move(picturesFolder)), m_namesInUse(std::move(namesInUse)) {}

ImportPictures::~ImportPictures() {
    if (!m_finished)
        discard();
}

void ImportPictures::stageFolder(int line) {
    const QString shown = QDir::toNativeSeparators(m_folder);
    const QFileInfo folder(m_folder);
    if (folder.exists() && !folder.isDir())
        fail(line, QStringLiteral("图片文件夹 %1 的名字被一个文件占用, 图片无法保存.").arg(shown));
    if (!folder.exists()) {
        if (!QDir().mkpath(m_folder))
            fail(line, QStringLiteral("无法建立图片文件夹 %1.").arg(shown));
        m_madeFolder = true;
    }
    // Another import that ends removes .import once it is empty, and one that
    // starts settles every aside folder it can lock: either may come between
    // the steps here, which are then taken again.
    for (int attempt = 1;; ++attempt) {
        const bool aside = QDir().mkpath(m_folder + kAside);
        QTemporaryDir token(m_folder + kAside + QStringLiteral("/XXXXXX"));
        if (aside && token.isValid()) {
            token.setAutoRemove(false);
            m_token = token.path();
            m_lock = lockOf(m_token);
            if (m_lock->tryLock() && QDir().mkdir(m_token + kPictures))
                return;
            m_lock->unlock();
            QDir().rmdir(m_token);
            m_token.clear();
        }
        if (attempt == 3)
            fail(line, QStringLiteral("无法在图片文件夹 %1 中建立临时文件夹.").arg(shown));
    }
}

QString ImportPictures::place(const QString& wanted, const QByteArray& bytes, int line) {
    if (!m_inUseRead) {
        if (m_namesInUse)
            m_inUse = m_namesInUse();
        m_inUseRead = true;
    }
    const QDir dir(m_folder);
    const QString usable = usablePictureName(wanted);
    for (int n = 1; n <= 10000; ++n) {
        const QString name = n == 1 ? usable : numberedPictureName(usable, n);
        if (const auto it = m_staged.constFind(name); it != m_staged.constEnd()) {
            if (*it == bytes)
                return name;
            continue;
        }
        const QString target = dir.filePath(name);
        if (taken(target)) {
            if (fileHolds(target, bytes))
                return name;
            continue;
        }
        // A text of the bank that names a picture the folder lacks would show this one.
        if (m_inUse.contains(name))
            continue;
        if (m_token.isEmpty())
            stageFolder(line);
        QTemporaryFile aside(m_token + QStringLiteral("/XXXXXX.part"));
        if (!aside.open() || aside.write(bytes) != bytes.size() || !aside.flush() ||
            ::fsync(aside.handle()) != 0)
            fail(line, QStringLiteral("图片 \"%1\" 无法写入图片文件夹: %2")
                           .arg(wanted, aside.errorString()));
        aside.close();
        const QString staged = m_token + kPictures + QLatin1Char('/') + name;
        QFile::setPermissions(aside.fileName(), kPicturePermissions);
        if (!QFile::rename(aside.fileName(), staged))
            fail(line, QStringLiteral("图片 \"%1\" 无法写入图片文件夹.").arg(wanted));
        aside.setAutoRemove(false);
        syncFolder(m_token + kPictures);
        m_order << name;
        m_staged.insert(name, bytes);
        importProbe(ImportStage::PictureWritten);
        return name;
    }
    fail(line, QStringLiteral("图片 \"%1\" 找不到空闲的文件名.").arg(wanted));
}

bool ImportPictures::holds(const QString& name) const {
    return m_staged.contains(name) || QFileInfo(QDir(m_folder).filePath(name)).isFile();
}

QStringList ImportPictures::moveIn() {
    QStringList notes;
    bool left = false;
    const QDir dir(m_folder);
    for (const QString& name : std::as_const(m_order)) {
        const QString staged = m_token + kPictures + QLatin1Char('/') + name;
        const QString target = dir.filePath(name);
        // rename never replaces a file: nothing in the folder is overwritten.
        if (QFile::rename(staged, target)) {
            importProbe(ImportStage::PictureMoved);
            continue;
        }
        if (taken(target)) {
            if (!fileHolds(target, m_staged.value(name)))
                notes << QStringLiteral("导入时图片文件夹里出现了另一幅名为 \"%1\" 的图片, "
                                        "新导入的题目显示的是那一幅; 请检查这些题目, "
                                        "必要时用 \"插入图片文件\" 重新插入图片.")
                             .arg(name);
            QFile::remove(staged);
            continue;
        }
        notes << QStringLiteral("图片 \"%1\" 暂时无法放进图片文件夹 %2; 下次启动本程序时会再放.")
                     .arg(name, QDir::toNativeSeparators(m_folder));
        left = true;
    }
    syncFolder(m_folder);
    importProbe(ImportStage::Finished);
    m_finished = true;
    if (m_token.isEmpty())
        return notes;
    if (left)
        m_lock->unlock(); // the next start moves in what is left
    else
        removeToken(m_folder, m_token, *m_lock);
    return notes;
}

void ImportPictures::discard() {
    m_finished = true;
    if (!m_token.isEmpty())
        removeToken(m_folder, m_token, *m_lock);
    m_order.clear();
    m_staged.clear();
    if (m_madeFolder)
        QDir().rmdir(m_folder);
}

int finishInterruptedImports(const Connection& connection, const QString& picturesFolder) {
    const QString root = picturesFolder + kAside;
    if (!QFileInfo(root).isDir())
        return 0;
    int moved = 0;
    std::optional<QSet<QString>> named;
    const QDir folder(picturesFolder);
    try {
        for (const QString& entry :
             QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
            const QString token = root + QLatin1Char('/') + entry;
            const auto lock = lockOf(token);
            if (!lock->tryLock())
                continue; // an import still at work
            const QDir pictures(token + kPictures);
            for (const QString& name :
                 pictures.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
                if (!named)
                    named = picturesNamedInBank(connection);
                // The bank names it: its import committed before it was killed.
                const QString target = folder.filePath(name);
                if (named->contains(name) && !taken(target) &&
                    QFile::rename(pictures.filePath(name), target))
                    ++moved;
            }
            syncFolder(picturesFolder);
            removeToken(picturesFolder, token, *lock);
        }
        // An import killed before its aside folder was made, or after it was
        // removed, leaves .import empty.
        QDir().rmdir(root);
    } catch (const std::exception&) {
        // The bank could not be read: everything stays for the next start.
    }
    return moved;
}

} // namespace tess::exchange
