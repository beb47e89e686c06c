#pragma once

#include <QObject>

class QAction;
class TMainForm;

namespace tess {

// The File menu's exchange with other question tools: a paper out as Moodle
// XML, and Moodle XML, GIFT or Aiken files in. A helper the main window owns.
class ExchangeCommands : public QObject {
    Q_OBJECT

public:
    explicit ExchangeCommands(TMainForm& form);

    QAction* OnExportMoodle = nullptr;
    QAction* OnImportQuestions = nullptr;

private:
    void OnExportMoodleExecute();
    void OnImportQuestionsExecute();

    TMainForm& m_form;
};

} // namespace tess
