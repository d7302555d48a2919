#pragma once

#include <memory>
#include <string_view>

#include "platform/window.hpp"

namespace ornavel {

// The About window. It exists only while shown: each showing builds it anew.
class About : public platform::WindowEvents {
public:
    // Builds the window and shows it modally; returns when it has been closed.
    void Show();

    void Click(std::string_view control) override;

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
