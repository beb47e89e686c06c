#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace tess {
class Connection;
}

namespace tess::exchange {

class ImportLock;

// The pictures an import brings, kept aside until the bank has taken the
// import. Each new picture is written in full and synced in a folder of its
// own inside the pictures folder (".import/<token>/pictures", which no page
// ever copies) and takes its name in the pictures folder only after the
// bank's transaction has committed. An import that does not commit leaves no
// picture behind; one killed after its commit has its pictures moved in by
// finishInterruptedImports() at the next start. Nothing in the pictures
// folder is ever overwritten or removed.
class ImportPictures {
public:
    // namesInUse gives the pictures the bank's texts name (read once, when
    // the first picture is placed); none of them is given to a new picture.
    explicit ImportPictures(QString picturesFolder, std::function<QSet<QString>()> namesInUse = {});
    ~ImportPictures(); // discards what was not moved in
    ImportPictures(const ImportPictures&) = delete;
    ImportPictures& operator=(const ImportPictures&) = delete;

    // The name under which these bytes will be in the pictures folder: one
    // that already holds them, or a free one ("map (2).png") under which they
    // are now written aside. Throws ExchangeError ("第 line 行: ...").
    QString place(const QString& wanted, const QByteArray& bytes, int line);
    // Whether the pictures folder holds the name, or will once moved in.
    bool holds(const QString& name) const;
    QString folder() const { return m_folder; }

    // Once the bank has committed: each picture written aside takes its name.
    // Returns what the teacher must be told (a name taken meanwhile by
    // another picture, a picture that could not be moved in yet).
    QStringList moveIn();
    // The import did not happen: what was written aside is removed, and the
    // pictures folder too when it was made for this import and is empty.
    void discard();

private:
    void stageFolder(int line);

    QString m_folder;
    std::function<QSet<QString>()> m_namesInUse;
    QSet<QString> m_inUse;
    bool m_inUseRead = false;
    QString m_token;                    // .import/<token>, once made
    std::unique_ptr<ImportLock> m_lock; // held while the import lives
    QStringList m_order;                // names written aside, in their order
    QHash<QString, QByteArray> m_staged;
    bool m_madeFolder = false;
    bool m_finished = false;
};

// What imports killed before they finished left aside in the pictures folder:
// a picture that the bank's texts name and the folder lacks is moved in (its
// import had committed), every other one is removed. Imports still running,
// in this process or another, are left alone. Never throws; returns the
// number of pictures moved in.
int finishInterruptedImports(const Connection& connection, const QString& picturesFolder);

// Points of an import where a test can stop it, for instance to kill it there.
enum class ImportStage {
    PictureWritten, // one more picture is written aside
    Committed,      // the bank has committed, no picture is moved in yet
    PictureMoved,   // one more picture has taken its name in the folder
    Finished,       // all pictures moved in, the aside folder not yet removed
};
using ImportProbe = void (*)(ImportStage);
// Only tests set a probe; nullptr removes it.
void setImportProbe(ImportProbe probe);
void importProbe(ImportStage stage);

} // namespace tess::exchange
