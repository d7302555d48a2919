#include "app/program.hpp"
#include "platform/linux/command_line.hpp"

// An option does its work without a window, and without a display; no arguments start the window.
int main(int argc, char** argv) {
    if (const auto status = ornavel::platform::linux_qt::RunCommandLine(argc, argv)) return *status;
    return ornavel::RunOrnavel(argc, argv);
}
