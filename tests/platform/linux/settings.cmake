# The Linux system services: the settings file on disk, the file list, the environment.
ornavel_test(linux_settings_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_file_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/file_list_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/environment_test.cpp
    LIBS ornavel_system)
