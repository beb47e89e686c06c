#pragma once

#include <QIcon>
#include <QPixmap>

namespace tess {

// The program's pictures, drawn in code so that they scale cleanly.
QPixmap handPointerPixmap(int size); // the program's icon: a hand pointer
QIcon addIcon();                     // the adding commands
QIcon deleteIcon();                  // the deleting commands
QIcon generateIcon();                // publishing a paper
QIcon searchIcon();                  // searching the bank

} // namespace tess
