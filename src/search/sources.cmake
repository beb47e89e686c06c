# Finding questions across the bank and taking them into the current paper:
# the search window and its command.
list(APPEND TESS_GUI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/tformsearch.cpp)
