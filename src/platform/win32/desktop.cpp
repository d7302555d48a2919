#include "platform/desktop.hpp"

#include <windows.h>

#include "platform/error.hpp"
#include "platform/win32/reason.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {

// Windows reads the file itself; the picture is not needed.
void SetSystemWallpaper(const std::string& path, const Picture&) {
    std::string ansi = win32::Ansi(path);
    // Every bit of the last argument is set: that includes saving the setting and broadcasting
    // the change.
    SetLastError(ERROR_SUCCESS);
    if (!SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, ansi.data(), 0xFFFFFFFF)) {
        const DWORD error = GetLastError();
        throw Error(error == ERROR_SUCCESS ? std::string("система отказала")
                                           : win32::ReasonFromSystemError(error));
    }
}

}  // namespace ornavel::platform
