#include "app/banner.h"

#include "app/appicons.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

namespace tess {

Banner::Banner(QWidget* parent, int width) : QFrame(parent) {
    setObjectName(QStringLiteral("Banner"));
    setGeometry(0, 0, width, 65);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("Image3"));
    m_icon->setPixmap(handPointerPixmap(48));
    m_icon->setGeometry(width - 8 - 48, (65 - 48) / 2, 48, 48);
    m_icon->setCursor(Qt::PointingHandCursor);
    m_icon->installEventFilter(this);
}

bool Banner::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_icon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_click) {
        m_click();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace tess
