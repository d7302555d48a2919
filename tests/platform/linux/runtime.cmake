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
