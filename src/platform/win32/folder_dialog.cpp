#include "platform/folder_dialog.hpp"

#include <windows.h>

#include <shlobj.h>

#include <vector>

#include "platform/win32/bitmap.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {

std::string BrowseForFolder(const std::string& title, WindowHandle owner) {
    win32::EnsureCom();
    const std::string ansiTitle = win32::Ansi(title);
    std::vector<char> titleText(ansiTitle.begin(), ansiTitle.end());
    titleText.push_back('\0');

    BROWSEINFOA request;
    ZeroMemory(&request, sizeof request);
    request.hwndOwner = reinterpret_cast<HWND>(owner);
    request.lpszTitle = lstrcatA(titleText.data(), "");
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&request);
    if (item == nullptr) return {};

    std::vector<char> path(MAX_PATH, '\0');
    SHGetPathFromIDListA(item, path.data());
    // A name the ANSI code page cannot hold comes back with question marks or look-alike letters
    // ("Cafe" for "Café"), naming another folder or none: the path is then taken in full, so the
    // folder chosen is the folder listed.
    std::string chosen = win32::Utf8FromAnsi(std::string(path.data()));
    std::vector<wchar_t> wide(MAX_PATH, L'\0');
    if (SHGetPathFromIDListW(item, wide.data()) && wide[0] != L'\0') {
        chosen = win32::Utf8(std::wstring(wide.data()));
    }
    CoTaskMemFree(item);
    // The shell leaves the buffer untouched when the item has no file-system path.
    return chosen;
}

}  // namespace ornavel::platform
