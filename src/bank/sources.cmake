# The paper bank the program works on: connection, shared cursors, numbering
# and current records; UI-free.
list(APPEND TESS_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/paperbank.cpp)
