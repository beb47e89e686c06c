#pragma once

#include <QObject>

class QAction;

namespace tess {

class Frame;
class PaperBank;
class PaperNavigator;

// The File menu's exchange with other question tools: the selected paper out
// as Moodle XML (exportMoodle, OnExportMoodle), and Moodle XML, GIFT or Aiken
// files in (importQuestions, OnImportQuestions).
class ExchangeCommands : public QObject {
    Q_OBJECT

public:
    ExchangeCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                     QAction* exportMoodle, QAction* importQuestions, QObject* parent);

private:
    void OnExportMoodleExecute();
    void OnImportQuestionsExecute();

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
};

} // namespace tess
