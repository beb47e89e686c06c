#pragma once

#include <QObject>

class QAction;

namespace tess {

class Frame;
class PageOpener;
class PaperBank;
class PaperNavigator;

// Publishing the selected paper (OnGenPaper): the check, the page, and the
// page opened in the browser.
class PublishCommands : public QObject {
    Q_OBJECT

public:
    PublishCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator, QAction* genPaper,
                    QObject* parent);

    // The check of the selected paper, its lines in the message area.
    bool CheckPaper();
    void GenPaperHtml(const QString& outputPath);
    // Replaced by tests so that no browser is started.
    void SetPageOpener(PageOpener* opener) { m_pageOpener = opener; }

private:
    void OnGenPaperExecute();

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    PageOpener* m_pageOpener = nullptr;
};

} // namespace tess
