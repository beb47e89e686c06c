# The application shell: main window frame, login, user guide, About box,
# prompts and shortcut routing. main.cpp is built into the executable itself.
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/appicons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/banner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shortcutrouter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/taboutdlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tessapplication.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformhelp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tmainform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tpassworddlg.cpp)
