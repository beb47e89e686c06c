# What every window feature is given by the frame it lives in: the frame
# interface, the prompts service and the wait cursor.
list(APPEND TESS_GUI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/prompts.cpp)
