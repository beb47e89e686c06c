# Paper generation: the check, the page writer with its grader script and the
# publishing steps are UI-free; only the window command needs widgets.
list(APPEND TESS_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/generateerror.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pagemarkup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pagepaths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/papercheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paperwriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/phonepage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/publish.cpp
  ${CMAKE_CURRENT_LIST_DIR}/publishedpages.cpp
  ${CMAKE_SOURCE_DIR}/resources/generate.qrc)
list(APPEND TESS_GUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/publishcommands.cpp)
