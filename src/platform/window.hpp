#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/button.hpp"
#include "platform/file_list.hpp"
#include "platform/label.hpp"
#include "platform/layout.hpp"
#include "platform/list_box.hpp"
#include "platform/menu_entry.hpp"
#include "platform/picture_box.hpp"
#include "platform/window_handle.hpp"

namespace ornavel::platform {

// What a window tells its owner. Handlers run on the user-interface thread; an exception that
// escapes one is reported with the standard error report and ends the program.
class WindowEvents {
  public:
    virtual ~WindowEvents() = default;
    // A click on a button, a link label or a menu entry, or a change of a list box's selection.
    // A list's change is raised once the input already queued has been handled, so a burst of
    // changes (a held arrow key) raises one click, with the list on the entry it ended on.
    virtual void Click(std::string_view control) = 0;
};

// A window built from its layout, with its controls reachable by name. Asking for a name the
// layout does not hold, or for a control of another kind, is a programming error and throws
// std::logic_error.
class Window {
  public:
    virtual ~Window() = default;
    virtual WindowHandle NativeHandle() const = 0;
    virtual Label& GetLabel(std::string_view name) = 0;
    virtual Button& GetButton(std::string_view name) = 0;
    virtual MenuEntry& GetMenuEntry(std::string_view name) = 0;
    virtual ListBox& GetListBox(std::string_view name) = 0;
    virtual FileList& GetFileList(std::string_view name) = 0;
    // Images and picture boxes.
    virtual PictureBox& GetPictureBox(std::string_view name) = 0;
    // Gives the keyboard focus to a control.
    virtual void Focus(std::string_view name) = 0;
    // Shows the window centred on the screen and returns; for the start-up window.
    virtual void Show() = 0;
    // Shows the window centred on the screen, modal over every other window of the program, and
    // returns when it has been unloaded (by Unload or its close box).
    virtual void ShowModal() = 0;
    // Closes the window; a ShowModal in progress returns.
    virtual void Unload() = 0;
};

// Builds a window from its layout. The window is not shown yet.
std::unique_ptr<Window> LoadWindow(const layout::Window& layout, WindowEvents& events);

// Runs the program: sets up the window runtime, calls `start` (which builds and shows the first
// window and returns what must live while the program runs), and runs the event loop until the
// program ends. Returns the process's exit status. Without a display to connect to, it says so
// in one line on the standard error and returns non-zero.
int RunProgram(int argc, char** argv, const std::function<std::shared_ptr<void>()>& start);

// Ends the program at once: every window disappears and no further handler runs.
void EndProgram();

}  // namespace ornavel::platform
