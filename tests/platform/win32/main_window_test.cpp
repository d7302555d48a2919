// The main window in this process, on the real runtime, with the folder browser driven from a
// second thread: a change of folder after a preview, and installing with nothing to install.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/main_layout.hpp"
#include "app/program.hpp"
#include "drive.hpp"
#include "pictures.hpp"
#include "platform/environment.hpp"
#include "platform/win32/runtime.hpp"
#include "platform/win32/text.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace fs = std::filesystem;
namespace win32 = platform::win32;
using testing::DialogText;
using testing::FindDescendant;
using testing::Text;
using testing::WaitFor;
using testing::WaitForTopWindow;

class MainWindow : public ornavel::testing::TempDirTest {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        options_ = fs::path(win32::Wide(platform::SettingsDirectory())) / "options.ini";
        windows_ = dir.path() / "windows";
        fs::create_directories(windows_);
        GetEnvironmentVariableW(L"windir", savedWindir_, MAX_PATH);
        SetEnvironmentVariableW(L"windir", windows_.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"windir", savedWindir_);
        std::error_code ignored;
        fs::remove(options_, ignored);
    }

    fs::path options_, windows_;
    wchar_t savedWindir_[MAX_PATH] = L"";
};

TEST_F(MainWindow, AnotherFolderEmptiesThePreviewAndInstallingNothingWritesNothing) {
    const fs::path first = dir.path() / "first", second = dir.path() / "second";
    fs::create_directories(first);
    fs::create_directories(second);
    ornavel::testing::Encode((first / "a.bmp").string(), GUID_ContainerFormatBmp, 40, 30,
                             0xFF102030);
    ornavel::testing::Encode((second / "b.bmp").string(), GUID_ContainerFormatBmp, 9, 9,
                             0xFF102030);
    std::ofstream(options_, std::ios::binary) << "[Main]\r\nPath=" << first.string() << "\r\n";

    std::wstring stat, size, message;
    int count = -1;
    bool installEnabled = false, chosen = false;
    std::thread user([&] {
        HWND main = WaitForTopWindow(0, win32::kWindowClass, L"Ornavel");
        if (main == nullptr) return;
        auto control = [&](std::string_view name) {
            return FindDescendant(main, win32::ControlId(kMainLayout, name));
        };
        PostMessageW(control("List1"), WM_KEYDOWN, VK_HOME, 1);
        WaitFor("the first picture's size", [&] { return Text(control("Label3")) == L"40 x 30"; });
        PostMessageW(main, WM_COMMAND, win32::ControlId(kMainLayout, "select_folder"), 0);
        if (HWND browser = WaitForTopWindow(0, L"#32770")) {
            chosen = testing::SelectFolder(browser, second);
            SendMessageW(GetDlgItem(browser, chosen ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
        }
        WaitFor("the second folder shown",
                [&] { return Text(control("Stat")) == second.wstring(); });
        testing::Settle(control("List1"));
        stat = Text(control("Stat"));
        count = static_cast<int>(SendMessageW(control("List1"), LB_GETCOUNT, 0, 0));
        size = Text(control("Label3"));
        installEnabled = IsWindowEnabled(control("Command1"));
        PostMessageW(control("Command1"), BM_CLICK, 0, 0);
        if (HWND box = WaitForTopWindow(0, L"#32770")) {
            message = DialogText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        PostMessageW(main, WM_COMMAND, win32::ControlId(kMainLayout, "exit"), 0);
    });
    const int status = RunOrnavel(0, nullptr);
    user.join();
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(stat, second.wstring());
    EXPECT_EQ(count, 1);
    // The old size stays until the next preview; the install commands stay enabled.
    EXPECT_EQ(size, L"40 x 30");
    EXPECT_TRUE(installEnabled);
    EXPECT_NE(message.find(L"Нет изображения для установки"), std::wstring::npos);
    EXPECT_FALSE(fs::exists(windows_ / "wallpaper.bmp"));
    // The chosen folder was saved at once.
    EXPECT_NE(ornavel::testing::ReadFile(options_.string()).find("second"), std::string::npos);
}

}  // namespace
}  // namespace ornavel
