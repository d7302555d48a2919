// The main window and its settings file under the real API, with the real folder browser driven
// from a second thread: a chosen folder is remembered exactly or the user is told at once, and
// every start-up message is shown once.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "app/main_layout.hpp"
#include "app/program.hpp"
#include "drive.hpp"
#include "pictures.hpp"
#include "platform/environment.hpp"
#include "platform/picture.hpp"
#include "platform/profile.hpp"
#include "platform/win32/runtime.hpp"
#include "platform/win32/text.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace fs = std::filesystem;
namespace win32 = platform::win32;
using testing::DialogText;
using testing::FindDescendant;
using testing::FindTopWindow;
using testing::Text;
using testing::WaitFor;

// What one run of the program showed.
struct Shown {
    std::vector<std::wstring> messages;
    bool browsed = false;
    std::wstring stat;
    int listed = -1;
};

class Settings : public ornavel::testing::TempDirTest {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        options_ = fs::path(win32::Wide(platform::SettingsDirectory())) / "options.ini";
        Clear();
    }
    void TearDown() override { Clear(); }

    void Clear() {
        std::error_code ignored;
        SetFileAttributesW(options_.c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(options_, ignored);
    }

    // A folder holding one picture.
    fs::path Folder(const std::wstring& name) {
        const fs::path folder = dir.path() / name;
        fs::create_directories(folder.parent_path());
        // The C++ library's own call does not take every name the system does.
        if (!CreateDirectoryW(folder.c_str(), nullptr)) {
            ADD_FAILURE() << "cannot make the folder: error " << GetLastError();
        }
        ornavel::testing::Encode(win32::Utf8((folder / L"a.bmp").wstring()),
                                 GUID_ContainerFormatBmp, 4, 4, 0xFF102030);
        return folder;
    }

    // Runs the program until its window is shown: the folder browser, if it opens, chooses
    // `choose` (cancelled when empty), and every message box is read and closed, each once: a box
    // is known by its handle, so one that is slow to close is not counted again.
    Shown Start(const fs::path& choose = {}) {
        Shown run;
        const DWORD program = GetCurrentThreadId();
        std::thread user([&] {
            std::set<HWND> seen;
            const auto take = [&](HWND box) {
                seen.insert(box);
                // The program's message boxes carry its name; the browser, the shell's.
                if (Text(box) != L"Ornavel") {
                    WaitFor("the browser's folder tree",
                            [&] { return FindDescendant(box, 0, WC_TREEVIEWW) != nullptr; });
                    run.browsed = true;
                    const bool chosen = !choose.empty() && testing::SelectFolder(box, choose);
                    SendMessageW(GetDlgItem(box, chosen ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
                } else {
                    run.messages.push_back(DialogText(box));
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                }
            };
            const auto takeNew = [&](bool hiddenToo) {
                for (HWND box : testing::TopWindows(0, L"#32770")) {
                    if (!seen.contains(box) && (hiddenToo || IsWindowVisible(box))) take(box);
                }
            };
            // Generous: the shell's browser comes up slowly in a fresh Wine prefix.
            HWND main = nullptr;
            WaitFor(
                "the main window",
                [&] {
                    takeNew(false);
                    main = FindTopWindow(0, win32::kWindowClass, L"Ornavel");
                    return main != nullptr;
                },
                120000);
            if (main == nullptr) {
                // Ends every modal loop and then the program, so the test ends too.
                PostThreadMessageW(program, WM_QUIT, 0, 0);
                return;
            }
            HWND list = FindDescendant(main, win32::ControlId(kMainLayout, "List1"));
            // A message raised once the window is up exists by the time the program has handled
            // what was posted to it before now.
            testing::Settle(list);
            takeNew(true);
            run.listed = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
            run.stat = Text(FindDescendant(main, win32::ControlId(kMainLayout, "Stat")));
            PostMessageW(main, WM_COMMAND, win32::ControlId(kMainLayout, "exit"), 0);
        });
        RunOrnavel(0, nullptr);
        user.join();
        // Closing the program's windows may leave a quit message behind, which would end the
        // next run's folder browser at once.
        MSG left;
        while (PeekMessageW(&left, nullptr, 0, 0, PM_REMOVE)) {
        }
        return run;
    }

    std::string Saved() const { return ornavel::testing::ReadFile(options_.string()); }

    fs::path options_;
};

constexpr wchar_t kNotKept[] = L"» не будет запомнена: ";

// Under code page 1251, the ANSI code page of a Russian Windows, which holds Cyrillic names.
TEST_F(Settings, AFolderNameOutsideTheCodePageWorksAndIsToldOnceNeverSavedBroken) {
    ASSERT_EQ(GetACP(), 1251u);
    for (const std::wstring name : {L"图片", L"Фото📷", L"Café"}) {
        const fs::path folder = Folder(name);
        const Shown run = Start(folder);
        ASSERT_TRUE(run.browsed);
        ASSERT_EQ(run.messages.size(), 1u) << win32::Utf8(name);
        EXPECT_EQ(run.messages.front(),
                  L"Папка «" + folder.wstring() + kNotKept +
                      L"в имени есть знаки, которых нет в кодировке Windows (кодовая страница "
                      L"1251). До выхода из программы она остаётся открытой.");
        EXPECT_EQ(run.stat, folder.wstring());
        EXPECT_EQ(run.listed, 1) << "the folder chosen is the folder listed";
        EXPECT_FALSE(fs::exists(options_)) << Saved();
    }
}

TEST_F(Settings, BlanksAndQuotesAtTheEndsComeBackAndWhatCannotBeKeptIsTold) {
    for (const std::wstring name : {L"  two blanks before", L"'single quoted'", L"'quote"}) {
        Clear();
        const fs::path folder = Folder(name);
        Shown run = Start(folder);
        EXPECT_TRUE(run.messages.empty()) << win32::Utf8(run.messages.front());
        EXPECT_EQ(run.listed, 1);
        run = Start();
        EXPECT_FALSE(run.browsed) << Saved();
        EXPECT_EQ(run.stat, folder.wstring()) << Saved();
        EXPECT_EQ(run.listed, 1);
    }

    // Too long for the settings file: told, not cut, nothing saved.
    Clear();
    Shown run;
    fs::path deep = dir.path();
    while (deep.wstring().size() < 250) deep /= L"folder";
    const fs::path longFolder =
        Folder((deep / L"last").wstring().substr(dir.path().wstring().size() + 1));
    ASSERT_GT(longFolder.wstring().size(), 254u);
    run = Start(longFolder);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_NE(run.messages.front().find(L"путь длиннее 254 знаков"), std::wstring::npos)
        << win32::Utf8(run.messages.front());
    EXPECT_EQ(run.listed, 1);
    EXPECT_FALSE(fs::exists(options_)) << Saved();

    // A folder in the settings file's place: said when the program starts, and again why the
    // chosen folder will not be kept.
    fs::create_directory(options_);
    run = Start(Folder(L"first"));
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0],
              L"Файл настроек «" + options_.wstring() + L"» не прочитан: это папка.");
    EXPECT_NE(run.messages[1].find(L"не записан: это папка"), std::wstring::npos)
        << win32::Utf8(run.messages[1]);
    EXPECT_EQ(run.listed, 1);
}

TEST_F(Settings, ASettingsFileOverTheLimitIsRefusedUnreadAndTheWindowShows) {
    {
        std::ofstream big(options_, std::ios::binary);
        big << "[Main]\r\nPath=" << dir.path().string() << "\r\n";
    }
    fs::resize_file(options_, std::uintmax_t{64} << 20);
    const Shown run = Start();
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages.front(),
              L"Файл настроек «" + options_.wstring() + L"» не прочитан: файл больше 4 МиБ.");
    EXPECT_TRUE(run.browsed);
    EXPECT_EQ(fs::file_size(options_), std::uintmax_t{64} << 20);
}

// Wine run by the superuser writes a read-only file all the same; Windows does not, and the user
// is then told why.
TEST_F(Settings, WhyASettingsFileIsNotWrittenIsNamed) {
    std::ofstream(options_, std::ios::binary) << "[Main]\r\n";
    SetFileAttributesW(options_.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(platform::ProfileWriteProblem(options_.string()), "файл только для чтения");
    SetFileAttributesW(options_.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(platform::ProfileWriteProblem(options_.string()), "");
    const fs::path missing = dir.path() / "missing" / "options.ini";
    EXPECT_EQ(platform::ProfileWriteProblem(win32::Utf8(missing.wstring())),
              "папка «" + win32::Utf8(missing.parent_path().wstring()) + "» не существует");
}

// A writer killed midway leaves its temporary file; the next write of the wallpaper deletes it,
// but not the temporary of a writer still at work, which nobody else may open.
TEST(WallpaperFile, TemporariesOfKilledWritersGoAtTheNextWrite) {
    ornavel::testing::TempDir dir;
    const fs::path target = dir.path() / "wallpaper.bmp";
    for (const wchar_t* stale : {L"wallpaper.bmp.ornavel-tmp-0badf00d", L"wallpaper.bmp.part"}) {
        std::ofstream(dir.path() / stale, std::ios::binary) << "half a bitmap";
    }
    const fs::path live = dir.path() / L"wallpaper.bmp.ornavel-tmp-0000cafe";
    const HANDLE held = CreateFileW(live.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::ofstream(dir.path() / L"wallpaper.bmp.backup", std::ios::binary) << "kept";

    ornavel::testing::Encode(dir.file("in.bmp"), GUID_ContainerFormatBmp, 8, 8, 0xFF102030);
    platform::SavePicture(*platform::LoadPicture(dir.file("in.bmp"), {}), target.string());
    CloseHandle(held);

    std::vector<std::wstring> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().wstring());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::wstring>{L"in.bmp", L"wallpaper.bmp", L"wallpaper.bmp.backup",
                                               L"wallpaper.bmp.ornavel-tmp-0000cafe"}));
}

}  // namespace
}  // namespace ornavel
