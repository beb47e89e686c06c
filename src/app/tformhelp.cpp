#include "app/tformhelp.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace tess {

QString decodeHtmlPage(const QByteArray& bytes) {
    // The declaration sits in the head; it is ASCII in every charset we meet.
    const QString head = QString::fromLatin1(bytes.left(4096));
    static const QRegularExpression charset(
        QStringLiteral(R"(<meta[^>]*charset\s*=\s*["']?\s*([A-Za-z0-9_.:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QString name = QStringLiteral("GBK");
    const QRegularExpressionMatch match = charset.match(head);
    if (match.hasMatch())
        name = match.captured(1);
    // gb2312 pages are written by GBK tools in practice; GB18030 reads all of them.
    const QString lower = name.toLower();
    if (lower == QLatin1String("gb2312") || lower == QLatin1String("gbk") ||
        lower == QLatin1String("x-gbk"))
        name = QStringLiteral("GB18030");
    QStringDecoder decoder(name.toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder("GB18030");
    return decoder.decode(bytes);
}

QVariant GuideBrowser::loadResource(int type, const QUrl& name) {
    if (type == QTextDocument::HtmlResource && name.isLocalFile()) {
        QFile file(name.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            return QVariant();
        return decodeHtmlPage(file.readAll());
    }
    return QTextBrowser::loadResource(type, name);
}

} // namespace tess

TFormHelp::TFormHelp(const QString& guidePath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TFormHelp"));
    setWindowTitle(QStringLiteral("使用指南"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    WebBrowser1 = new tess::GuideBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setOpenExternalLinks(true);
    layout->addWidget(WebBrowser1);

    resize(696, 480);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setWindowState(Qt::WindowMaximized);

    if (QFileInfo(guidePath).isFile())
        WebBrowser1->setSource(QUrl::fromLocalFile(QFileInfo(guidePath).absoluteFilePath()),
                               QTextDocument::HtmlResource);
}

void TFormHelp::closeEvent(QCloseEvent* event) {
    // Only hidden: the page and the place the user reached stay for next time.
    event->ignore();
    hide();
}
