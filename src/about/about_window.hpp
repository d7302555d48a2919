#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "app/event_table.hpp"
#include "platform/window.hpp"

namespace ornavel {

// The About window. It exists only while shown: each showing builds it anew.
class About : public platform::WindowEvents {
  public:
    // Builds the window and shows it modally; returns when it has been closed.
    void Show();

    // Runs the handler Handlers() binds to the control; throws std::logic_error for a control
    // without one.
    void Click(std::string_view control) override;
    // Every clickable control of the layout, bound to its handler.
    static std::span<const Handler<About>> Handlers();

    void Command1_Click();
    void Label3_Click();
    void Label6_Click();
    void Label8_Click();

    // The window while it is shown, else null.
    platform::Window* window() { return window_.get(); }

  private:
    std::unique_ptr<platform::Window> window_;
};

}  // namespace ornavel
