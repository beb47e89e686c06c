# The paper bank editor. The grids' data source and the flag texts need no
# widget; the navigator, the grids, the paper commands and the properties
# dialog are windows. The record numbering they use lives in store/.
list(APPEND TESS_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/cursortablemodel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/truorfalse.cpp)
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/catchup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/papercommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paperlistmodel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/papernavigator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/questiongrids.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recordgrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recordnavigator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/teditor.cpp)
