#include "files/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tess {

namespace {

WriteProbe g_probe = nullptr;

void probe(WriteStage stage) {
    if (g_probe)
        g_probe(stage);
}

// Small enough that a large file is written in several steps, so that a test
// can stop the writer between them.
constexpr qsizetype ChunkSize = 64 * 1024;

const char Alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr char kTemporaryMark[] = ".tess-";

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString nativeFolder(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

// The clause every failure ends with: whether an old file exists, and that it
// was not touched, is what the teacher needs to know first.
QString outcome(bool oldExists) {
    return oldExists ? QStringLiteral("原文件没有改动") : QStringLiteral("没有留下不完整的文件");
}

// What went wrong while writing or syncing the temporary file.
QString writeFailure(int error, bool oldExists) {
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("磁盘已满, 新内容没能完整写入(%1); %2。请腾出磁盘空间后再试。")
            .arg(systemText(error), outcome(oldExists));
    return QStringLiteral("写入磁盘时出错(%1); %2。请检查磁盘后再试。")
        .arg(systemText(error), outcome(oldExists));
}

// Why no temporary file could be made beside the target.
QString createFailure(int error, const QString& path, bool oldExists) {
    const QString folder = nativeFolder(path);
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹“%1”不存在。请先建立该文件夹, 或换一个路径。").arg(folder);
    case EACCES:
    case EPERM:
        // Rewriting in place instead would empty the file before the new text
        // is there: a crash at that moment would lose both.
        return QStringLiteral("文件夹“%1”不允许新建文件, 而新内容要先完整写入其中的一个临时文件"
                              "(%2); %3。请让该文件夹允许写入, 或换一个文件夹。")
            .arg(folder, systemText(error), outcome(oldExists));
    case EROFS:
        return QStringLiteral("文件夹“%1”在只读的磁盘上(%2); %3。请换一个文件夹。")
            .arg(folder, systemText(error), outcome(oldExists));
    default:
        return writeFailure(error, oldExists);
    }
}

bool writeAll(int fd, const QByteArray& bytes, int& error) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    bool first = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(qMin(left, ChunkSize)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        // A short write is no error yet: the next call says why it stopped.
        data += n;
        left -= n;
        if (first && left > 0) {
            first = false;
            probe(WriteStage::PartWritten);
        }
    }
    return true;
}

// Makes "<path>.tess-XXXXXX" that did not exist before; its mode follows the
// umask as any new file's would. The marker keeps it apart from the teacher's
// own files, such as "quiz.htm.backup", which removeLeftovers must not touch.
int createTemporary(const QString& path, QString& tempPath, int& error) {
    auto* random = QRandomGenerator::global();
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = path + QLatin1String(kTemporaryMark);
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(Alphabet[random->bounded(int(sizeof(Alphabet) - 1))]);
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            tempPath = name;
            return fd;
        }
        if (errno != EEXIST && errno != EINTR) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

// Makes the rename itself last: without this a power cut could still bring
// back the old name pointing at nothing. Best effort: the new file is already
// in place when this runs.
void syncFolder(const QString& path) {
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

void setWriteProbe(WriteProbe p) {
    g_probe = p;
}

namespace {

// A new content written in full beside the file it is to replace.
struct Prepared {
    QString path; // the file replaced (a link's target)
    QByteArray target, temp;
    bool oldExists = false;
};

// Everything but the rename: on failure no temporary file is left.
QString prepare(const QString& givenPath, const QByteArray& bytes, Prepared& out) {
    // A link is followed, so that the file it names gets the new content and
    // the link stays a link.
    QString path = givenPath;
    const QFileInfo given(givenPath);
    if (given.isSymLink())
        path = given.exists() ? given.canonicalFilePath() : given.symLinkTarget();

    const QByteArray target = QFile::encodeName(path);
    struct stat old {};
    const bool oldExists = ::stat(target.constData(), &old) == 0;
    if (oldExists && S_ISDIR(old.st_mode))
        return QStringLiteral("这个路径是一个文件夹, 不是文件; 什么也没有写入。请换一个文件名。");
    if (oldExists && ::access(target.constData(), W_OK) != 0)
        return QStringLiteral("文件不允许写入(%1); 原文件没有改动。请去掉它的只读属性后再试。")
            .arg(systemText(errno));

    QString tempPath;
    int error = 0;
    const int fd = createTemporary(path, tempPath, error);
    if (fd < 0)
        return createFailure(error, path, oldExists);
    const QByteArray temp = QFile::encodeName(tempPath);
    auto fail = [&](const QString& message) {
        ::unlink(temp.constData());
        return message;
    };
    probe(WriteStage::TemporaryCreated);

    // The new file keeps the old one's permissions, as an edit in place would.
    if (oldExists)
        ::fchmod(fd, old.st_mode & 07777);
    if (!writeAll(fd, bytes, error)) {
        ::close(fd);
        return fail(writeFailure(error, oldExists));
    }
    probe(WriteStage::Written);
    // Some file systems report a full disk only when the data reach it: at the
    // sync or even at the close.
    if (::fsync(fd) != 0) {
        error = errno;
        ::close(fd);
        return fail(writeFailure(error, oldExists));
    }
    if (::close(fd) != 0)
        return fail(writeFailure(errno, oldExists));
    probe(WriteStage::Synced);
    out = {path, target, temp, oldExists};
    return QString();
}

// outcomeText, when given, says what became of the files instead of the
// usual clause: files written together have other old files to speak of.
QString commit(const Prepared& file, const QString& outcomeText = QString()) {
    if (::rename(file.temp.constData(), file.target.constData()) != 0) {
        const int error = errno;
        ::unlink(file.temp.constData());
        return QStringLiteral("无法用新内容替换原文件(%1); %2。请检查该文件是否被锁定或"
                              "不允许改动后再试。")
            .arg(systemText(error), outcomeText.isEmpty() ? outcome(file.oldExists) : outcomeText);
    }
    probe(WriteStage::Renamed);
    syncFolder(file.path);
    return QString();
}

// The record of a group is no file of the teacher's, and removeLeftovers()
// takes it for none of its temporaries ("pair" is not six characters).
constexpr char kRecordMark[] = ".tess-pair";
// A record names a few files; anything longer is not one of ours.
constexpr qint64 kLargestRecord = 64 * 1024;

QString recordPathOf(const QString& path) {
    return QFileInfo(path).absoluteFilePath() + QLatin1String(kRecordMark);
}

// The record itself is written as any single file is, without telling the
// probe: a test stopping the writer means the group's files.
QString writeRecord(const QString& path, const std::vector<Prepared>& files) {
    QByteArray text("tess-pair 1\n");
    for (const Prepared& file : files)
        text += file.temp.toPercentEncoding() + ' ' + file.target.toPercentEncoding() + '\n';
    const WriteProbe saved = g_probe;
    g_probe = nullptr;
    const QString failure = replaceFileContents(path, text);
    g_probe = saved;
    return failure;
}

struct RecordedFile {
    QByteArray temp, target;
};

// The files of a record, or none when it is not one this program wrote: each
// temporary must be "<target>.tess-XXXXXX" beside its target, so that a record
// can never move any other file.
std::vector<RecordedFile> readRecord(const QString& path) {
    QByteArray text;
    if (readRegularFile(path, kLargestRecord, text) != FileRead::Read)
        return {};
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.first() != "tess-pair 1")
        return {};
    static const QRegularExpression suffix(QStringLiteral("^\\.tess-[A-Za-z0-9]{6}$"));
    std::vector<RecordedFile> files;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> parts = lines[i].split(' ');
        if (parts.size() != 2)
            return {};
        RecordedFile file{QByteArray::fromPercentEncoding(parts[0]),
                          QByteArray::fromPercentEncoding(parts[1])};
        if (!file.target.startsWith('/') || !file.temp.startsWith(file.target) ||
            !suffix.match(QString::fromLatin1(file.temp.mid(file.target.size()))).hasMatch())
            return {};
        files.push_back(file);
    }
    return files;
}

bool isRegularFile(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

QString replaceFileContents(const QString& path, const QByteArray& bytes) {
    Prepared file;
    QString failure = prepare(path, bytes, file);
    return failure.isEmpty() ? commit(file) : failure;
}

QString replaceFilesContents(const QVector<FileContents>& files, QString* failedPath) {
    for (const FileContents& file : files)
        finishInterruptedWrites(file.path);
    std::vector<Prepared> prepared;
    const auto dropFrom = [&prepared](std::size_t first) {
        for (std::size_t i = first; i < prepared.size(); ++i)
            ::unlink(prepared[i].temp.constData());
    };
    const auto failAt = [&](qsizetype i, const QString& failure) {
        if (failedPath)
            *failedPath = files[i].path;
        return failure;
    };
    for (const FileContents& file : files) {
        Prepared one;
        const QString failure = prepare(file.path, file.bytes, one);
        if (!failure.isEmpty()) {
            dropFrom(0);
            return failAt(&file - files.constData(), failure);
        }
        prepared.push_back(one);
    }
    if (prepared.size() == 1) {
        const QString failure = commit(prepared[0]);
        return failure.isEmpty() ? failure : failAt(0, failure);
    }
    if (prepared.empty())
        return QString();

    // From here on the new files are what the folder is to hold: a writer
    // killed at any point below is finished by the next one.
    const QString record = recordPathOf(files[0].path);
    if (const QString failure = writeRecord(record, prepared); !failure.isEmpty()) {
        dropFrom(0);
        return failAt(0, failure);
    }
    probe(WriteStage::Recorded);
    // The old files after the first go first, so that the first file, old or
    // new, is never beside files of another write.
    for (std::size_t i = 1; i < prepared.size(); ++i)
        ::unlink(prepared[i].target.constData());
    probe(WriteStage::Cleared);
    const QString mixed = QStringLiteral("为免新旧文件放在一起, 同组其余文件的旧内容已删除");
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        const QString failure = commit(prepared[i], mixed);
        if (!failure.isEmpty()) {
            dropFrom(i + 1);
            ::unlink(QFile::encodeName(record).constData());
            return failAt(qsizetype(i), failure);
        }
    }
    probe(WriteStage::Settled);
    ::unlink(QFile::encodeName(record).constData());
    syncFolder(record);
    return QString();
}

void finishInterruptedWrites(const QString& path) {
    const QString record = recordPathOf(path);
    const QByteArray recordName = QFile::encodeName(record);
    if (isRegularFile(recordName)) {
        const std::vector<RecordedFile> files = readRecord(record);
        // Every temporary was complete and synced before the record was
        // written: putting them in place gives the whole group, in the order
        // the writer would have.
        for (std::size_t i = 1; i < files.size(); ++i)
            if (isRegularFile(files[i].temp))
                ::unlink(files[i].target.constData());
        for (const RecordedFile& file : files) {
            if (isRegularFile(file.temp) &&
                ::rename(file.temp.constData(), file.target.constData()) == 0)
                syncFolder(QFile::decodeName(file.target));
        }
        ::unlink(recordName.constData());
        syncFolder(record);
    } else {
        // A link in the record's place would have the next record written
        // wherever it points.
        ::unlink(recordName.constData());
    }
    removeLeftovers(record);
    removeLeftovers(path);
    const QFileInfo given(path);
    if (given.isSymLink() && given.exists())
        removeLeftovers(given.canonicalFilePath());
}

void finishInterruptedWritesIn(const QString& folder) {
    if (folder.isEmpty())
        return;
    const QLatin1String mark(kRecordMark);
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names)
        if (name.size() > mark.size() && name.endsWith(mark))
            finishInterruptedWrites(QDir(folder).filePath(name.chopped(mark.size())));
}

FileRead readRegularFile(const QString& path, qint64 maxBytes, QByteArray& bytes, qint64* size) {
    bytes.clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (name.isEmpty() || ::lstat(name.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR || name.isEmpty() ? FileRead::Missing
                                                                     : FileRead::Unreadable;
    if (!S_ISREG(st.st_mode))
        return FileRead::NotAFile;
    // Checked again on what was opened: the name may have been given to a
    // link or a FIFO since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP    ? FileRead::NotAFile
               : errno == ENOENT ? FileRead::Missing
                                 : FileRead::Unreadable;
    const auto done = [fd](FileRead result) {
        ::close(fd);
        return result;
    };
    if (::fstat(fd, &st) != 0)
        return done(FileRead::Unreadable);
    if (!S_ISREG(st.st_mode))
        return done(FileRead::NotAFile);
    if (size)
        *size = st.st_size;
    if (st.st_size > maxBytes)
        return done(FileRead::TooLarge);
    bytes.reserve(qsizetype(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            bytes.clear();
            return done(FileRead::Unreadable);
        }
        if (n == 0)
            break;
        if (bytes.size() + n > maxBytes) {
            bytes.clear();
            return done(FileRead::TooLarge);
        }
        bytes.append(buffer, n);
    }
    return done(FileRead::Read);
}

int removeLeftovers(const QString& path) {
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    static const QRegularExpression suffix(QStringLiteral("^\\.tess-[A-Za-z0-9]{6}$"));
    const QString name = info.fileName();
    int removed = 0;
    // No wildcard filter: a page name may itself hold "[" or "*".
    const QFileInfoList candidates =
        folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QFileInfo& candidate : candidates) {
        const QString candidateName = candidate.fileName();
        if (!candidateName.startsWith(name) ||
            !suffix.match(candidateName.mid(name.size())).hasMatch())
            continue;
        if (QFile::remove(candidate.filePath()))
            ++removed;
    }
    return removed;
}

} // namespace tess
