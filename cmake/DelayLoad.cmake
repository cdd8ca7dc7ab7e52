# Delay-loaded system DLLs. Under Wine every statically imported DLL is mapped and initialised before the
# entry point, with the DLLs it imports itself; a start that exits early (the game-exit notice) pays for
# all of them. A delay-import library resolves each function on its first call instead.
#
# The import names come from the toolchain's own import library: its `__imp_` symbols, written as a .def
# that dlltool turns into a delay-import library with the same symbol names. A target picks the delay
# libraries up by searching their folder first, so `-lgdiplus` from any library it links finds the delay
# version; other targets keep the ordinary import libraries. That lib<name>.a is a linker script naming the
# delay library first and the system library after it, for what the latter holds besides imports (GUIDs,
# small helpers).

set(VEMRA_DELAY_DIR "${CMAKE_BINARY_DIR}/delayload")
set(_vemra_delay_script "${CMAKE_CURRENT_LIST_DIR}/DelayDef.cmake")

# vemra_delay_import_library(out name dll [DEF file]): builds ${VEMRA_DELAY_DIR}/lib<name>.a for <dll>,
# from the system import library lib<name>.a, or from a given .def; <out> names the custom target.
function(vemra_delay_import_library out name dll)
    cmake_parse_arguments(ARG "" "DEF;DIR" "" ${ARGN})
    if(NOT ARG_DIR)
        set(ARG_DIR "${VEMRA_DELAY_DIR}")
    endif()
    set(_lib "${ARG_DIR}/lib${name}_delay.a")
    if(ARG_DEF)
        set(_def "${ARG_DEF}")
        set(_def_depends "${ARG_DEF}")
    else()
        find_file(_vemra_implib_${name} "lib${name}.a" PATHS "${CMAKE_FIND_ROOT_PATH}/lib" NO_DEFAULT_PATH
                  NO_CMAKE_FIND_ROOT_PATH)
        if(NOT _vemra_implib_${name})
            message(FATAL_ERROR "no import library lib${name}.a in ${CMAKE_FIND_ROOT_PATH}/lib")
        endif()
        set(_def "${ARG_DIR}/${name}.def")
        add_custom_command(OUTPUT "${_def}"
            COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} "-DLIB=${_vemra_implib_${name}}" -DDLL=${dll}
                    -DARCH=${VEMRA_ARCH} "-DOUT=${_def}" -P "${_vemra_delay_script}"
            DEPENDS "${_vemra_implib_${name}}" "${_vemra_delay_script}"
            COMMENT "Listing the exports of ${dll}" VERBATIM)
        set(_def_depends "${_def}")
    endif()
    # i686 names carry the stdcall suffix (@N) in their symbols; the DLL exports them without it.
    set(_kill_at "")
    if(VEMRA_ARCH STREQUAL "i686")
        set(_kill_at "--kill-at")
    endif()
    add_custom_command(OUTPUT "${_lib}"
        COMMAND ${CMAKE_DLLTOOL} --input-def "${_def}" --dllname ${dll} ${_kill_at} --output-delaylib "${_lib}"
        DEPENDS ${_def_depends}
        COMMENT "Delay-import library for ${dll}" VERBATIM)
    set(_inputs "\"${_lib}\"")
    if(NOT ARG_DEF)
        string(APPEND _inputs " \"${_vemra_implib_${name}}\"")
    endif()
    file(MAKE_DIRECTORY "${ARG_DIR}")
    file(WRITE "${ARG_DIR}/lib${name}.a" "INPUT ( ${_inputs} )\n")
    add_custom_target(${out} DEPENDS "${_lib}")
endfunction()

# vemra_delay_load(target DLL...): the target imports these system DLLs (by their import library's name,
# e.g. gdiplus) on first use. Its sources must define the failure hook (GameLoader/DelayLoadGuard.cpp).
function(vemra_delay_load target)
    foreach(_name IN LISTS ARGN)
        if(NOT TARGET vemra_delaylib_${_name})
            vemra_delay_import_library(vemra_delaylib_${_name} ${_name} ${_name}.dll)
        endif()
        add_dependencies(${target} vemra_delaylib_${_name})
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${VEMRA_DELAY_DIR}/lib${_name}_delay.a")
    endforeach()
    target_link_directories(${target} BEFORE PRIVATE "${VEMRA_DELAY_DIR}")
endfunction()
