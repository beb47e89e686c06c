#include "search/searchcommands.h"

#include "bank/paperbank.h"
#include "bank/textindex.h"
#include "frame/frame.h"
#include "search/tformcompose.h"
#include "search/tformsearch.h"

#include <QLineEdit>

namespace tess {

SearchCommands::SearchCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                               QAction* searchBank, QAction* composePaper, QObject* parent)
    : QObject(parent), m_frame(frame), m_bank(bank), m_navigator(navigator) {
    frame.ConnectBankCommand(searchBank, [this] { OnSearchBankExecute(); });
    frame.ConnectBankCommand(composePaper, [this] { OnComposePaperExecute(); });
}

void SearchCommands::IndexBankTexts() {
    m_frame.Guarded([this] {
        if (m_bank.Conn.isOpen() && !m_bank.Conn.isReadOnly() &&
            textIndexState(m_bank.Conn) == TextIndexState::Unbuilt)
            indexBankTexts(m_frame, m_bank.Conn);
    });
}

void SearchCommands::bringUp(QDialog* window, QLineEdit* first) {
    window->show();
    window->raise();
    window->activateWindow();
    first->setFocus();
    first->selectAll();
}

void SearchCommands::OnSearchBankExecute() {
    if (!m_bank.Conn.isOpen())
        return;
    if (!m_search)
        m_search = new TFormSearch(m_frame, m_bank, m_navigator, m_frame.FrameWidget());
    m_search->RefreshCategories();
    bringUp(m_search, m_search->EditText);
}

void SearchCommands::OnComposePaperExecute() {
    if (!m_bank.Conn.isOpen())
        return;
    if (!m_compose)
        m_compose = new TFormCompose(m_frame, m_bank, m_navigator, m_frame.FrameWidget());
    m_compose->RefreshSources();
    bringUp(m_compose, m_compose->EditName);
}

} // namespace tess
