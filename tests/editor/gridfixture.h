#pragma once

#include "editor/cursortablemodel.h"
#include "editor/recordgrid.h"
#include "typing.h"

#include <QApplication>
#include <QComboBox>
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
    typing::replaceText(editor, text);
}

// Picks an item of an in-cell list by the keyboard, as after clicking it.
inline void pick(QComboBox* list, const QString& text) {
    typing::pickByKeys(list, text);
}

// The list's place by the placement rule: over the current cell, one pixel in.
inline QRect listPlace(const tess::RecordGrid* grid, const QWidget* pane) {
    const QRect rect = grid->visualRect(grid->currentIndex());
    const QPoint topLeft = grid->viewport()->mapTo(pane, rect.topLeft());
    return {topLeft.x() + 1, topLeft.y() + 1, rect.width() + 1, rect.height()};
}

} // namespace gridtest
