# Papers to and from other question tools' files (Moodle XML, GIFT, Aiken):
# the readers and writers are UI-free; the window's commands need widgets.
list(APPEND TESS_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/aiken.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bankexchange.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compose.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gift.cpp
  ${CMAKE_CURRENT_LIST_DIR}/htmlclean.cpp
  ${CMAKE_CURRENT_LIST_DIR}/importfile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/importpictures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/moodlexml.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picturetags.cpp
  ${CMAKE_CURRENT_LIST_DIR}/textfile.cpp)
list(APPEND TESS_GUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/exchangecommands.cpp)
