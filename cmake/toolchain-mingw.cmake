# Cross compilation with mingw-w64 (posix threads variant). VEMRA_ARCH picks i686 (the product)
# or x86_64 (the test twin on machines that cannot execute 32-bit code).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT VEMRA_ARCH)
    set(VEMRA_ARCH "$ENV{VEMRA_ARCH}")
endif()
if(NOT VEMRA_ARCH)
    set(VEMRA_ARCH i686)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEMRA_ARCH)
set(CMAKE_SYSTEM_PROCESSOR ${VEMRA_ARCH})

set(_vemra_triple ${VEMRA_ARCH}-w64-mingw32)
# The unsuffixed names are alternatives that may point at the win32-threads variant.
set(CMAKE_C_COMPILER ${_vemra_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_vemra_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_vemra_triple}-windres)
set(CMAKE_OBJDUMP ${_vemra_triple}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${_vemra_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
