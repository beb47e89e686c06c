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
// beside its place, and only when all of them are complete are they renamed
// into place, in their order. A failure before that leaves every old file as
// it was; failedPath names the file the message is about.
struct FileContents {
    QString path;
    QByteArray bytes;
};
[[nodiscard]] QString replaceFilesContents(const QVector<FileContents>& files,
                                           QString* failedPath = nullptr);

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
};
using WriteProbe = void (*)(WriteStage);
// Only tests set a probe; nullptr removes it.
void setWriteProbe(WriteProbe probe);

} // namespace tess
