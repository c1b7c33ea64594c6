# Where an install puts things, and the one call that installs a program.
if(WIN32)
    # A Windows program keeps its executables, libraries and plug-ins in one folder, found
    # beside the executable: the zip and the installer unpack that folder as it is.
    set(CMAKE_INSTALL_BINDIR .)
    set(CMAKE_INSTALL_LIBDIR .)
    set(CMAKE_INSTALL_DATADIR .)
endif()
include(GNUInstallDirs)

# The bridge libraries are the programs' private plug-ins, not libraries for others to link:
# they go to a folder of their own, which the programs find relative to their own folder, so an
# install into any prefix and an unpacked package work without a search path.
# On Windows they sit beside the programs, where a program looks for its DLLs.
if(WIN32)
    set(LUMETRA_INSTALL_LIBRARYDIR ${CMAKE_INSTALL_BINDIR})
    set(LUMETRA_LIBRARYDIR_FROM_BINDIR .)
else()
    set(LUMETRA_INSTALL_LIBRARYDIR ${CMAKE_INSTALL_LIBDIR}/lumetra)
    file(RELATIVE_PATH LUMETRA_LIBRARYDIR_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR}
         ${CMAKE_INSTALL_PREFIX}/${LUMETRA_INSTALL_LIBRARYDIR})
endif()
set(LUMETRA_INSTALL_UDEVRULESDIR lib/udev/rules.d CACHE STRING
    "Folder, under the prefix unless absolute, for the udev rule that opens the cable to the user")

# lumetra_harden(<target>...): the hardening Debian's own packages get from dpkg-buildflags
# (hardening=+all) for what is installed: checked buffer functions where the optimiser can see
# sizes, a stack protector, and every symbol bound and the relocations made read-only at start.
# The sanitizer and fuzz builds bring checks of their own.
function(lumetra_harden)
    if(NOT UNIX OR LUMETRA_SANITIZE OR LUMETRA_FUZZ OR LUMETRA_TSAN)
        return()
    endif()
    foreach(target IN LISTS ARGN)
        target_compile_definitions(${target} PRIVATE
            $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
        target_compile_options(${target} PRIVATE -fstack-protector-strong
                                                 -fstack-clash-protection)
        get_target_property(type ${target} TYPE)
        if(NOT type STREQUAL "STATIC_LIBRARY")
            target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
        endif()
    endforeach()
endfunction()

# lumetra_install_program(<target>): installs the program onto the PATH with its manual page,
# dist/<target>.1 (compressed, as Debian ships them), and has the install and package tests
# check it. A new program needs only this line beside its add_executable.
function(lumetra_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    lumetra_harden(${target})
    set(page ${PROJECT_SOURCE_DIR}/dist/${target}.1)
    if(WIN32)
        set_property(GLOBAL APPEND PROPERTY LUMETRA_PROGRAMS ${target})
        return()
    endif()
    if(NOT EXISTS ${page})
        message(FATAL_ERROR "${target} has no manual page: write dist/${target}.1")
    endif()
    if(UNIX)
        set(packed ${CMAKE_BINARY_DIR}/man/${target}.1.gz)
        add_custom_command(OUTPUT ${packed}
            COMMAND ${CMAKE_COMMAND} -E copy ${page} ${CMAKE_BINARY_DIR}/man/${target}.1
            COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${target}.1
            DEPENDS ${page} VERBATIM)
        add_custom_target(${target}_manpage ALL DEPENDS ${packed})
        install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    set_property(GLOBAL APPEND PROPERTY LUMETRA_PROGRAMS ${target})
endfunction()

# The program icon's sizes in the desktop's icon theme: dist/icons/lumetra-<size>.png each.
set(LUMETRA_ICON_SIZES 16 22 24 32 48 64 128 256)

# lumetra_windows_resources(<target> <file name> <description>): the program icon and the version
# resource Windows shows in Explorer's properties and the task manager.
function(lumetra_windows_resources target name description)
    set(LUMETRA_RC_NAME ${name})
    set(LUMETRA_RC_DESCRIPTION ${description})
    set(LUMETRA_RC_ICON ${PROJECT_SOURCE_DIR}/dist/icons/lumetra.ico)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/dist/windows/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
