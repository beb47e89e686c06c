# Finding questions across the bank and taking them into the current paper:
# the search window and its command; composing a new paper from questions
# drawn at random.
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/searchcommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformcompose.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformsearch.cpp)
