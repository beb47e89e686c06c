#include "editor/recordnavigator.h"

#include "editor/cursortablemodel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace tess {

namespace {

constexpr int kButtonWidth = 24;
constexpr int kButtonHeight = 24;

// The buttons' pictures: arrows to the ends and steps, a tick and a circle arrow.
QIcon navigatorIcon(RecordNavigator::Button which, const QColor& colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const auto triangle = [&p](bool left, qreal x) {
        QPainterPath path;
        if (left) {
            path.moveTo(x + 6, 3);
            path.lineTo(x, 8);
            path.lineTo(x + 6, 13);
        } else {
            path.moveTo(x, 3);
            path.lineTo(x + 6, 8);
            path.lineTo(x, 13);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (which) {
    case RecordNavigator::First:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle(true, 6);
        break;
    case RecordNavigator::Prior:
        triangle(true, 5);
        break;
    case RecordNavigator::Next:
        triangle(false, 5);
        break;
    case RecordNavigator::Last:
        triangle(false, 4);
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case RecordNavigator::Post: {
        p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(3, 8.5);
        tick.lineTo(6.5, 12);
        tick.lineTo(13, 4);
        p.drawPath(tick);
        break;
    }
    case RecordNavigator::Refresh: {
        p.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPainterPath head;
        head.moveTo(10, 1.5);
        head.lineTo(13.5, 4.5);
        head.lineTo(9, 6);
        head.closeSubpath();
        p.drawPath(head);
        break;
    }
    default:
        break;
    }
    p.end();
    QIcon icon(pixmap);
    // Greyed when the button cannot act.
    QPixmap grey(16, 16);
    grey.fill(Qt::transparent);
    QPainter g(&grey);
    g.setOpacity(0.35);
    g.drawPixmap(0, 0, pixmap);
    g.end();
    icon.addPixmap(grey, QIcon::Disabled);
    return icon;
}

} // namespace

RecordNavigator::RecordNavigator(CursorTableModel& source, QWidget* parent)
    : QWidget(parent), m_source(source) {
    static const char* const hints[ButtonCount] = {"第一条记录",           "前一条记录",
                                                   "后一条记录",           "最后一条记录",
                                                   "保存对当前记录的修改", "刷新数据"};
    static const char* const names[ButtonCount] = {"First", "Prior", "Next",
                                                   "Last",  "Post",  "Refresh"};
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QColor colour(40, 60, 110);
    for (int i = 0; i < ButtonCount; ++i) {
        auto* button = new QToolButton(this);
        const QString hint = QString::fromUtf8(hints[i]);
        button->setObjectName(QLatin1String(names[i]));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIcon(navigatorIcon(Button(i), colour));
        button->setFixedSize(kButtonWidth, kButtonHeight);
        button->setToolTip(hint);
        button->setStatusTip(hint);
        button->setAccessibleName(hint);
        layout->addWidget(button);
        m_buttons[i] = button;
        connect(button, &QToolButton::clicked, this, [this, i] { act(Button(i)); });
    }
    connect(&source, &CursorTableModel::enabledChanged, this, &RecordNavigator::updateButtons);
    connect(&source, &CursorTableModel::currentRowChanged, this, &RecordNavigator::updateButtons);
    connect(&source, &CursorTableModel::stateChanged, this, &RecordNavigator::updateButtons);
    connect(&source, &QAbstractItemModel::modelReset, this, &RecordNavigator::updateButtons);
    connect(&source, &QAbstractItemModel::rowsInserted, this, &RecordNavigator::updateButtons);
    connect(&source, &QAbstractItemModel::rowsRemoved, this, &RecordNavigator::updateButtons);
    updateButtons();
}

void RecordNavigator::updateButtons() {
    const TableCursor* cursor = m_source.cursor();
    const bool active = m_source.isEnabled() && cursor && cursor->isOpen();
    const int row = active ? cursor->recNo() : -1;
    const int count = active ? cursor->recordCount() : 0;
    const bool editing = active && cursor->isEditing();
    m_buttons[First]->setEnabled(active && row > 0);
    m_buttons[Prior]->setEnabled(active && row > 0);
    m_buttons[Next]->setEnabled(active && row >= 0 && row + 1 < count);
    m_buttons[Last]->setEnabled(active && row >= 0 && row + 1 < count);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(active);
}

void RecordNavigator::act(Button which) {
    m_source.guarded([this, which] {
        TableCursor* cursor = m_source.cursor();
        if (!m_source.isEnabled() || !cursor || !cursor->isOpen())
            return;
        switch (which) {
        case First:
            cursor->first();
            break;
        case Prior:
            cursor->prior();
            break;
        case Next:
            cursor->next();
            break;
        case Last:
            cursor->last();
            break;
        case Post:
            cursor->post();
            break;
        case Refresh:
            cursor->refresh();
            break;
        default:
            break;
        }
    });
    updateButtons();
}

} // namespace tess
