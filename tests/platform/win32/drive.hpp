#pragma once

// Driving real windows with window messages, from another thread or another process.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace ornavel::testing {

inline bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

#define SKIP_WITHOUT_DISPLAY() \
    if (!::ornavel::testing::HaveDisplay()) GTEST_SKIP() << "no X display (DISPLAY is unset)"

// Polls `condition` until it holds or `milliseconds` have passed; returns its last result.
template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
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

// A visible top-level window of process `pid` (0: this process) of class `className`, whose
// title is `title` when that is given.
inline HWND FindTopWindow(DWORD pid, const std::wstring& className,
                          const wchar_t* title = nullptr) {
    struct Search {
        DWORD pid;
        const std::wstring& className;
        const wchar_t* title;
        HWND found = nullptr;
    } search{pid == 0 ? GetCurrentProcessId() : pid, className, title};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s.pid || !IsWindowVisible(window) || ClassOf(window) != s.className) {
                return TRUE;
            }
            if (s.title != nullptr && Text(window) != s.title) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND WaitForTopWindow(DWORD pid, const std::wstring& className,
                             const wchar_t* title = nullptr) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopWindow(pid, className, title)) != nullptr; });
    return found;
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

}  // namespace ornavel::testing
