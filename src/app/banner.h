#pragma once

#include <QFrame>
#include <functional>

class QLabel;

namespace tess {

// The white band across the top of the login dialog and the About box, with
// the program's icon (a hand pointer) at its right.
class Banner : public QFrame {
    Q_OBJECT

public:
    Banner(QWidget* parent, int width);
    QLabel* icon() const { return m_icon; }
    // Called when the icon is clicked.
    void setIconClick(std::function<void()> handler) { m_click = std::move(handler); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_icon;
    std::function<void()> m_click;
};

} // namespace tess
