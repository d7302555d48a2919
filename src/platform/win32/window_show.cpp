#include <windows.h>

#include "platform/win32/runtime.hpp"
#include "platform/win32/win32_window.hpp"

// Showing a window and closing it: centred on the primary monitor's work area, modal over the
// program's other windows until it is unloaded.
namespace ornavel::platform::win32 {

void Win32Window::Center() {
    RECT rect;
    GetWindowRect(hwnd_, &rect);
    // Centred on the primary monitor's work area.
    POINT origin{0, 0};
    HMONITOR monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int x = info.rcWork.left + (info.rcWork.right - info.rcWork.left - width) / 2;
    const int y = info.rcWork.top + (info.rcWork.bottom - info.rcWork.top - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::Show() {
    Center();
    if (focus_ == nullptr && !layout_.initialFocus.empty()) Focus(layout_.initialFocus);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    if (focus_ != nullptr) SetFocus(focus_);
}

void Win32Window::ShowModal() {
    // Every other window of the program takes no input until this one is unloaded.
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND other, LPARAM self) -> BOOL {
            auto* window = reinterpret_cast<Win32Window*>(self);
            wchar_t name[32];
            if (other != window->hwnd_ && IsWindowEnabled(other) &&
                GetClassNameW(other, name, 32) && lstrcmpW(name, kWindowClass) == 0) {
                EnableWindow(other, FALSE);
                window->disabled_.push_back(other);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
    Show();
    while (!Destroyed() && !Ending()) {
        if (!PumpOne()) break;
    }
    Destroy();
}

void Win32Window::Unload() { Destroy(); }

void Win32Window::ReenableOthers() {
    for (HWND other : disabled_) {
        if (IsWindow(other)) EnableWindow(other, TRUE);
    }
    disabled_.clear();
}

void Win32Window::Destroy() {
    if (hwnd_ == nullptr) return;
    // The windows a modal show disabled take input again before this one goes, so that the
    // system gives the activation back to them.
    HWND previous = disabled_.empty() ? nullptr : disabled_.front();
    ReenableOthers();
    if (previous != nullptr && IsWindow(previous) && !Ending()) {
        SetActiveWindow(previous);
    }
    HWND hwnd = hwnd_;
    DestroyWindow(hwnd);
}

}  // namespace ornavel::platform::win32
