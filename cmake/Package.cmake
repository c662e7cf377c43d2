# Installing like a desktop program, and the Debian package (CPack).
#
# cmake --install puts the programs into bin/, the manual pages (compressed) into
# share/man/man1, the bash completion, and, with the window program, its menu entry, its
# icons in the hicolor theme (the SVG and PNG renderings from 16 to 256 px) and its AppStream
# metainfo. scripts/package.sh builds the .deb; ctest -L package checks both.
include(GNUInstallDirs)

set(TK_PKG_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TK_APP_ID cz.tk530.ControlPanel)
set(TK_ICON_SVG ${PROJECT_SOURCE_DIR}/resources/icons/tk530.svg)
set(TK_ICON_SIZES 16 22 24 32 48 64 128 256)
set(TK_GEN ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TK_GEN})

find_program(GZIP_EXE gzip REQUIRED)

# Compressed the way Debian wants it: best, and without the name and time stamp.
function(tk_gzip target source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${GZIP_EXE} -9nc ${source} > ${output}
        DEPENDS ${source}
        COMMENT "Compressing ${output}")
    add_custom_target(${target} ALL DEPENDS ${output})
endfunction()

# Programs.
foreach(program tk530 tk530ctl tk530-sim)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# Manual pages: tk530ctl and tk530-sim make theirs from their help; the window program's is
# written by hand.
set(TK_MAN_PAGES)
if(TARGET tk530ctl-man)
    list(APPEND TK_MAN_PAGES ${PROJECT_BINARY_DIR}/tools/cli/tk530ctl.1)
endif()
if(TARGET tk530-sim-man)
    list(APPEND TK_MAN_PAGES ${PROJECT_BINARY_DIR}/tools/sim/tk530-sim.1)
endif()
if(TARGET tk530)
    configure_file(${TK_PKG_DIR}/tk530.1.in ${TK_GEN}/tk530.1 @ONLY)
    list(APPEND TK_MAN_PAGES ${TK_GEN}/tk530.1)
endif()
foreach(page ${TK_MAN_PAGES})
    get_filename_component(name ${page} NAME)
    tk_gzip(man-${name} ${page} ${TK_GEN}/${name}.gz)
    install(FILES ${TK_GEN}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
if(TARGET tk530ctl-man)
    add_dependencies(man-tk530ctl.1 tk530ctl-man)
endif()
if(TARGET tk530-sim-man)
    add_dependencies(man-tk530-sim.1 tk530-sim-man)
endif()

# Bash completion, loaded on demand by the command's name.
if(TARGET tk530ctl AND EXISTS ${PROJECT_SOURCE_DIR}/tools/cli/completion/tk530ctl.bash)
    install(FILES ${PROJECT_SOURCE_DIR}/tools/cli/completion/tk530ctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tk530ctl)
endif()

# The menu entry, its icons and the software-centre description belong to the window program.
configure_file(${TK_PKG_DIR}/${TK_APP_ID}.metainfo.xml.in ${TK_GEN}/${TK_APP_ID}.metainfo.xml
    @ONLY)
if(TARGET tk530)
    install(FILES ${TK_PKG_DIR}/${TK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TK_GEN}/${TK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    if(EXISTS ${TK_ICON_SVG})
        install(FILES ${TK_ICON_SVG}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
        find_program(RSVG_CONVERT rsvg-convert REQUIRED)
        set(pngs)
        foreach(size ${TK_ICON_SIZES})
            set(png ${TK_GEN}/icons/${size}x${size}/tk530.png)
            add_custom_command(OUTPUT ${png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${TK_GEN}/icons/${size}x${size}
                COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${TK_ICON_SVG}
                DEPENDS ${TK_ICON_SVG}
                COMMENT "Icon ${size}x${size}")
            list(APPEND pngs ${png})
            install(FILES ${png}
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
        endforeach()
        add_custom_target(tk530-icons ALL DEPENDS ${pngs})
    else()
        message(STATUS "No program icon (${TK_ICON_SVG}) yet: the menu entry has none")
    endif()
endif()

# What Debian asks of every package's documentation folder.
set(TK_DOC ${CMAKE_INSTALL_DATADIR}/doc/tk530)
configure_file(${TK_PKG_DIR}/changelog.in ${TK_GEN}/changelog @ONLY)
# A package without a Debian revision is a native one: its changelog is changelog.gz.
tk_gzip(tk530-changelog ${TK_GEN}/changelog ${TK_GEN}/changelog.gz)
install(FILES ${TK_PKG_DIR}/copyright ${TK_GEN}/changelog.gz DESTINATION ${TK_DOC})

# The Debian package. Its dependencies come from the programs' libraries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tk530)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TK530 developers")
set(CPACK_PACKAGE_CONTACT "TK530 developers <developers@tk530.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel of the TK530 GSM gateway unit")
# CPack puts the summary first and indents the lines; an empty line becomes the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The PC program an installer uses to configure and watch a TK530 GSM gateway
unit over a serial cable or by dialling its data line through a modem: the
configuration, the GSM state, inputs and outputs, the clock and SMS messages.

The package holds the window program (tk530), its command-line companion for
scripts and terminals (tk530ctl) and a virtual unit for trying both without a
unit on the desk (tk530-sim).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins are loaded at run time, so shlibdeps cannot see them: the window needs the platform
# plugins to show at all and the SVG image plugin for its icons.
if(TARGET tk530)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
endif()
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")
include(CPack)

# The package test: install, run the installed programs as an ordinary user, build the .deb
# and lint it. It uses the built tree as it is; the sanitizer builds do not run it.
if(TK_BUILD_TESTS AND NOT TK_SANITIZE AND TARGET tk530ctl AND TARGET tk530-sim)
    add_test(NAME package
        COMMAND ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh ${PROJECT_BINARY_DIR}
                ${PROJECT_SOURCE_DIR})
    set_tests_properties(package PROPERTIES LABELS package TIMEOUT 300)
endif()
