# Printed papers: reading the paper is UI-free; the layout and the PDF need
# Qt Gui (fonts, text layout, painting) but no widgets; the commands, the
# print dialogs and the preview are widgets.
list(APPEND TESS_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/printedpaper.cpp)
list(APPEND TESS_PRINT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/boundedhtml.cpp ${CMAKE_CURRENT_LIST_DIR}/folderpictures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paperlayout.cpp)
list(APPEND TESS_GUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/printcommands.cpp ${CMAKE_CURRENT_LIST_DIR}/printoptionsdialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/printprompts.cpp)
