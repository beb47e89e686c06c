# Papers to and from other question tools' files (Moodle XML, GIFT, Aiken); UI-free.
file(GLOB TESS_EXCHANGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(APPEND TESS_CORE_SOURCES ${TESS_EXCHANGE_SOURCES})
