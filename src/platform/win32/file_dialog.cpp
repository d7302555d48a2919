#include "platform/file_dialog.hpp"

#include <windows.h>

#include <commdlg.h>

#include "platform/environment.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {

std::string BrowseForFile(const std::string& title, const std::string& mask, WindowHandle owner) {
    // The ANSI texts; the mask's own NULs separate its texts and the string's closing NUL ends
    // the list.
    const std::string filter = win32::Ansi(mask);
    const std::string initialDirectory = win32::Ansi(CurrentDirectory());
    const std::string caption = win32::Ansi(title);
    std::string file(254, ' ');
    std::string fileTitle(254, ' ');

    OPENFILENAMEA request;
    ZeroMemory(&request, sizeof request);
    // The record's shorter form, which ends with lpTemplateName.
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = reinterpret_cast<HWND>(owner);
    request.hInstance = GetModuleHandleW(nullptr);
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size() + 1);
    request.lpstrFileTitle = fileTitle.data();
    request.nMaxFileTitle = static_cast<DWORD>(fileTitle.size() + 1);
    request.lpstrInitialDir = initialDirectory.c_str();
    request.lpstrTitle = caption.c_str();
    request.Flags = 0;
    if (!GetOpenFileNameA(&request)) return {};

    // The chosen path, up to its NUL, without blanks at either end.
    std::string chosen(file.c_str());
    const std::size_t first = chosen.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    chosen = chosen.substr(first, chosen.find_last_not_of(' ') - first + 1);
    return win32::Utf8FromAnsi(chosen);
}

}  // namespace ornavel::platform
