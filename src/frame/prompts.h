#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <optional>

class QWidget;

namespace tess {

// The application title: caption of the main window and of every box.
inline QString appTitle() {
    return QStringLiteral("Tessaloom");
}

// The filter of the save-file dialogs that choose where a page goes.
inline QString pageFileFilter() {
    return QStringLiteral("HTML文件(*.html)|*.html");
}

// The file dialogs that start in the folder last chosen in them, each its
// own, also in a later run (the main window keeps them in the settings file).
enum class FileDialogKind { Picture, Import, Export, Pdf, Page };
inline constexpr FileDialogKind AllFileDialogKinds[] = {
    FileDialogKind::Picture, FileDialogKind::Import, FileDialogKind::Export, FileDialogKind::Pdf,
    FileDialogKind::Page};
// The dialog's name in the settings file.
QString fileDialogKey(FileDialogKind kind);

// Every message box and file dialog of the program goes through here, so that
// tests can give the answers in advance and no test ever waits on a modal box.
// With nothing queued the real box or dialog is shown.
class Prompts {
public:
    static Prompts& instance();

    // Information box: the text, the application title as caption, one button "OK".
    void information(QWidget* parent, const QString& text);
    // Question box: the text, the title as caption, no icon, Yes and No.
    // noByDefault makes No the answer of Enter, for questions where Yes
    // destroys something.
    bool askYesNo(QWidget* parent, const QString& text, bool noByDefault = false);
    // Save-file dialog. filter is "label|pattern" ("HTML文件(*.html)|*.html").
    // Returns the full path chosen, or an empty text when cancelled.
    QString saveFile(QWidget* parent, const QString& startDir, const QString& filter);
    // Open-file dialog for one existing file; empty when cancelled.
    QString openFile(QWidget* parent, const QString& title, const QString& filter);
    // As saveFile, but once a file was chosen in a dialog of kind, in this run
    // or an earlier one, it starts in that folder instead of startDir's
    // (keeping the file name startDir may end in).
    QString saveFile(QWidget* parent, FileDialogKind kind, const QString& startDir,
                     const QString& filter);
    // As openFile, starting in startDir or, as saveFile of kind, where a file
    // was last chosen.
    QString openFile(QWidget* parent, FileDialogKind kind, const QString& title,
                     const QString& filter, const QString& startDir);
    // Open-file dialog for one picture with a preview; empty when cancelled.
    // fileTypes are "shown text|*.a;*.b"; the one last chosen is selected,
    // else the first. It starts in startDir or, as a dialog of kind Picture,
    // where a picture was last chosen. A typed name is returned whether or
    // not such a file exists.
    QString openPicture(QWidget* parent, const QString& title, const QStringList& fileTypes,
                        const QString& startDir = QString());

    // --- remembered places ---
    // The folder last chosen in a dialog of kind; empty for none.
    QString lastFolder(FileDialogKind kind) const;
    void setLastFolder(FileDialogKind kind, const QString& folder);
    // The picture dialog's file type last chosen, as shown; empty for none.
    QString lastPictureType() const { return m_pictureType; }
    void setLastPictureType(const QString& type) { m_pictureType = type; }

    // --- for tests ---
    // Answers used, in order, instead of showing the box or dialog.
    void queueYesNo(bool yes) { m_yesNo.push_back(yes); }
    void queueFile(const QString& path) { m_files.push_back(path); } // "" = cancel
    // Texts of the information and question boxes that were answered from the
    // queue or shown, oldest first.
    QStringList shownTexts() const { return m_shown; }
    void clear();
    // When set, a box with no queued answer fails the test instead of blocking.
    // Features with dialogs of their own keep their own answers and ask this.
    void setScripted(bool scripted) { m_scripted = scripted; }
    bool scripted() const { return m_scripted; }

private:
    // The next queued file answer; none (and a failed test when scripted) without one.
    std::optional<QString> queuedFile(const char* dialog);
    QString openFileIn(QWidget* parent, const QString& title, const QString& startDir,
                       const QString& filter);
    // Where a dialog of kind starts: the folder last chosen in it while that
    // exists, with startDir's file name if it names one; else startDir.
    QString startIn(FileDialogKind kind, const QString& startDir) const;
    // Remembers the folder of a chosen path; nothing for a cancel.
    void remember(FileDialogKind kind, const QString& chosen);

    std::deque<bool> m_yesNo;
    std::deque<QString> m_files;
    QStringList m_shown;
    bool m_scripted = false;
    std::map<FileDialogKind, QString> m_lastFolders;
    QString m_pictureType;
};

} // namespace tess
