# User accounts: the user management dialog, the account dialog, and the
# main window's two commands that open them.
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/mainform_accounts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformnewuser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformusers.cpp)
