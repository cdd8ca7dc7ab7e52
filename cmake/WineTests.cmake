# Test programs are Windows executables: CTest runs each through scripts/wine-env.sh, which uses a private
# Wine prefix and one Xvfb for the whole run (started by the fixture below, stopped after it).
if(VEMRA_ARCH STREQUAL "x86_64")
    set(VEMRA_WINE_LOADER /usr/lib/wine/wine64)
    set(VEMRA_WINEARCH win64)
else()
    set(VEMRA_WINE_LOADER /usr/lib/wine/wine)
    set(VEMRA_WINEARCH win32)
endif()
if(EXISTS /usr/lib/wine/wineserver64)
    set(VEMRA_WINESERVER /usr/lib/wine/wineserver64)
else()
    set(VEMRA_WINESERVER /usr/lib/wine/wineserver32)
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-config.sh.in ${CMAKE_BINARY_DIR}/wine/config.sh @ONLY)

set(VEMRA_WINE_ENV ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VEMRA_WINE_ENV} run ${CMAKE_BINARY_DIR})

add_test(NAME wine.start COMMAND ${VEMRA_WINE_ENV} start ${CMAKE_BINARY_DIR})
add_test(NAME wine.stop COMMAND ${VEMRA_WINE_ENV} stop ${CMAKE_BINARY_DIR})
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

include(GoogleTest)

# vemra_add_gtest(target [SERIAL] [TIMEOUT seconds]): one CTest test per TEST()/TEST_F() of the target.
# SERIAL tests share the machine-wide names of the launcher (its mutex, window title, settings file) and so
# never run at the same time as each other.
function(vemra_add_gtest target)
    cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    gtest_add_tests(TARGET ${target} TEST_PREFIX "${target}." TEST_LIST _tests)
    set_tests_properties(${_tests} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${ARG_TIMEOUT})
    if(ARG_SERIAL)
        set_tests_properties(${_tests} PROPERTIES RESOURCE_LOCK launcher)
    endif()
endfunction()
