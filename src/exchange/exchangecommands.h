#pragma once

#include "editor/paperlistmodel.h"

#include <QObject>
#include <optional>

class QAction;

namespace tess {

class Frame;
class PaperBank;
class PaperNavigator;

// The File menu's exchange with other question tools: the selected paper out
// as Moodle XML (exportMoodle, OnExportMoodle), and Moodle XML, GIFT or Aiken
// files in (importQuestions, OnImportQuestions); and a copy of the selected
// paper within the bank (copyPaper, OnCopyPaper).
class ExchangeCommands : public QObject {
    Q_OBJECT

public:
    ExchangeCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                     QAction* exportMoodle, QAction* importQuestions, QAction* copyPaper,
                     QObject* parent);

private:
    // The selected paper, what is being typed in its grids saved first; none
    // (an error line naming the verb's work) when no paper is selected.
    std::optional<PaperEntry> paperToWorkOn(const QString& verb);
    void OnExportMoodleExecute();
    void OnImportQuestionsExecute();
    void OnCopyPaperExecute();

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
};

} // namespace tess
