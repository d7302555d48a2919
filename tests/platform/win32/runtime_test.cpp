// The window runtime's own rules, in this process: the event loop, the standard error report,
// the end of the program, and modal windows. A second thread plays the user.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <stdexcept>
#include <thread>

#include "drive.hpp"
#include "platform/win32/runtime.hpp"
#include "platform/window.hpp"

namespace ornavel::platform {
namespace {

using ornavel::testing::DialogText;
using ornavel::testing::WaitFor;
using ornavel::testing::WaitForTopWindow;

constexpr std::array kControls{
    layout::Control{.name = "Go",
                    .kind = layout::Kind::Button,
                    .container = "",
                    .left = 8,
                    .top = 8,
                    .width = 80,
                    .height = 24,
                    .caption = "Go",
                    .tabIndex = 0},
    layout::Control{.name = "Off",
                    .kind = layout::Kind::Button,
                    .container = "",
                    .left = 8,
                    .top = 40,
                    .width = 80,
                    .height = 24,
                    .caption = "Off",
                    .enabled = false,
                    .tabIndex = 1},
};
const layout::Window kLayout{.name = "Test",
                             .caption = "Runtime test",
                             .clientWidth = 200,
                             .clientHeight = 100,
                             .minimizeBox = false,
                             .font = {},
                             .icon = layout::Art::None,
                             .initialFocus = "Go",
                             .controls = kControls,
                             .menu = {}};
const layout::Window kSecondLayout{.name = "Second",
                                   .caption = "Second window",
                                   .clientWidth = 200,
                                   .clientHeight = 100,
                                   .minimizeBox = false,
                                   .font = {},
                                   .icon = layout::Art::None,
                                   .initialFocus = "Go",
                                   .controls = kControls,
                                   .menu = {}};

// Does what each test asks when "Go" is clicked and counts the clicks.
struct Events : WindowEvents {
    std::function<void()> onGo;
    int clicks = 0;
    void Click(std::string_view control) override {
        ++clicks;
        if (control == "Go" && onGo) onGo();
    }
};

// Runs the program with one window; `user` runs on another thread with that window.
template <typename User>
int RunWindow(Events& events, User user) {
    std::unique_ptr<Window> window;
    std::thread other;
    const int status = RunProgram(0, nullptr, [&] {
        window = LoadWindow(kLayout, events);
        window->Show();
        other =
            std::thread([&, hwnd = reinterpret_cast<HWND>(window->NativeHandle())] { user(hwnd); });
        return std::shared_ptr<void>();
    });
    other.join();
    return status;
}

HWND Button(HWND window, std::string_view name) {
    return GetDlgItem(window, win32::ControlId(kLayout, name));
}

// Waits until the thread of `button` has handled what was posted to its window before the call,
// and what those handlers posted in turn: the button's pushed look, which nothing else changes
// here, is set and then cleared again through the queue. Ends early when the window is gone.
void Settle(HWND button) {
    for (const bool pushed : {true, false}) {
        PostMessageW(button, BM_SETSTATE, pushed, 0);
        WaitFor("the window to handle a message posted after the others", [&] {
            const bool shown = (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
            return !IsWindow(button) || shown == pushed;
        });
    }
}

class Runtime : public ::testing::Test {
  protected:
    void SetUp() override { SKIP_WITHOUT_DISPLAY(); }
};

TEST_F(Runtime, AnErrorEscapingAHandlerIsReportedAndEndsTheProgram) {
    Events events;
    events.onGo = [] { throw std::runtime_error("сбой в обработчике"); };
    std::wstring report;
    const int status = RunWindow(events, [&](HWND window) {
        PostMessageW(Button(window, "Go"), BM_CLICK, 0, 0);
        HWND box = WaitForTopWindow(0, L"#32770");
        if (box == nullptr) return;
        report = DialogText(box);
        // No further handler runs once the report is up.
        PostMessageW(Button(window, "Go"), BM_CLICK, 0, 0);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_NE(status, 0);
    EXPECT_NE(report.find(L"сбой в обработчике"), std::wstring::npos);
    EXPECT_EQ(events.clicks, 1);
}

TEST_F(Runtime, EndProgramEndsAtOnceWithSuccess) {
    Events events;
    events.onGo = [] { EndProgram(); };
    bool hiddenAtOnce = false;
    const int status = RunWindow(events, [&](HWND window) {
        SendMessageW(Button(window, "Go"), BM_CLICK, 0, 0);
        hiddenAtOnce = !IsWindowVisible(window);
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(hiddenAtOnce);
}

TEST_F(Runtime, AModalWindowBlocksTheOtherUntilUnloadedAndDisabledButtonsRaiseNothing) {
    Events events, secondEvents;
    std::unique_ptr<Window> second;
    bool returned = false, stillModal = false;
    events.onGo = [&] {
        second = LoadWindow(kSecondLayout, secondEvents);
        // Its "Go", clicked once Escape has been handled, finds the window still modal.
        secondEvents.onGo = [&] {
            stillModal = !returned;
            second->Unload();
        };
        second->ShowModal();
        returned = true;
        EndProgram();
    };
    bool firstDisabled = false;
    const int status = RunWindow(events, [&](HWND window) {
        PostMessageW(Button(window, "Go"), BM_CLICK, 0, 0);
        HWND other = WaitForTopWindow(0, win32::kWindowClass, L"Second window");
        if (other == nullptr) return;
        firstDisabled = !IsWindowEnabled(window);
        SendMessageW(GetDlgItem(other, win32::ControlId(kSecondLayout, "Off")), BM_CLICK, 0, 0);
        PostMessageW(other, WM_KEYDOWN, VK_ESCAPE, 1);
        Settle(GetDlgItem(other, win32::ControlId(kSecondLayout, "Off")));
        PostMessageW(GetDlgItem(other, win32::ControlId(kSecondLayout, "Go")), BM_CLICK, 0, 0);
        WaitFor("the second window to close", [&] { return !IsWindow(other); });
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(firstDisabled);
    EXPECT_TRUE(stillModal) << "Escape closed the modal window before its button was clicked";
    EXPECT_TRUE(returned);
    EXPECT_EQ(secondEvents.clicks, 1);  // "Go" only: "Off" is disabled and raised nothing
}

}  // namespace
}  // namespace ornavel::platform
