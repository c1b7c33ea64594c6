# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads, so std::thread works).
# Used both by scripts/windows-toolchain for the libraries it builds and by the `windows` preset;
# LUMETRA_MINGW_PREFIX names the folder those libraries were installed into.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-ranlib CACHE FILEPATH "")
if(NOT LUMETRA_MINGW_PREFIX AND DEFINED ENV{LUMETRA_MINGW_PREFIX})
    set(LUMETRA_MINGW_PREFIX $ENV{LUMETRA_MINGW_PREFIX})
endif()
# Neither given: where scripts/windows-toolchain installs.
if(NOT LUMETRA_MINGW_PREFIX AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-toolchain)
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-toolchain --prefix
                    OUTPUT_VARIABLE LUMETRA_MINGW_PREFIX OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(LUMETRA_MINGW_PREFIX "${LUMETRA_MINGW_PREFIX}" CACHE PATH
        "Where the Windows libraries are installed" FORCE)
endif()
set(LUMETRA_MINGW_PREFIX "${LUMETRA_MINGW_PREFIX}" CACHE PATH "Where the Windows libraries are installed")
# Try-compile projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMETRA_MINGW_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${LUMETRA_MINGW_PREFIX})
set(CMAKE_PREFIX_PATH ${LUMETRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Qt's moc, rcc and uic run on this machine: Debian's own Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
