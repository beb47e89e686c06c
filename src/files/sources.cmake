# Safe replacement of whole files, shared by the settings file and the page
# writer; UI-free.
list(APPEND TESS_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/safefile.cpp)
