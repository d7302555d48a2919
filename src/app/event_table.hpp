#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/layout.hpp"

// How a window's clicks reach its handlers: each window binds every clickable control of its
// layout to one member function in a table, written once in the window's own file. The front
// ends raise a click by control name; the table turns the name into the handler.
namespace ornavel {

template <typename Window>
struct Handler {
    std::string_view control;  // the control's name in the window's layout
    void (Window::*run)();
};

// Whether the front ends raise clicks for a control: buttons, link labels and list boxes (a
// change of the selection).
constexpr bool Clickable(const layout::Control& control) {
    switch (control.kind) {
        case layout::Kind::Button:
        case layout::Kind::ListBox:
            return true;
        case layout::Kind::Label:
            return control.link;
        default:
            return false;
    }
}

// Whether the front ends raise clicks for a menu entry: every entry inside a menu except its
// separator lines. The menus on the menu bar only open.
constexpr bool Clickable(const layout::MenuEntry& entry) {
    return !entry.parent.empty() && entry.caption != "-";
}

// Runs the handler bound to `control`. A window's table binds every clickable control of its
// layout, and a test checks that for each table, so a click on a control without a handler is
// a programming error: it throws std::logic_error and runs nothing.
template <typename Window>
void RunBoundHandler(std::span<const Handler<Window>> handlers, Window& window,
                     std::string_view control) {
    for (const Handler<Window>& handler : handlers) {
        if (handler.control == control) {
            (window.*handler.run)();
            return;
        }
    }
    throw std::logic_error("no handler for a click on " + std::string(control));
}

}  // namespace ornavel
