#include <string_view>

#include "app/program.hpp"
#include "platform/linux/restore.hpp"
#include "wallpaper/install.hpp"

int main(int argc, char** argv) {
    // Run at login, before any window or application object: the last wallpaper, put back.
    if (argc == 2 && std::string_view(argv[1]) == "--restore") {
        return ornavel::platform::RestoreWallpaper(ornavel::Module1::WallpaperPath());
    }
    return ornavel::RunOrnavel(argc, argv);
}
