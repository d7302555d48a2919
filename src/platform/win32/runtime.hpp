#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/layout.hpp"

// What the window runtime's parts share: the program's state, its window classes and the ids
// by which the controls of a window can be found from outside (by tests, by accessibility tools).
namespace ornavel::platform::win32 {

// The class of every top-level window the program makes.
inline constexpr wchar_t kWindowClass[] = L"OrnavelWindow";

// Control ids: the first control of a layout table gets kFirstControlId, the next one more;
// menu entries likewise from kFirstMenuId.
inline constexpr int kFirstControlId = 100;
inline constexpr int kFirstMenuId = 1000;

// The id of a control or menu entry of `window`, or -1 when the layout has no such name.
int ControlId(const layout::Window& window, std::string_view name);

// True while RunProgram's event loop runs.
bool Running();
void SetRunning(bool running);

// True once the program is ending: no further handler runs.
bool Ending();

// Ends the program with `status`: every window of the program disappears at once and the
// event loops return.
void EndWith(int status);
int EndStatus();

// The standard error report for an error that escaped an event handler; then the program ends
// with a non-zero status.
void ReportEscapedError(const std::string& what);

// Lets the runtime handle keys a dialog manager would (Tab between controls, Enter on a button)
// before `message` is dispatched. Returns true when it was handled.
bool PreTranslate(MSG& message);

// Runs one event of a nested loop; returns false once WM_QUIT arrived (it is posted again for
// the outer loop).
bool PumpOne();

}  // namespace ornavel::platform::win32
