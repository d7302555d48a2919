ornavel_test(linux_picture_test GUI
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/picture_test.cpp
    LIBS ornavel_runtime)

find_package(X11 REQUIRED)
# Each screen test that changes the screen (its monitors, its pixel format) runs an Xvfb of its own.
ornavel_test(linux_x11_wallpaper_test X11
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/x11_wallpaper_test.cpp
    LIBS ornavel_runtime X11::Xrandr)

add_dependencies(linux_picture_test test_pictures)
