#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tess {

// Hands a published page to the user's browser. The window's opener asks the
// desktop; tests put in one that only records the path.
class PageOpener {
public:
    virtual ~PageOpener() = default;
    virtual void open(const QString& path) = 0;
};

// Creates the page pictures folder (one level) when it is missing; a failure
// is not reported, the copy then simply finds no folder.
void createPagePicturesFolder(const QString& folder);

// Copies every regular file directly inside picturesFolder (no link, FIFO or
// device) into folder under its own name. Existing files are left as they are; failed copies are
// skipped; a missing pictures folder copies nothing. Returns the number of files copied.
int copyPictures(const QString& picturesFolder, const QString& folder);

// What the generation command needs from the main window.
struct GenerationSteps {
    std::function<void()> clearMessages;
    std::function<void(const QString&)> addMessage;
    std::function<QString()> messageText; // the whole message area
    std::function<void(const QString&)> showInformation;
    std::function<bool()> checkPaper;              // may throw: leaves the command
    std::function<QString()> paperOutputFile;      // PapSav of the selected paper
    std::function<void(const QString&)> writePage; // GenPaperHtml
    // Asked once the check has passed, with the output path: false gives up
    // with nothing written. May throw: leaves the command. Unset: go on.
    std::function<bool(const QString&)> mayReplace;
    // Told the output path once the page is written. May throw: the page
    // stays, and a warning says what was not remembered.
    std::function<void(const QString&)> pageWritten;
    // Asked before the page's pictures are copied: brings those the pictures
    // folder lacks from the bank; returns warnings for the message area. May throw.
    std::function<QStringList()> fetchPictures;
    QString picturesFolder;
    PageOpener* opener = nullptr;
};

// The command "生成试卷": check, ask whether the page may be replaced, write
// the page, fill its pictures folder and open it. A page that cannot be
// written becomes a line in the message area and the remaining steps still
// run, except when the path is a folder: then nothing at all is created.
void runGeneration(const GenerationSteps& steps);

} // namespace tess
