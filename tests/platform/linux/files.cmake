# Files written whole: a killed writer's temporary is removed by the next write.
ornavel_test(linux_wallpaper_file_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wallpaper_file_test.cpp
    LIBS ornavel_runtime)
