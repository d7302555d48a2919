// What assistive technology reads of the windows through MSAA, the way a screen reader asks for
// it (WM_GETOBJECT, from another thread), and the windows driven with the keyboard alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <oleacc.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "about/about_layout.hpp"
#include "app/main_layout.hpp"
#include "drive.hpp"
#include "platform/win32/runtime.hpp"
#include "platform/window.hpp"

namespace ornavel::platform {
namespace {

using ornavel::testing::FindDescendant;
using ornavel::testing::WaitFor;

struct Recorder : WindowEvents {
    std::vector<std::string> clicks;
    void Click(std::string_view control) override { clicks.emplace_back(control); }
};

// What MSAA says of a window's client object.
struct Told {
    long role = 0;
    std::wstring name, description, action;
    long state = 0;
};

// Asks for a text and takes it over; "" when there is none.
template <typename Question>
std::wstring TextOf(Question question) {
    BSTR text = nullptr;
    const HRESULT result = question(&text);
    std::wstring taken = SUCCEEDED(result) && text != nullptr ? text : L"";
    SysFreeString(text);
    return taken;
}

Told Ask(HWND hwnd, long child = CHILDID_SELF) {
    Told told;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
        ADD_FAILURE() << "no accessible object";
        return told;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = child;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accRole(self, &value)) && value.vt == VT_I4) told.role = value.lVal;
    VariantClear(&value);
    if (SUCCEEDED(object->get_accState(self, &value)) && value.vt == VT_I4) told.state = value.lVal;
    VariantClear(&value);
    told.name = TextOf([&](BSTR* text) { return object->get_accName(self, text); });
    told.description = TextOf([&](BSTR* text) { return object->get_accDescription(self, text); });
    told.action = TextOf([&](BSTR* text) { return object->get_accDefaultAction(self, text); });
    object->Release();
    return told;
}

HWND Control(HWND top, const layout::Window& table, std::string_view name) {
    return FindDescendant(top, win32::ControlId(table, name));
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

void Press(HWND control, WPARAM key) { PostMessageW(control, WM_KEYDOWN, key, 1); }

// Both windows at once, each with its own events; `user` plays on another thread and ends the
// program when done.
template <typename User>
void RunBoth(Recorder& mainEvents, Recorder& aboutEvents, User user) {
    std::unique_ptr<Window> main, about;
    std::thread other;
    RunProgram(0, nullptr, [&] {
        main = LoadWindow(kMainLayout, mainEvents);
        about = LoadWindow(kAboutLayout, aboutEvents);
        main->Show();
        about->Show();
        other = std::thread([&, m = reinterpret_cast<HWND>(main->NativeHandle()),
                             a = reinterpret_cast<HWND>(about->NativeHandle())] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            user(m, a);
            CoUninitialize();
            PostMessageW(m, WM_CLOSE, 0, 0);
            if (IsWindow(a)) PostMessageW(a, WM_CLOSE, 0, 0);
        });
        return std::shared_ptr<void>();
    });
    other.join();
}

class Accessibility : public ::testing::Test {
  protected:
    void SetUp() override { SKIP_WITHOUT_DISPLAY(); }
    Recorder mainEvents, aboutEvents;
};

TEST_F(Accessibility, EveryControlTellsItsRoleAndARussianName) {
    struct Expected {
        long role;
        std::wstring name;
    };
    const std::map<std::string_view, Expected> mainControls{
        {"List1", {ROLE_SYSTEM_LIST, L"Список"}},
        {"Command1", {ROLE_SYSTEM_PUSHBUTTON, L"Установить"}},
        {"Command2", {ROLE_SYSTEM_PUSHBUTTON, L"Выбрать папку"}},
        {"Image1", {ROLE_SYSTEM_GRAPHIC, L"Предпросмотр"}},
        {"Label1", {ROLE_SYSTEM_STATICTEXT, L"Предпросмотр"}},
        {"Label2", {ROLE_SYSTEM_STATICTEXT, L"Список"}},
        {"Stat", {ROLE_SYSTEM_STATICTEXT, L"Папка"}},
    };
    const std::map<std::string_view, Expected> aboutControls{
        {"Command1", {ROLE_SYSTEM_PUSHBUTTON, L"Закрыть"}},
        {"Label10", {ROLE_SYSTEM_STATICTEXT, L"Ornavel"}},
        {"Label11", {ROLE_SYSTEM_STATICTEXT, L"Разработчик:"}},
        {"Label5", {ROLE_SYSTEM_STATICTEXT, L"Сайт программы:"}},
    };
    std::map<std::string, Told> told;
    std::map<std::string, Told> links;
    Told dialog, shadow, icon, entry, preview, stat;
    bool labelsBefore = false;
    RunBoth(mainEvents, aboutEvents, [&](HWND main, HWND about) {
        for (const auto& [name, expected] : mainControls) {
            told["main " + std::string(name)] = Ask(Control(main, kMainLayout, name));
        }
        for (const auto& [name, expected] : aboutControls) {
            told["about " + std::string(name)] = Ask(Control(about, kAboutLayout, name));
        }
        for (const char* name : {"Label3", "Label6", "Label8"}) {
            links[name] = Ask(Control(about, kAboutLayout, name));
        }
        dialog = Ask(about);
        shadow = Ask(Control(main, kMainLayout, "Label4"));
        icon = Ask(Control(about, kAboutLayout, "Image1"));
        labelsBefore = GetWindow(Control(main, kMainLayout, "List1"), GW_HWNDPREV) ==
                           Control(main, kMainLayout, "Label2") &&
                       GetWindow(Control(main, kMainLayout, "Image1"), GW_HWNDPREV) ==
                           Control(main, kMainLayout, "Label1");

        // The selected entry and the preview are described by the size text; the status line by
        // the folder.
        HWND list = Control(main, kMainLayout, "List1");
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"лес.jpg"));
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"море.bmp"));
        SendMessageW(list, LB_SETCURSEL, 1, 0);
        SendMessageW(Control(main, kMainLayout, "Label3"), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(L"640 x 480"));
        SendMessageW(Control(main, kMainLayout, "Stat"), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(L"C:\\Картинки"));
        entry = Ask(list, 2);
        preview = Ask(Control(main, kMainLayout, "Image1"));
        stat = Ask(Control(main, kMainLayout, "Stat"));
    });
    for (const auto& [name, expected] : mainControls) {
        EXPECT_EQ(told["main " + std::string(name)].role, expected.role) << name;
        EXPECT_EQ(told["main " + std::string(name)].name, expected.name) << name;
    }
    for (const auto& [name, expected] : aboutControls) {
        EXPECT_EQ(told["about " + std::string(name)].role, expected.role) << name;
        EXPECT_EQ(told["about " + std::string(name)].name, expected.name) << name;
    }
    for (const auto& [name, link] : links) {
        EXPECT_EQ(link.role, ROLE_SYSTEM_LINK) << name;
        EXPECT_FALSE(link.name.empty()) << name;
        EXPECT_FALSE(link.description.empty()) << name << ": its tooltip";
        EXPECT_TRUE(link.state & STATE_SYSTEM_FOCUSABLE) << name;
        EXPECT_FALSE(link.action.empty()) << name;
    }
    EXPECT_EQ(dialog.role, ROLE_SYSTEM_DIALOG);
    EXPECT_TRUE(shadow.state & STATE_SYSTEM_INVISIBLE) << "the size's shadow is drawn only";
    EXPECT_TRUE(shadow.name.empty());
    EXPECT_TRUE(icon.state & STATE_SYSTEM_INVISIBLE);
    EXPECT_TRUE(labelsBefore) << "a label lies just before the control it names";
    EXPECT_EQ(entry.name, L"море.bmp");
    EXPECT_EQ(entry.role, ROLE_SYSTEM_LISTITEM);
    EXPECT_TRUE(entry.state & STATE_SYSTEM_SELECTED);
    EXPECT_EQ(entry.description, L"640 x 480");
    EXPECT_EQ(preview.description, L"640 x 480");
    EXPECT_EQ(stat.description, L"C:\\Картинки");
}

TEST_F(Accessibility, TheKeyboardAloneReachesAndPressesEveryControl) {
    bool tabbedThroughLinks = false, escapeClosed = false, escapeLeftMain = false;
    bool settledBeforeEnabling = false, settledAtTheEnd = false;
    RunBoth(mainEvents, aboutEvents, [&](HWND main, HWND about) {
        // About: Tab goes from «Закрыть» through the three links in reading order and back.
        HWND close = Control(about, kAboutLayout, "Command1");
        SetForegroundWindow(about);
        std::vector<HWND> order;
        HWND at = close;
        for (int i = 0; i < 4; ++i) {
            Press(at, VK_TAB);
            const HWND from = at;
            WaitFor("the focus to move on in the About window",
                    [&] { return FocusOf(about) != from && FocusOf(about) != nullptr; });
            at = FocusOf(about);
            order.push_back(at);
        }
        tabbedThroughLinks =
            order == std::vector<HWND>{Control(about, kAboutLayout, "Label3"),
                                       Control(about, kAboutLayout, "Label6"),
                                       Control(about, kAboutLayout, "Label8"), close};
        Press(Control(about, kAboutLayout, "Label3"), VK_RETURN);
        Press(Control(about, kAboutLayout, "Label6"), VK_SPACE);
        Press(Control(about, kAboutLayout, "Label8"), VK_RETURN);
        Press(close, VK_RETURN);
        // Escape on a window that is no dialog changes nothing; on the About window it closes it.
        Press(Control(main, kMainLayout, "List1"), VK_ESCAPE);
        Press(close, VK_ESCAPE);
        escapeClosed =
            WaitFor("Escape to close the About window", [&] { return !IsWindow(about); });
        escapeLeftMain = IsWindow(main) != FALSE;

        // Main: Return on the list installs once a picture can be installed, as «Установить»
        // does; Return on a focused button presses it.
        HWND list = Control(main, kMainLayout, "List1");
        HWND install = Control(main, kMainLayout, "Command1");
        HWND folder = Control(main, kMainLayout, "Command2");
        // Keys are handled in the order they come: Tab moving the focus on shows that the keys
        // before it have been handled.
        auto settled = [&](HWND from, HWND to) {
            Press(from, VK_TAB);
            return WaitFor("the focus to reach the next control of the main window",
                           [&] { return FocusOf(main) == to; });
        };
        Press(list, VK_RETURN);
        settledBeforeEnabling = settled(list, folder);
        EnableWindow(install, TRUE);
        Press(list, VK_RETURN);
        Press(folder, VK_RETURN);
        settledAtTheEnd = settled(folder, install);
    });
    ASSERT_TRUE(settledBeforeEnabling && settledAtTheEnd) << "Tab did not move the focus on";
    EXPECT_TRUE(tabbedThroughLinks);
    EXPECT_EQ(aboutEvents.clicks,
              (std::vector<std::string>{"Label3", "Label6", "Label8", "Command1"}));
    EXPECT_TRUE(escapeClosed);
    EXPECT_TRUE(escapeLeftMain);
    EXPECT_EQ(mainEvents.clicks, (std::vector<std::string>{"Command1", "Command2"}));
}

}  // namespace
}  // namespace ornavel::platform
