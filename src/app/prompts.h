#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace tess {

// What the print options dialog asks before a paper is previewed, printed or
// exported as PDF.
struct PrintChoice {
    bool answerKey = false;     // the key too: after the paper, or as a file of its own
    bool choiceNumbers = false; // choices labelled with their stored numbers, not A, B, C
};

// The application title: caption of the main window and of every box.
inline QString appTitle() {
    return QStringLiteral("Tessaloom");
}

// The filter of the save-file dialogs that choose where a page goes.
inline QString pageFileFilter() {
    return QStringLiteral("HTML文件(*.html)|*.html");
}

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
    // Open-file dialog for one picture with a preview; empty when cancelled.
    // fileTypes are "shown text|*.a;*.b", the first one selected. A typed name
    // is returned whether or not such a file exists.
    QString openPicture(QWidget* parent, const QString& title, const QStringList& fileTypes);
    // The print options dialog, its boxes set to initial; none when cancelled.
    std::optional<PrintChoice> printOptions(QWidget* parent, const PrintChoice& initial = {});
    // The system print dialog on printer; true when the teacher chose to print.
    bool printDialog(QWidget* parent, QPrinter& printer);
    // Runs the print preview until the teacher closes it.
    void printPreview(QPrintPreviewDialog& dialog);

    // --- for tests ---
    // Answers used, in order, instead of showing the box or dialog.
    void queueYesNo(bool yes) { m_yesNo.push_back(yes); }
    void queueFile(const QString& path) { m_files.push_back(path); } // "" = cancel
    // none = cancel
    void queuePrintOptions(std::optional<PrintChoice> choice) { m_printOptions.push_back(choice); }
    // Answers the print dialog: may set up the printer (an output file, say);
    // returns whether to print.
    void queuePrintDialog(std::function<bool(QPrinter&)> answer) {
        m_printDialogs.push_back(std::move(answer));
    }
    // The preview is shown for real; look runs once it is up, and the preview
    // is closed after it unless look closed it.
    void queuePreview(std::function<void(QPrintPreviewDialog&)> look) {
        m_previews.push_back(std::move(look));
    }
    // Texts of the information and question boxes that were answered from the
    // queue or shown, oldest first.
    QStringList shownTexts() const { return m_shown; }
    void clear();
    // When set, a box with no queued answer fails the test instead of blocking.
    void setScripted(bool scripted) { m_scripted = scripted; }

private:
    // The next queued file answer; none (and a failed test when scripted) without one.
    std::optional<QString> queuedFile(const char* dialog);

    std::deque<bool> m_yesNo;
    std::deque<QString> m_files;
    std::deque<std::optional<PrintChoice>> m_printOptions;
    std::deque<std::function<bool(QPrinter&)>> m_printDialogs;
    std::deque<std::function<void(QPrintPreviewDialog&)>> m_previews;
    QStringList m_shown;
    bool m_scripted = false;
};

} // namespace tess
