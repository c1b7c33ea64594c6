# Where an install puts things, and the one call that installs a program.
include(GNUInstallDirs)

# The bridge libraries are the programs' private plug-ins, not libraries for others to link:
# they go to a folder of their own, which the programs find relative to their own folder, so an
# install into any prefix and an unpacked package work without a search path.
set(LUMETRA_INSTALL_LIBRARYDIR ${CMAKE_INSTALL_LIBDIR}/lumetra)
file(RELATIVE_PATH LUMETRA_LIBRARYDIR_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${LUMETRA_INSTALL_LIBRARYDIR})
set(LUMETRA_INSTALL_UDEVRULESDIR lib/udev/rules.d CACHE STRING
    "Folder, under the prefix unless absolute, for the udev rule that opens the cable to the user")

# lumetra_install_program(<target>): installs the program onto the PATH with its manual page,
# dist/<target>.1 (compressed, as Debian ships them), and has the install and package tests
# check it. A new program needs only this line beside its add_executable.
function(lumetra_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(page ${PROJECT_SOURCE_DIR}/dist/${target}.1)
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
