# The paper bank editor: navigator, paper commands and the properties dialog
# are windows; the record numbering they use lives in store/.
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/mainform_navigator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainform_numbering.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainform_papers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paperlistmodel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/teditor.cpp)
