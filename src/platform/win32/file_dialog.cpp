#include "platform/file_dialog.hpp"

#include <windows.h>

#include <commdlg.h>

#include "platform/environment.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

// The chosen path, up to its NUL, without blanks at either end.
template <typename Char>
std::basic_string<Char> Trimmed(const std::basic_string<Char>& buffer) {
    const std::basic_string<Char> chosen(buffer.c_str());
    const std::size_t first = chosen.find_first_not_of(Char(' '));
    if (first == std::basic_string<Char>::npos) return {};
    return chosen.substr(first, chosen.find_last_not_of(Char(' ')) - first + 1);
}

// The record of the open-file request in the character type of `Record`'s texts: its shorter
// form, which ends with lpTemplateName, filled with the same values in either form.
template <typename Record, typename Text>
void Fill(Record& request, DWORD size, HWND owner, const Text& filter, const Text& initialDirectory,
          const Text& caption, Text& file, Text& fileTitle) {
    ZeroMemory(&request, sizeof request);
    request.lStructSize = size;
    request.hwndOwner = owner;
    request.hInstance = GetModuleHandleW(nullptr);
    // The mask's own NULs separate its texts and the string's closing NUL ends the list.
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size() + 1);
    request.lpstrFileTitle = fileTitle.data();
    request.nMaxFileTitle = static_cast<DWORD>(fileTitle.size() + 1);
    request.lpstrInitialDir = initialDirectory.c_str();
    request.lpstrTitle = caption.c_str();
    request.Flags = 0;
}

}  // namespace

std::string BrowseForFile(const std::string& title, const std::string& mask, WindowHandle owner) {
    const HWND window = reinterpret_cast<HWND>(owner);
    const std::string initialDirectory = CurrentDirectory();
    if (win32::AnsiHolds(title) && win32::AnsiHolds(mask) && win32::AnsiHolds(initialDirectory)) {
        const std::string filter = win32::Ansi(mask), folder = win32::Ansi(initialDirectory),
                          caption = win32::Ansi(title);
        std::string file(254, ' '), fileTitle(254, ' ');
        OPENFILENAMEA request;
        Fill(request, OPENFILENAME_SIZE_VERSION_400A, window, filter, folder, caption, file,
             fileTitle);
        if (!GetOpenFileNameA(&request)) return {};
        return win32::Utf8FromAnsi(Trimmed(file));
    }
    // Texts the ANSI code page cannot hold would reach the dialog as "???": the same request
    // through the wide form.
    const std::wstring filter = win32::Wide(mask), folder = win32::Wide(initialDirectory),
                       caption = win32::Wide(title);
    std::wstring file(254, L' '), fileTitle(254, L' ');
    OPENFILENAMEW request;
    Fill(request, OPENFILENAME_SIZE_VERSION_400W, window, filter, folder, caption, file, fileTitle);
    if (!GetOpenFileNameW(&request)) return {};
    return win32::Utf8(Trimmed(file));
}

}  // namespace ornavel::platform
