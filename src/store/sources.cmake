# The engine layer is UI-free through and through.
file(GLOB TESS_STORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(APPEND TESS_CORE_SOURCES ${TESS_STORE_SOURCES} ${CMAKE_SOURCE_DIR}/resources/store.qrc)
