#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <exception>

#include "platform/win32/bitmap.hpp"
#include "platform/win32/runtime.hpp"
#include "platform/win32/text.hpp"
#include "platform/window.hpp"

namespace ornavel::platform {
namespace {

bool g_running = false;
bool g_ending = false;
int g_status = 0;

}  // namespace

namespace win32 {

bool Running() { return g_running; }
void SetRunning(bool running) { g_running = running; }
bool Ending() { return g_ending; }
int EndStatus() { return g_status; }

namespace {

// Every window of the program disappears and the event loops return.
void CloseAll() {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            wchar_t name[32];
            if (GetClassNameW(window, name, 32) && lstrcmpW(name, kWindowClass) == 0) {
                ShowWindow(window, SW_HIDE);
            }
            return TRUE;
        },
        0);
    PostQuitMessage(g_status);
}

}  // namespace

void EndWith(int status) {
    if (!g_ending) g_status = status;
    g_ending = true;
    CloseAll();
}

void ReportEscapedError(const std::string& what) {
    if (g_ending) return;
    // No handler runs any more, also while the report is shown.
    g_ending = true;
    g_status = 1;
    const std::wstring text =
        L"Ошибка выполнения программы:\n\n" + Wide(what) + L"\n\nПрограмма будет закрыта.";
    MessageBoxW(GetActiveWindow(), text.c_str(), L"Ornavel", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    CloseAll();
}

bool PumpOne() {
    MSG message;
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : 1);
        return false;
    }
    if (!PreTranslate(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

}  // namespace win32

int RunProgram(int, char**, const std::function<std::shared_ptr<void>()>& start) {
    // The manifest asks for per-monitor scaling; this covers a program started without it. The
    // call exists from Windows 10 1703 on and is looked up, so that 1607 runs the program too.
    using SetAwareness = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (const auto set = reinterpret_cast<SetAwareness>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")))) {
        set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
    win32::EnsureCom();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    g_ending = false;
    g_status = 0;
    g_running = true;
    std::shared_ptr<void> program;
    try {
        program = start();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ornavel: %s\n", e.what());
        win32::ReportEscapedError(e.what());
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!win32::PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    program.reset();
    g_running = false;
    return g_status;
}

void EndProgram() { win32::EndWith(0); }

}  // namespace ornavel::platform
