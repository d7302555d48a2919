# The desktop wallpaper setters: the choice of setter from the session, the quoting each
# desktop's tool needs, and each setter against the real settings services where they run
# without their desktop (dconf and xfconfd on a private bus), a fake plasmashell on that bus, or a
# fake program.
find_package(Qt6 REQUIRED COMPONENTS Gui DBus)
find_package(PkgConfig REQUIRED)
find_package(X11 REQUIRED)
pkg_check_modules(ORNAVEL_GIO REQUIRED IMPORTED_TARGET gio-2.0)

add_executable(desktop_fake_tool ${CMAKE_CURRENT_LIST_DIR}/desktop_fake_tool.cpp)

ornavel_test(linux_desktop_test GUI X11
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/desktop_session_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/desktop_test.cpp
    LIBS ornavel_runtime Qt6::Gui Qt6::DBus PkgConfig::ORNAVEL_GIO X11::X11)
target_compile_definitions(linux_desktop_test PRIVATE
    ORNAVEL_FAKE_TOOL="$<TARGET_FILE:desktop_fake_tool>")
add_dependencies(linux_desktop_test desktop_fake_tool)

# GNOME before 42, in a process of its own with that schema on GSettings' keyfile store.
set(gnome41_schemas "${CMAKE_CURRENT_BINARY_DIR}/gnome41-schemas")
add_custom_command(
    OUTPUT "${gnome41_schemas}/gschemas.compiled"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${gnome41_schemas}"
    COMMAND glib-compile-schemas --targetdir=${gnome41_schemas} ${CMAKE_CURRENT_LIST_DIR}/gnome41
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/gnome41/org.gnome.desktop.background.gschema.xml)
add_custom_target(gnome41_schemas DEPENDS "${gnome41_schemas}/gschemas.compiled")
ornavel_test(linux_old_gnome_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/old_gnome_test.cpp
    LIBS ornavel_runtime PkgConfig::ORNAVEL_GIO
    ENV "GSETTINGS_SCHEMA_DIR=${gnome41_schemas}" "GSETTINGS_BACKEND=keyfile")
add_dependencies(linux_old_gnome_test gnome41_schemas)
