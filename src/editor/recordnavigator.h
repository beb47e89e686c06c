#pragma once

#include <QWidget>

class QToolButton;

namespace tess {

class CursorTableModel;

// The record navigator under a grid: six flat buttons that move through, post
// and re-read the records of the grid's data source. Inert while the data
// source is disabled; each button is enabled only where it would act.
class RecordNavigator : public QWidget {
    Q_OBJECT

public:
    enum Button { First, Prior, Next, Last, Post, Refresh, ButtonCount };

    explicit RecordNavigator(CursorTableModel& source, QWidget* parent = nullptr);

    QToolButton* button(Button which) const { return m_buttons[which]; }
    // Recomputes which buttons can act.
    void updateButtons();

private:
    void act(Button which);

    CursorTableModel& m_source;
    QToolButton* m_buttons[ButtonCount] = {};
};

} // namespace tess
