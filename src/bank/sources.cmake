# The paper bank the program works on: connection, shared cursors, numbering
# and current records, the accounts' password hashes, copying a whole bank,
# composing a paper from drawn questions; UI-free.
list(APPEND TESS_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bankcopy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paperbank.cpp
  ${CMAKE_CURRENT_LIST_DIR}/passwordhash.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pictures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plaintext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/questionsearch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/textindex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bankpictures.cpp)
