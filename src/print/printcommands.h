#pragma once

#include "print/printprompts.h"

#include <QObject>
#include <QString>
#include <optional>

class QAction;

namespace tess {

class Frame;
class PaperBank;
class PaperNavigator;

// The commands for printed papers; the window keeps them in its menus.
struct PrintActions {
    QAction* preview = nullptr;   // OnPrintPreview
    QAction* print = nullptr;     // OnPrint
    QAction* exportPdf = nullptr; // OnExportPdf
};

// The File menu's printed papers: the print preview, printing and a PDF,
// each with the teacher's key if asked for.
class PrintCommands : public QObject {
    Q_OBJECT

public:
    PrintCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                  const PrintActions& actions, QObject* parent);
    ~PrintCommands() override;

private:
    struct Job;
    // The selected paper as read for printing and the options chosen for it;
    // none (with a line in the message area where there is something to say)
    // when there is nothing to do.
    std::optional<Job> prepare(const QString& doing);
    void OnPrintPreviewExecute();
    void OnPrintExecute();
    void OnExportPdfExecute();
    void OnPaperCommandUpdate();
    // The texts not printed as they stand, then the pictures not found.
    void reportLayout(const QStringList& warnings, const QStringList& missingPictures);

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    // Offered again next time, for as long as the program runs.
    PrintChoice m_lastChoice;
};

} // namespace tess
