# The program's command line: options run without a window, anything else is refused.
ornavel_test(linux_command_line_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp
    LIBS ornavel_app)
add_dependencies(linux_command_line_test ornavel)
