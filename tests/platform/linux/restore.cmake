# The wallpaper back at the next login: the autostart entry as GLib's desktop-entry code starts
# it, and the real program's --restore in the sessions it meets.
pkg_check_modules(ORNAVEL_GIO_UNIX REQUIRED IMPORTED_TARGET gio-unix-2.0)
ornavel_test(linux_restore_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/autostart_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/restore_test.cpp
    LIBS ornavel_runtime PkgConfig::ORNAVEL_GIO_UNIX X11::X11)
target_compile_definitions(linux_restore_test PRIVATE
    ORNAVEL_FAKE_TOOL="$<TARGET_FILE:desktop_fake_tool>" ORNAVEL_PROGRAM="$<TARGET_FILE:ornavel>")
add_dependencies(linux_restore_test desktop_fake_tool ornavel)
