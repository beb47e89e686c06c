#pragma once

#include "editor/cursortablemodel.h"
#include "editor/recordgrid.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

// Using a grid as the teacher does: clicking cells, typing, picking from lists.
namespace gridtest {

inline QModelIndex cell(const tess::RecordGrid* grid, int row, int column) {
    return grid->model()->index(row, column);
}

inline void clickCell(tess::RecordGrid* grid, int row, int column) {
    const QRect rect = grid->visualRect(cell(grid, row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

// Opens the cell's editor with a double click and replaces its text by typing.
inline void typeIntoCell(tess::RecordGrid* grid, int row, int column, const QString& text) {
    clickCell(grid, row, column);
    const QRect rect = grid->visualRect(cell(grid, row, column));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY2(editor, "no cell editor opened");
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii) {
        QTest::keyClicks(editor, text);
        return;
    }
    // Chinese arrives from the input method as committed text.
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(editor, &commit);
}

// Picks an item of an in-cell list by the keyboard, as after clicking it.
inline void pick(QComboBox* list, const QString& text) {
    const int index = list->findText(text, Qt::MatchExactly);
    QVERIFY2(index >= 0, qPrintable(text));
    list->setFocus();
    if (index == 0) {
        list->setCurrentIndex(1);
        QTest::keyClick(list, Qt::Key_Up);
    } else {
        list->setCurrentIndex(index - 1);
        QTest::keyClick(list, Qt::Key_Down);
    }
    QCOMPARE(list->currentIndex(), index);
}

// The list's place by the placement rule: over the current cell, one pixel in.
inline QRect listPlace(const tess::RecordGrid* grid, const QWidget* pane) {
    const QRect rect = grid->visualRect(grid->currentIndex());
    const QPoint topLeft = grid->viewport()->mapTo(pane, rect.topLeft());
    return {topLeft.x() + 1, topLeft.y() + 1, rect.width() + 1, rect.height()};
}

} // namespace gridtest
