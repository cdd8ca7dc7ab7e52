# Third-party libraries, built from the Debian sources that scripts/setup.sh unpacks into .deps/src.
set(VEMRA_DEPS_DIR "${CMAKE_SOURCE_DIR}/.deps/src" CACHE PATH "Unpacked Debian sources of the dependencies")

function(vemra_find_source out pattern)
    file(GLOB _hits LIST_DIRECTORIES true "${VEMRA_DEPS_DIR}/${pattern}")
    set(_dirs "")
    foreach(_h IN LISTS _hits)
        if(IS_DIRECTORY "${_h}")
            list(APPEND _dirs "${_h}")
        endif()
    endforeach()
    list(LENGTH _dirs _n)
    if(_n EQUAL 0)
        message(FATAL_ERROR "No ${pattern} under ${VEMRA_DEPS_DIR}; run scripts/setup.sh first")
    endif()
    list(GET _dirs 0 _first)
    set(${out} "${_first}" PARENT_SCOPE)
endfunction()

# zlib: the inflate side for the skin archive, deflate for tests that build archives.
vemra_find_source(ZLIB_SRC "zlib-1*")
add_library(vemra_zlib STATIC
    ${ZLIB_SRC}/adler32.c ${ZLIB_SRC}/compress.c ${ZLIB_SRC}/crc32.c ${ZLIB_SRC}/deflate.c
    ${ZLIB_SRC}/infback.c ${ZLIB_SRC}/inffast.c ${ZLIB_SRC}/inflate.c ${ZLIB_SRC}/inftrees.c
    ${ZLIB_SRC}/trees.c ${ZLIB_SRC}/uncompr.c ${ZLIB_SRC}/zutil.c)
target_include_directories(vemra_zlib SYSTEM PUBLIC ${ZLIB_SRC})
target_compile_options(vemra_zlib PRIVATE -w)

# TinyXML, with Debian's patches (they force the STL build, so every user must see TIXML_USE_STL).
vemra_find_source(TINYXML_SRC "tinyxml-*")
add_library(vemra_tinyxml STATIC
    ${TINYXML_SRC}/tinyxml.cpp ${TINYXML_SRC}/tinystr.cpp
    ${TINYXML_SRC}/tinyxmlerror.cpp ${TINYXML_SRC}/tinyxmlparser.cpp)
target_include_directories(vemra_tinyxml SYSTEM PUBLIC ${TINYXML_SRC})
target_compile_definitions(vemra_tinyxml PUBLIC TIXML_USE_STL)
target_compile_options(vemra_tinyxml PRIVATE -w)

# jsoncpp through its own CMake project; it writes output directories into the cache, so set ours first.
vemra_find_source(JSONCPP_SRC "libjsoncpp-*")
set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
set(BUILD_STATIC_LIBS ON CACHE BOOL "" FORCE)
set(BUILD_OBJECT_LIBS OFF CACHE BOOL "" FORCE)
set(JSONCPP_WITH_TESTS OFF CACHE BOOL "" FORCE)
set(JSONCPP_WITH_POST_BUILD_UNITTEST OFF CACHE BOOL "" FORCE)
set(JSONCPP_WITH_PKGCONFIG_SUPPORT OFF CACHE BOOL "" FORCE)
set(JSONCPP_WITH_CMAKE_PACKAGE OFF CACHE BOOL "" FORCE)
add_subdirectory(${JSONCPP_SRC} ${CMAKE_BINARY_DIR}/_deps/jsoncpp EXCLUDE_FROM_ALL)
target_compile_options(jsoncpp_static PRIVATE -w)
add_library(vemra_jsoncpp INTERFACE)
target_link_libraries(vemra_jsoncpp INTERFACE jsoncpp_static)
target_include_directories(vemra_jsoncpp SYSTEM INTERFACE ${JSONCPP_SRC}/include)

# stb_image: only the folder of Debian's stb headers, never the whole system include folder.
find_path(STB_IMAGE_DIR stb_image.h PATHS /usr/include/stb NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT STB_IMAGE_DIR)
    message(FATAL_ERROR "stb_image.h not found in /usr/include/stb (package libstb-dev)")
endif()
add_library(vemra_stb INTERFACE)
target_include_directories(vemra_stb SYSTEM INTERFACE ${STB_IMAGE_DIR})

# GoogleTest from the sources of Debian's googletest package.
if(VEMRA_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
    target_compile_options(gtest PRIVATE -w)
    target_compile_options(gtest_main PRIVATE -w)
endif()
