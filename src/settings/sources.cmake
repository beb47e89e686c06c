# Settings: the profile file and the new-paper defaults are UI-free; the
# defaults dialog needs widgets.
list(APPEND TESS_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bankchoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inifile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/newpaperdefaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/programfiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/programinfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windowmemory.cpp)
list(APPEND TESS_GUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/tdlgconfigure.cpp)
