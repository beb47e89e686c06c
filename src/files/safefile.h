#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace tess {

// Replaces the whole content of the file at path by bytes, so that at every
// moment the file holds either its old content or the complete new one: the
// bytes go to "<path>.XXXXXX" in the same folder, every write, the sync and the
// close are checked, and only then is that file renamed over the old one. A
// folder that takes no new files is refused rather than rewritten in place,
// since a rewrite in place empties the file before the new text is there.
//
// Returns an empty text on success. Otherwise the temporary file is gone, the
// old file is untouched, and the text says in Chinese what failed and what to
// do (without naming the file: callers say which file it was).
[[nodiscard]] QString replaceFileContents(const QString& path, const QByteArray& bytes);

// Files that belong together (a paper and its key): each is written in full
// beside its place, and only when all of them are complete are they put in
// place. A failure before that leaves every old file as it was; failedPath
// names the file the message is about.
//
// No moment shows files of different writes side by side, even when the
// writer is killed: once all are written, the group is recorded in
// "<first path>.tess-pair", the old versions of the files after the first are
// removed, and only then are the new ones renamed into place, the first one
// first. A group left half done is finished (the new files put in place) by
// the next replaceFilesContents() of any of its first paths, which also
// removes what interrupted writes left beside the paths.
struct FileContents {
    QString path;
    QByteArray bytes;
};
[[nodiscard]] QString replaceFilesContents(const QVector<FileContents>& files,
                                           QString* failedPath = nullptr);

// Finishes a group of replaceFilesContents() recorded beside path and left
// half done (a killed writer): the files it had written take their places, and
// the record goes. Then removes the leftovers of interrupted writes beside
// path. Never throws; does nothing when nothing was left.
void finishInterruptedWrites(const QString& path);
// The same for every group recorded in folder, for a program's start: the
// folder where the teacher last wrote such files.
void finishInterruptedWritesIn(const QString& folder);

// Removes the files "<path>.tess-XXXXXX" (six letters or digits) that an interrupted
// replaceFileContents() of the same path left behind. Other files, folders and
// links are left alone. Returns how many were removed.
int removeLeftovers(const QString& path);

// Points inside replaceFileContents() where a test can stop the writer, for
// instance to kill it there.
enum class WriteStage {
    TemporaryCreated, // the temporary file exists, still empty
    PartWritten,      // some bytes are written, more follow
    Written,          // all bytes written, not yet synced
    Synced,           // synced and closed, not yet renamed
    Renamed,          // the new file is in place
    // Only for files written together (replaceFilesContents):
    Recorded, // all written; the group is recorded, nothing replaced yet
    Cleared,  // the old versions of the files after the first are removed
    Settled,  // every new file is in place; the record is not yet removed
};
using WriteProbe = void (*)(WriteStage);
// Only tests set a probe; nullptr removes it.
void setWriteProbe(WriteProbe probe);

// What became of reading a file that is to be a plain file of its folder.
enum class FileRead {
    Read,       // bytes hold the whole file
    Missing,    // nothing of that name
    NotAFile,   // a link, a folder, a FIFO, a device or a socket: never opened
    TooLarge,   // larger than maxBytes: not read
    Unreadable, // could not be opened or read
};

// Reads the file at path when it is a regular file itself: a link is not
// followed, and a FIFO or a device is never opened, so that nothing named
// there reads another file or waits for a writer. At most maxBytes are read,
// however large the file claims to be or grows meanwhile; size (when given)
// is told the file's size once it is known.
FileRead readRegularFile(const QString& path, qint64 maxBytes, QByteArray& bytes,
                         qint64* size = nullptr);

} // namespace tess
