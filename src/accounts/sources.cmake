# User accounts: the password hashes are UI-free; the user management dialog,
# the account dialog, and the commands that open them are windows.
list(APPEND TESS_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/passwordhash.cpp)
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/accountcommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformnewuser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformusers.cpp)
