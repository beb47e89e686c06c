#pragma once

#include <QByteArray>
#include <QTextBrowser>
#include <QWidget>

namespace tess {

// Decodes an HTML page by the character set it declares (a meta charset or
// http-equiv Content-Type); GBK when it declares none or one we cannot decode.
QString decodeHtmlPage(const QByteArray& bytes);

// The user guide's view: every page it loads, the guide and the pages it links
// to, is decoded by its declared character set.
class GuideBrowser : public QTextBrowser {
    Q_OBJECT

public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl& name) override;
};

} // namespace tess

// The user guide window: created once, hidden at start, only hidden on close,
// so it shows the page where the user left it.
class TFormHelp : public QWidget {
    Q_OBJECT

public:
    // Loads the guide at guidePath once; a missing guide leaves the view empty.
    explicit TFormHelp(const QString& guidePath, QWidget* parent = nullptr);

    tess::GuideBrowser* WebBrowser1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
};
