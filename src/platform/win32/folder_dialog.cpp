#include "platform/folder_dialog.hpp"

#include <windows.h>

#include <shlobj.h>

#include <vector>

#include "platform/win32/bitmap.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

// The item's own path through the wide form: "" when it has no file-system path.
std::string WidePath(PCIDLIST_ABSOLUTE item) {
    std::vector<wchar_t> path(MAX_PATH, L'\0');
    SHGetPathFromIDListW(item, path.data());
    return win32::Utf8(std::wstring(path.data()));
}

// The ANSI browser, for a title the ANSI code page holds.
std::string BrowseAnsi(const std::string& title, HWND owner) {
    const std::string ansiTitle = win32::Ansi(title);
    std::vector<char> titleText(ansiTitle.begin(), ansiTitle.end());
    titleText.push_back('\0');

    BROWSEINFOA request;
    ZeroMemory(&request, sizeof request);
    request.hwndOwner = owner;
    request.lpszTitle = lstrcatA(titleText.data(), "");
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&request);
    if (item == nullptr) return {};

    std::vector<char> path(MAX_PATH, '\0');
    SHGetPathFromIDListA(item, path.data());
    // The shell leaves the buffer untouched when the item has no file-system path.
    std::string chosen = win32::Utf8FromAnsi(std::string(path.data()));
    // A folder whose name the code page cannot hold comes back with "?" or look-alike letters,
    // a path that names another folder or none: the caller gets the folder the user chose.
    if (!chosen.empty()) {
        const std::string exact = WidePath(item);
        if (!exact.empty()) chosen = exact;
    }
    CoTaskMemFree(item);
    return chosen;
}

// The same request through the wide form, for a title the ANSI code page would turn into "???".
std::string BrowseWide(const std::string& title, HWND owner) {
    const std::wstring wideTitle = win32::Wide(title);
    std::vector<wchar_t> titleText(wideTitle.begin(), wideTitle.end());
    titleText.push_back(L'\0');

    BROWSEINFOW request;
    ZeroMemory(&request, sizeof request);
    request.hwndOwner = owner;
    request.lpszTitle = lstrcatW(titleText.data(), L"");
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&request);
    if (item == nullptr) return {};
    std::string chosen = WidePath(item);
    CoTaskMemFree(item);
    return chosen;
}

}  // namespace

std::string BrowseForFolder(const std::string& title, WindowHandle owner) {
    win32::EnsureCom();
    const HWND window = reinterpret_cast<HWND>(owner);
    return win32::AnsiHolds(title) ? BrowseAnsi(title, window) : BrowseWide(title, window);
}

}  // namespace ornavel::platform
