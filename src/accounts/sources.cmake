# User accounts: the user management dialog, the account dialog, and the
# commands that open them. The password hashes they store live in bank/.
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/accountcommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformnewuser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformusers.cpp)
