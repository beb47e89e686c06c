#pragma once

#include <QObject>

class QAction;
class QDialog;
class QLineEdit;

namespace tess {

class Frame;
class PaperBank;
class PaperNavigator;
class TFormCompose;
class TFormSearch;

// The commands of finding and reusing questions across the bank: the search
// window (OnSearchBank) and composing a paper from the bank (OnComposePaper).
// Each window is made once and kept.
class SearchCommands : public QObject {
    Q_OBJECT

public:
    SearchCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator, QAction* searchBank,
                   QAction* composePaper, QObject* parent);
    TFormSearch* window() const { return m_search; }
    TFormCompose* composeWindow() const { return m_compose; }
    // Builds the search's index of a bank that has none yet (a bank of an
    // earlier program), with progress that the teacher may cancel.
    void IndexBankTexts();

private:
    void OnSearchBankExecute();
    void OnComposePaperExecute();
    void bringUp(QDialog* window, QLineEdit* first);

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    TFormSearch* m_search = nullptr;
    TFormCompose* m_compose = nullptr;
};

} // namespace tess
