#pragma once

#include <QString>
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

// The printed papers' own dialogs, answered in advance by tests as the
// prompts service answers the boxes; with nothing queued the real dialog is
// shown, and a scripted run (Prompts::setScripted) fails instead of blocking.
class PrintPrompts {
public:
    static PrintPrompts& instance();

    // The print options dialog, its boxes set to initial; none when cancelled.
    std::optional<PrintChoice> printOptions(QWidget* parent, const PrintChoice& initial = {});
    // The system print dialog on printer; true when the teacher chose to print.
    bool printDialog(QWidget* parent, QPrinter& printer);
    // Runs the print preview until the teacher closes it.
    void printPreview(QPrintPreviewDialog& dialog);

    // --- for tests ---
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
    void clear();

private:
    std::deque<std::optional<PrintChoice>> m_printOptions;
    std::deque<std::function<bool(QPrinter&)>> m_printDialogs;
    std::deque<std::function<void(QPrintPreviewDialog&)>> m_previews;
};

} // namespace tess
