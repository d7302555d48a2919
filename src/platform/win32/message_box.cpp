#include "platform/message_box.hpp"

#include <windows.h>

#include "platform/win32/text.hpp"

namespace ornavel::platform {

void ShowMessage(WindowHandle owner, const std::string& text) {
    MessageBoxW(reinterpret_cast<HWND>(owner), win32::Wide(text).c_str(), L"Ornavel",
                MB_OK | MB_ICONWARNING);
}

}  // namespace ornavel::platform
