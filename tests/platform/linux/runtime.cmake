# The Linux window runtime on real Qt widgets: windows built from their tables, the controls'
# behaviour, and the program's start and end.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
ornavel_test(linux_runtime_test GUI
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/runtime_test.cpp
    LIBS ornavel_app Qt6::Test)

# RunProgram makes its own application object, so these tests live in a process of their own
# and start the real program for what happens without a display.
ornavel_test(linux_program_test GUI
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_test.cpp
    LIBS ornavel_app)
add_dependencies(linux_program_test ornavel)

# `cmake --install` puts the program, its desktop entry, icons, metainfo and manual pages where
# desktops, software centres and man find them.
set(install_check "${CMAKE_CURRENT_BINARY_DIR}/install_check.cmake")
file(WRITE "${install_check}" [=[
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file bin/ornavel share/applications/ornavel.desktop share/metainfo/${APP_ID}.metainfo.xml
             share/icons/hicolor/16x16/apps/ornavel.png share/icons/hicolor/32x32/apps/ornavel.png
             share/icons/hicolor/256x256/apps/ornavel.png share/icons/hicolor/scalable/apps/ornavel.svg
             share/man/man1/ornavel.1.gz share/man/ru/man1/ornavel.1.gz)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
file(STRINGS "${PREFIX}/share/applications/ornavel.desktop" entry)
foreach(line "Type=Application" "Exec=ornavel" "Icon=ornavel")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "the desktop entry lacks ${line}")
    endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
]=])
add_test(NAME linux_install
         COMMAND "${CMAKE_COMMAND}" -DBUILD=${CMAKE_BINARY_DIR}
                 -DPREFIX=${CMAKE_BINARY_DIR}/install-check -DAPP_ID=${ORNAVEL_APP_ID}
                 -P "${install_check}")

# What assistive technology is told of the windows, and the keyboard's reach.
ornavel_test(linux_accessibility_test GUI
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/accessibility_test.cpp
    LIBS ornavel_app ornavel_about Qt6::Test)
# The program as a screen reader meets it, over AT-SPI on buses of its own (at-spi2-core,
# python3-pyatspi) and through Orca's speech log (orca), driven with the keyboard alone.
# Debian's pyatspi is a module of Debian's own Python, whichever other Python comes first on the
# PATH.
find_program(ORNAVEL_DEBIAN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(ORNAVEL_DEBIAN_PYTHON)
    add_test(NAME linux_atspi
             COMMAND "${ORNAVEL_DEBIAN_PYTHON}" "${CMAKE_CURRENT_LIST_DIR}/atspi_test.py"
                     "$<TARGET_FILE:ornavel>")
    set_tests_properties(linux_atspi PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
    if(ORNAVEL_SANITIZE)
        # libxkbcommon-x11 (1.5) hands strndup a keymap name that is not NUL-terminated within
        # its length; the sanitizer's strndup reads one byte further and reports the library.
        set_tests_properties(linux_atspi PROPERTIES
            ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=path_list_append:intercept_strndup=0")
    endif()
endif()
