ornavel_test(linux_picture_test GUI
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/picture_test.cpp
    LIBS ornavel_runtime)

ornavel_test(linux_x11_wallpaper_test X11
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/x11_wallpaper_test.cpp
    LIBS ornavel_runtime)
