#pragma once

// Driving real windows with window messages, from another thread or another process.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/environment_skip.hpp"

namespace ornavel::testing {

inline bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

#define SKIP_WITHOUT_DISPLAY() \
    if (!::ornavel::testing::HaveDisplay()) SKIP_OR_FAIL_IN_CI("no X display (DISPLAY is unset)")

// Polls `condition` until it holds; returns true then. After `milliseconds` without it, fails
// the test saying `what` it waited for, and returns false.
template <typename Condition>
bool WaitFor(std::string_view what, Condition condition, int milliseconds = 60000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            ADD_FAILURE() << "waited " << milliseconds / 1000.0 << " s in vain for " << what;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline std::wstring Text(HWND window) {
    wchar_t text[1024] = L"";
    DWORD_PTR ignored;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, &ignored);
    return text;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// Every top-level window of process `pid` (0: this process) of class `className`, shown or not.
inline std::vector<HWND> TopWindows(DWORD pid, const std::wstring& className) {
    struct Search {
        DWORD pid;
        const std::wstring& className;
        std::vector<HWND> found;
    } search{pid == 0 ? GetCurrentProcessId() : pid, className, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.pid && ClassOf(window) == s.className) s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A visible top-level window of process `pid` (0: this process) of class `className`, whose
// title is `title` when that is given. With `hiddenToo`, one not yet shown counts as well (a
// dialog is shown only once its own message loop first runs dry).
inline HWND FindTopWindow(DWORD pid, const std::wstring& className, const wchar_t* title = nullptr,
                          bool hiddenToo = false) {
    for (HWND window : TopWindows(pid, className)) {
        if ((hiddenToo || IsWindowVisible(window)) && (title == nullptr || Text(window) == title)) {
            return window;
        }
    }
    return nullptr;
}

// Waits for FindTopWindow to find one; fails the test, naming the window, when none comes.
inline HWND WaitForTopWindow(DWORD pid, const std::wstring& className,
                             const wchar_t* title = nullptr) {
    HWND found = nullptr;
    std::string what = "a window of class ";
    for (wchar_t c : className) what += static_cast<char>(c);
    if (title != nullptr) what += " with its expected title";
    WaitFor(what, [&] { return (found = FindTopWindow(pid, className, title)) != nullptr; });
    return found;
}

// Waits until the thread of `list`, a list box, has handled every message posted to its windows
// before the call, and what those handlers posted in turn: twice, a change of the list's
// horizontal extent (which the program never sets, and which shows nowhere without a horizontal
// scroll bar) is posted behind them and read back. A handler that ran meanwhile has ended, or has
// made the modal window it opens. Works across processes.
inline bool Settle(HWND list) {
    const auto extent = [list] {
        DWORD_PTR value = 0;
        SendMessageTimeoutW(list, LB_GETHORIZONTALEXTENT, 0, 0, SMTO_ABORTIFHUNG, 1000, &value);
        return value;
    };
    for (int round = 0; round < 2; ++round) {
        const DWORD_PTR mark = extent() == 1 ? 2 : 1;
        if (!PostMessageW(list, LB_SETHORIZONTALEXTENT, mark, 0)) {
            ADD_FAILURE() << "cannot post to the list: error " << GetLastError();
            return false;
        }
        if (!WaitFor("the program to handle a message posted after the others",
                     [&] { return extent() == mark; })) {
            return false;
        }
    }
    return true;
}

// A descendant of `parent` with control id `id`, or one of class `className`.
inline HWND FindDescendant(HWND parent, int id, const wchar_t* className = nullptr) {
    struct Search {
        int id;
        const wchar_t* className;
        HWND found = nullptr;
    } search{id, className};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            const bool match = s.className != nullptr ? ClassOf(window) == s.className
                                                      : GetDlgCtrlID(window) == s.id;
            if (!match) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// All the static texts of a dialog, one after the other: what a message box says.
inline std::wstring DialogText(HWND dialog) {
    std::wstring all;
    EnumChildWindows(
        dialog,
        [](HWND window, LPARAM param) -> BOOL {
            if (ClassOf(window) == L"Static")
                *reinterpret_cast<std::wstring*>(param) += Text(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// A Unix path as Wine shows it to Windows programs, through its Z: drive.
inline std::wstring DosPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

// ---- The shell's folder browser -------------------------------------------------------------

inline std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[MAX_PATH] = L"";
    TVITEMW info{};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = text;
    info.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
    return text;
}

inline std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The child of `item` whose text satisfies `match`, after expanding `item`.
template <typename Match>
HTREEITEM FindChild(HWND tree, HTREEITEM item, Match match) {
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    for (auto child = TreeView_GetChild(tree, item); child != nullptr;
         child = TreeView_GetNextSibling(tree, child)) {
        if (match(Lower(ItemText(tree, child)))) return child;
    }
    return nullptr;
}

// Selects `path` (a drive letter, a colon and folders) in the folder browser's tree, the way
// a user opens the computer, the drive and each folder in turn.
inline bool SelectFolder(HWND dialog, const std::filesystem::path& path) {
    HWND tree = FindDescendant(dialog, 0, WC_TREEVIEWW);
    if (tree == nullptr) return false;
    const std::wstring drive = Lower(path.root_name().wstring());  // "c:"
    HTREEITEM item = nullptr;
    for (auto top = TreeView_GetChild(tree, TreeView_GetRoot(tree)); top != nullptr && !item;
         top = TreeView_GetNextSibling(tree, top)) {
        item = FindChild(tree, top, [&](const std::wstring& text) {
            return text.find(drive) != std::wstring::npos;
        });
    }
    for (const auto& part : path.relative_path()) {
        if (item == nullptr) return false;
        const std::wstring name = Lower(part.wstring());
        item = FindChild(tree, item, [&](const std::wstring& text) { return text == name; });
    }
    return item != nullptr && TreeView_SelectItem(tree, item);
}

}  // namespace ornavel::testing
