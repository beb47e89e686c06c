#pragma once

#include "app/prompts.h"

#include <QObject>
#include <QString>
#include <optional>

class QAction;
class TMainForm;

namespace tess {

// The File menu's printed papers: the print preview, printing and a PDF,
// each with the teacher's key if asked for. A helper the main window owns.
class PrintCommands : public QObject {
    Q_OBJECT

public:
    explicit PrintCommands(TMainForm& form);
    ~PrintCommands() override;

    QAction* OnPrintPreview = nullptr;
    QAction* OnPrint = nullptr;
    QAction* OnExportPdf = nullptr;

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
    void reportMissingPictures(const QStringList& names);

    TMainForm& m_form;
    // Offered again next time, for as long as the program runs.
    PrintChoice m_lastChoice;
};

} // namespace tess
