#include "app/program.hpp"
#include "platform/linux/command_line.hpp"
#include "platform/linux/restore.hpp"
#include "wallpaper/install.hpp"

// An option does its work without a window; no arguments start the window.
int main(int argc, char** argv) {
    using namespace ornavel;
    const platform::linux_qt::CommandLineActions actions{
        .restore = [] { return platform::RestoreWallpaper(Module1::WallpaperPath()); }};
    if (const auto status = platform::linux_qt::RunCommandLine(argc, argv, actions)) return *status;
    return RunOrnavel(argc, argv);
}
