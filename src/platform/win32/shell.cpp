#include "platform/shell.hpp"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/text.hpp"

namespace ornavel::platform {

void OpenInShell(const std::string& target) {
    const std::string file = win32::Ansi(target);
    // Empty texts, not null pointers, for the parameters and the directory; the program the shell
    // starts is asked to come up minimized.
    ShellExecuteA(nullptr, "open", file.c_str(), "", "", SW_SHOWMINIMIZED);
}

}  // namespace ornavel::platform
