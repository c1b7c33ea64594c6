# Which platform layer a build gets, and where the libraries outside Qt come from.
#
# LUMETRA_LINUX: the Linux layer (termios, udev, hidraw, signals) and the tests of Linux itself
# (kernel guests, udev, pseudo-terminals, the install and the Debian package).
# LUMETRA_WINDOWS: the Win32 layer; the libraries come from the prefix that
# scripts/windows-toolchain builds (LUMETRA_MINGW_PREFIX, see cmake/mingw-w64-x86_64.cmake).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(LUMETRA_LINUX ON)
else()
    set(LUMETRA_LINUX OFF)
endif()
if(WIN32)
    set(LUMETRA_WINDOWS ON)
    # The Win32 headers without their min/max macros and rarely used parts; every Windows API
    # call of ours names its wide (W) or 8-bit (A) form itself.
    add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
else()
    set(LUMETRA_WINDOWS OFF)
endif()

# lumetra_find_library(<target> HEADER <file> [SUFFIX <folder>] NAMES <library>...
#                       [LINK <more>...]): an imported target for a C library found by its
# header and library file below the find root (the cross build's prefix), where there is no
# pkg-config for the target system.
function(lumetra_find_library target)
    cmake_parse_arguments(L "" "HEADER;SUFFIX" "NAMES;LINK" ${ARGN})
    if(TARGET ${target})
        return()
    endif()
    find_path(${target}_INCLUDE_DIR ${L_HEADER} PATH_SUFFIXES ${L_SUFFIX} REQUIRED)
    find_library(${target}_LIBRARY NAMES ${L_NAMES} REQUIRED)
    add_library(${target} UNKNOWN IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES
        IMPORTED_LOCATION ${${target}_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${${target}_INCLUDE_DIR}
        INTERFACE_LINK_LIBRARIES "${L_LINK}")
endfunction()
