// The whole program: ornavel.exe copied into a folder of its own, started as a user starts it,
// and driven from this process with window messages, keyboard and mouse messages included.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "about/about_layout.hpp"
#include "about/identity.hpp"
#include "app/main_layout.hpp"
#include "drive.hpp"
#include "pictures.hpp"
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
using testing::WaitForTopWindow;

constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
    wchar_t text[1024] = L"";
    DWORD size = sizeof text;
    if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return text;
}

void SetRegistryText(HKEY root, const wchar_t* key, const wchar_t* value,
                     const std::wstring& text) {
    RegSetKeyValueW(root, key, value, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::wstring WindowsWallpaper() {
    wchar_t windir[MAX_PATH];
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    return std::wstring(windir) + L"\\wallpaper.bmp";
}

// Whether the screen shows `glyph` anywhere inside `window`, pixel for pixel: each letter in its
// colour, and every '.' in the one colour of what lies beneath, which is none of the letters'.
bool ShowsGlyph(HWND window, const std::vector<std::string>& glyph,
                const std::map<char, COLORREF>& colours) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, canvas);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    const auto at = [&](int x, int y) {
        const std::uint32_t p = pixels[y * width + x];
        return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
    };
    const int glyphWidth = static_cast<int>(glyph[0].size());
    const int glyphHeight = static_cast<int>(glyph.size());
    bool found = false;
    for (int top = 0; !found && top + glyphHeight <= height; ++top) {
        for (int left = 0; !found && left + glyphWidth <= width; ++left) {
            const COLORREF beneath = at(left, top);  // the glyph's corners are '.'
            found = std::none_of(colours.begin(), colours.end(),
                                 [&](const auto& c) { return c.second == beneath; });
            for (int y = 0; found && y < glyphHeight; ++y) {
                for (int x = 0; found && x < glyphWidth; ++x) {
                    const char c = glyph[y][x];
                    found = at(left + x, top + y) == (c == '.' ? beneath : colours.at(c));
                }
            }
        }
    }
    DeleteObject(canvas);
    return found;
}

class Program : public testing::TempDirTest {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        folder_ = dir.path() / "pictures";
        fs::create_directories(folder_);
        exe_ = dir.path() / "ornavel.exe";
        ASSERT_TRUE(CopyFileW(testing::DosPath(ORNAVEL_EXE).c_str(), exe_.c_str(), FALSE));
    }

    void TearDown() override {
        if (process_.hProcess != nullptr) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
                WaitForSingleObject(process_.hProcess, 5000);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }

    fs::path Options() const { return dir.path() / "options.ini"; }

    // options.ini beside the program, naming `folder`.
    void SaveFolder(const fs::path& folder) {
        std::ofstream(Options(), std::ios::binary)
            << "[Main]\r\nPath=" << win32::Ansi(win32::Utf8(folder.wstring())) << "\r\n";
    }

    using Variables = std::vector<std::pair<std::wstring, std::wstring>>;

    // Starts the program with these variables set in its environment, when any are given.
    void Start(const Variables& variables = {}) {
        std::wstring environment;
        if (!variables.empty()) {
            wchar_t* block = GetEnvironmentStringsW();
            for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
                const bool replaced =
                    std::any_of(variables.begin(), variables.end(), [&](const auto& variable) {
                        return _wcsnicmp(entry, (variable.first + L"=").c_str(),
                                         variable.first.size() + 1) == 0;
                    });
                if (!replaced) environment.append(entry).push_back(L'\0');
            }
            FreeEnvironmentStringsW(block);
            for (const auto& [name, value] : variables) {
                environment.append(name + L"=" + value).push_back(L'\0');
            }
            environment.push_back(L'\0');
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + exe_.wstring() + L"\"";
        ASSERT_TRUE(CreateProcessW(exe_.c_str(), command.data(), nullptr, nullptr, FALSE,
                                   CREATE_UNICODE_ENVIRONMENT,
                                   environment.empty() ? nullptr : environment.data(),
                                   dir.path().c_str(), &startup, &process_));
    }

    // Starts the program and waits for its main window.
    void StartMain(const Variables& variables = {}) {
        Start(variables);
        main_ = WaitForTopWindow(process_.dwProcessId, win32::kWindowClass, L"Ornavel");
        ASSERT_NE(main_, nullptr);
    }

    HWND Control(std::string_view name) const {
        return FindDescendant(main_, win32::ControlId(kMainLayout, name));
    }
    // Waits until the program has handled everything posted to it so far.
    bool Settle() const { return testing::Settle(Control("List1")); }
    // A message box of the program, shown or still about to be.
    HWND AnyMessage() const {
        return FindTopWindow(process_.dwProcessId, kDialogClass, nullptr, true);
    }
    std::wstring Caption(std::string_view name) const { return Text(Control(name)); }
    void Menu(std::string_view name) const {
        PostMessageW(main_, WM_COMMAND, MAKEWPARAM(win32::ControlId(kMainLayout, name), 0), 0);
    }
    int ListCount() const {
        return static_cast<int>(SendMessageW(Control("List1"), LB_GETCOUNT, 0, 0));
    }
    std::wstring ListEntry(int index) const {
        wchar_t text[MAX_PATH] = L"";
        SendMessageW(Control("List1"), LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Keys as a user presses them in the focused list.
    void Key(std::string_view control, WPARAM key) const {
        PostMessageW(Control(control), WM_KEYDOWN, key, 1);
        PostMessageW(Control(control), WM_KEYUP, key, 0xC0000001);
    }
    void Click(HWND control) const {
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }

    // Waits for a message box of the program, returns what it says and closes it.
    std::wstring TakeMessage() {
        HWND box = WaitForTopWindow(process_.dwProcessId, kDialogClass);
        if (box == nullptr) return L"<no message>";
        const std::wstring text = DialogText(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitFor("the message box to close", [&] { return !IsWindow(box); });
        return text;
    }

    DWORD WaitForExit() {
        if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) return 1000;
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        return status;
    }

    void Picture(const std::string& name, UINT width, UINT height) {
        testing::Encode((folder_ / name).string(),
                        name.ends_with(".bmp") ? GUID_ContainerFormatBmp : GUID_ContainerFormatJpeg,
                        width, height, 0xFF3080C0);
    }

    fs::path folder_, exe_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

TEST_F(Program, ListsTheSavedFolderAndPreviewsWhatIsChosenByKeyboard) {
    Picture("photo.jpg", 800, 600);
    Picture("small.bmp", 30, 20);
    std::ofstream(folder_ / "notes.txt") << "x";
    SaveFolder(folder_);
    StartMain();
    ASSERT_TRUE(WaitFor("two entries", [&] { return ListCount() == 2; }));
    EXPECT_EQ(Caption("Stat"), folder_.wstring());
    EXPECT_FALSE(IsWindowEnabled(Control("Command1")));
    EXPECT_EQ(Caption("Label3"), L"");

    Key("List1", VK_HOME);
    const std::wstring first = ListEntry(0);
    const std::wstring size = first == L"photo.jpg" ? L"800 x 600" : L"30 x 20";
    ASSERT_TRUE(WaitFor("the first entry's size", [&] { return Caption("Label3") == size; }))
        << Caption("Label3");
    EXPECT_EQ(Caption("Label4"), size);
    EXPECT_TRUE(IsWindowEnabled(Control("Command1")));
    Key("List1", VK_DOWN);
    const std::wstring other = size == L"800 x 600" ? L"30 x 20" : L"800 x 600";
    EXPECT_TRUE(WaitFor("the second entry's size", [&] { return Caption("Label3") == other; }))
        << Caption("Label3");
}

TEST_F(Program, ABurstOfKeysLoadsOnlyTheEntryItEndsOn) {
    // Loading any of the damaged entries passed over would raise a message.
    Picture("good1.bmp", 20, 10);
    Picture("good2.bmp", 30, 20);
    for (const char* name : {"b1.jpg", "b2.jpg", "b3.jpg", "b4.jpg"}) {
        std::ofstream(folder_ / name, std::ios::binary) << "not a picture";
    }
    SaveFolder(folder_);
    StartMain();
    ASSERT_TRUE(WaitFor("six entries", [&] { return ListCount() == 6; }));
    int target = 0;
    for (int i = 0; i < 6; ++i) {
        if (ListEntry(i).starts_with(L"good")) target = i;
    }
    const std::wstring size = ListEntry(target) == L"good1.bmp" ? L"20 x 10" : L"30 x 20";
    // All queued while the program is held, as a held key's repeats queue up while it is busy:
    // posted one by one to a running program, a slow poster would let it load every entry.
    ASSERT_NE(SuspendThread(process_.hThread), static_cast<DWORD>(-1));
    Key("List1", VK_HOME);
    for (int i = 0; i < target; ++i) Key("List1", VK_DOWN);
    ASSERT_NE(ResumeThread(process_.hThread), static_cast<DWORD>(-1));
    ASSERT_TRUE(WaitFor("the size of the entry the keys end on", [&] {
        return Caption("Label3") == size;
    })) << Caption("Label3");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(AnyMessage(), nullptr) << win32::Utf8(DialogText(AnyMessage()));
    EXPECT_EQ(Caption("Label4"), size);
    EXPECT_TRUE(IsWindowEnabled(Control("Command1")));
}

TEST_F(Program, InstallWritesTheWallpaperBitmapAndSetsTheSystemWallpaper) {
    Picture("photo.jpg", 641, 479);
    SaveFolder(folder_);
    const std::wstring wallpaper = WindowsWallpaper();
    DeleteFileW(wallpaper.c_str());
    SetRegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", L"");
    StartMain();
    ASSERT_TRUE(WaitFor("one entry", [&] { return ListCount() == 1; }));
    // The menu entry is disabled until a picture is shown: it does nothing.
    Menu("Set_select");
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(fs::exists(wallpaper));
    EXPECT_EQ(AnyMessage(), nullptr) << win32::Utf8(DialogText(AnyMessage()));

    Key("List1", VK_HOME);
    ASSERT_TRUE(WaitFor("the install button enabled",
                        [&] { return IsWindowEnabled(Control("Command1")) != FALSE; }));
    PostMessageW(Control("Command1"), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor("the wallpaper bitmap",
                        [&] { return testing::ReadBmp(win32::Utf8(wallpaper)).valid; }));
    const auto bmp = testing::ReadBmp(win32::Utf8(wallpaper));
    EXPECT_EQ(bmp.width, 641);
    EXPECT_EQ(bmp.height, 479);
    EXPECT_TRUE(WaitFor("the wallpaper setting", [&] {
        return RegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper") ==
               wallpaper;
    })) << win32::Utf8(RegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper"));

    // The menu entry does the same again, over an older file spelled with capitals.
    DeleteFileW(wallpaper.c_str());
    std::ofstream(fs::path(wallpaper).parent_path() / "WallPaper.BMP") << "old";
    SetRegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", L"");
    Menu("Set_select");
    EXPECT_TRUE(WaitFor("the wallpaper setting again", [&] {
        return RegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper") ==
               wallpaper;
    }));
    EXPECT_EQ(testing::ReadBmp(win32::Utf8(wallpaper)).width, 641);
    EXPECT_EQ(FindTopWindow(process_.dwProcessId, kDialogClass), nullptr);
}

TEST_F(Program, FailuresAreReportedInRussianAndTheProgramGoesOn) {
    // A saved folder that vanished: the folder is shown, the list is empty.
    SaveFolder(dir.path() / "gone");
    Start();
    // Said while the window loads, before it is shown.
    EXPECT_NE(TakeMessage().find(L"Не удалось прочитать папку"), std::wstring::npos);
    main_ = WaitForTopWindow(process_.dwProcessId, win32::kWindowClass, L"Ornavel");
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(Caption("Stat"), (dir.path() / "gone").wstring());
    EXPECT_EQ(ListCount(), 0);
    PostMessageW(main_, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(), 0u);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};

    // A damaged picture, then neither the Windows directory nor the user's own folder for the
    // wallpaper can be written.
    std::ofstream(folder_ / "broken.jpg", std::ios::binary) << "not a picture at all";
    Picture("good.bmp", 20, 10);
    SaveFolder(folder_);
    std::ofstream(dir.path() / "a file") << "x";
    StartMain({{L"windir", (dir.path() / "no such windows").wstring()},
               {L"LOCALAPPDATA", (dir.path() / "a file").wstring()}});
    ASSERT_TRUE(WaitFor("two entries", [&] { return ListCount() == 2; }));
    const int broken = ListEntry(0) == L"broken.jpg" ? 0 : 1;
    Key("List1", VK_HOME);
    if (broken == 1) Key("List1", VK_DOWN);
    EXPECT_NE(TakeMessage().find(L"Не удалось открыть изображение"), std::wstring::npos);
    EXPECT_EQ(Caption("Label3"), L"");
    EXPECT_FALSE(IsWindowEnabled(Control("Command1")));

    Key("List1", broken == 0 ? VK_DOWN : VK_UP);
    ASSERT_TRUE(
        WaitFor("the good picture's size", [&] { return Caption("Label3") == L"20 x 10"; }));
    PostMessageW(Control("Command1"), BM_CLICK, 0, 0);
    EXPECT_NE(TakeMessage().find(L"Не удалось записать файл обоев"), std::wstring::npos);
    EXPECT_TRUE(IsWindow(main_));
}

TEST_F(Program, WithoutSettingsTheFolderBrowserOpensBeforeTheWindow) {
    Start();
    HWND browser = WaitForTopWindow(process_.dwProcessId, kDialogClass);
    ASSERT_NE(browser, nullptr);
    EXPECT_NE(DialogText(browser).find(L"Выберите папку с изображениями (.jpg, .gif, .bmp)"),
              std::wstring::npos)
        << win32::Utf8(DialogText(browser));
    EXPECT_EQ(FindTopWindow(process_.dwProcessId, win32::kWindowClass), nullptr);
    PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    main_ = WaitForTopWindow(process_.dwProcessId, win32::kWindowClass, L"Ornavel");
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(ListCount(), 0);
    EXPECT_EQ(Caption("Stat"), L"");
    EXPECT_FALSE(fs::exists(Options()));
}

TEST_F(Program, ExitAndTheCloseBoxEndAtOnceWithoutTouchingTheSettings) {
    Picture("a.bmp", 5, 5);
    SaveFolder(folder_);
    const std::string before = ornavel::testing::ReadFile(Options().string());
    StartMain();
    ASSERT_TRUE(WaitFor("one entry", [&] { return ListCount() == 1; }));
    Menu("exit");
    EXPECT_EQ(WaitForExit(), 0u);
    EXPECT_EQ(ornavel::testing::ReadFile(Options().string()), before);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};

    StartMain();
    PostMessageW(main_, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(), 0u);
    EXPECT_EQ(ornavel::testing::ReadFile(Options().string()), before);
}

// The control that has the keyboard focus in the program.
HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

TEST_F(Program, FocusStartsInTheListAndTabSkipsTheDisabledInstallButton) {
    Picture("a.bmp", 8, 6);
    SaveFolder(folder_);
    StartMain();
    ASSERT_TRUE(
        WaitFor("the focus in the list", [&] { return FocusOf(main_) == Control("List1"); }));
    Key("List1", VK_TAB);
    EXPECT_TRUE(WaitFor("the focus on the folder button",
                        [&] { return FocusOf(main_) == Control("Command2"); }));
    Key("Command2", VK_TAB);
    EXPECT_TRUE(
        WaitFor("the focus back in the list", [&] { return FocusOf(main_) == Control("List1"); }));

    Key("List1", VK_HOME);
    ASSERT_TRUE(WaitFor("the install button enabled",
                        [&] { return IsWindowEnabled(Control("Command1")) != FALSE; }));
    Key("List1", VK_TAB);
    Key("Command2", VK_TAB);
    EXPECT_TRUE(WaitFor("the focus on the install button",
                        [&] { return FocusOf(main_) == Control("Command1"); }));

    // Choosing another folder from the menu moves the focus to the install button first.
    Key("Command1", VK_TAB);
    ASSERT_TRUE(
        WaitFor("the focus in the list again", [&] { return FocusOf(main_) == Control("List1"); }));
    Menu("select_folder");
    HWND browser = WaitForTopWindow(process_.dwProcessId, kDialogClass);
    ASSERT_NE(browser, nullptr);
    PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor("the browser to close", [&] { return !IsWindow(browser); }));
    EXPECT_TRUE(WaitFor("the focus on the install button after the browser",
                        [&] { return FocusOf(main_) == Control("Command1"); }));
    EXPECT_EQ(ListCount(), 1);
    EXPECT_EQ(Caption("Label3"), L"8 x 6");
}

TEST_F(Program, TheFolderButtonShowsTheFolderGlyph) {
    SaveFolder(folder_);
    StartMain();
    const std::vector<std::string> glyph = {
        "...............",  //
        ".kkkk..........",  //
        "kllllk.........",  //
        "klyyylkkkkkkk..",  //
        "klyyyyyyyyyyk..",  //
        "klyykkkkkkkkkkk",  //
        "klyklllllllllk.",  //
        "klkllyyyyyyyk..",  //
        "kkllyyyyyyyyk..",  //
        "kklyyyyyyyyk...",  //
        "kkyyyyyyyyyk...",  //
        "kkkkkkkkkkk....",  //
        "...............",  //
    };
    const std::map<char, COLORREF> colours = {
        {'k', RGB(0x5A, 0x4A, 0x00)}, {'y', RGB(0xF0, 0xC0, 0x20)}, {'l', RGB(0xFF, 0xF0, 0xA0)}};
    EXPECT_TRUE(WaitFor("the folder glyph on the screen",
                        [&] { return ShowsGlyph(Control("Command2"), glyph, colours); }));
}

TEST_F(Program, AtAHigherScaleTheLayoutGrowsAndThePictureKeepsItsSize) {
    DWORD saved = 0, size = sizeof saved;
    const bool had = RegGetValueW(HKEY_CURRENT_CONFIG, L"Software\\Fonts", L"LogPixels",
                                  RRF_RT_REG_DWORD, nullptr, &saved, &size) == ERROR_SUCCESS;
    const DWORD dpi = 144;
    RegSetKeyValueW(HKEY_CURRENT_CONFIG, L"Software\\Fonts", L"LogPixels", REG_DWORD, &dpi,
                    sizeof dpi);
    Picture("photo.jpg", 800, 600);
    SaveFolder(folder_);
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    StartMain();
    if (had) {
        RegSetKeyValueW(HKEY_CURRENT_CONFIG, L"Software\\Fonts", L"LogPixels", REG_DWORD, &saved,
                        sizeof saved);
    } else {
        RegDeleteKeyValueW(HKEY_CURRENT_CONFIG, L"Software\\Fonts", L"LogPixels");
    }
    RECT client;
    GetClientRect(main_, &client);
    const UINT scale = MulDiv(client.right, 96, 350);
    if (scale == 96) SKIP_OR_FAIL_IN_CI("the system did not take the higher scale");
    EXPECT_EQ(client.right, MulDiv(350, scale, 96));
    EXPECT_EQ(client.bottom, MulDiv(240, scale, 96));
    RECT list;
    GetWindowRect(Control("List1"), &list);
    EXPECT_EQ(list.right - list.left, MulDiv(125, scale, 96));
    ASSERT_TRUE(WaitFor("one entry", [&] { return ListCount() == 1; }));
    Key("List1", VK_HOME);
    EXPECT_TRUE(WaitFor("the picture's size", [&] { return Caption("Label3") == L"800 x 600"; }))
        << Caption("Label3");
}

class AboutWindow : public Program {
  protected:
    void SetUp() override {
        Program::SetUp();
        if (IsSkipped()) return;
        // The shell hands mailto: and http: targets to the recorder instead of the mail program
        // and the browser.
        log_ = dir.path() / "links.log";
        SetEnvironmentVariableW(L"ORNAVEL_LINK_LOG", log_.c_str());
        const std::wstring command = L"\"" + testing::DosPath(ORNAVEL_LINK_RECORDER) + L"\" \"%1\"";
        for (const wchar_t* key : kKeys) {
            saved_.push_back(RegistryText(HKEY_CLASSES_ROOT, key, nullptr));
            SetRegistryText(HKEY_CLASSES_ROOT, key, nullptr, command);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            SetRegistryText(HKEY_CLASSES_ROOT, kKeys[i], nullptr, saved_[i]);
        }
        Program::TearDown();
    }

    HWND AboutControl(HWND about, std::string_view name) const {
        return FindDescendant(about, win32::ControlId(kAboutLayout, name));
    }
    std::string Log() const { return ornavel::testing::ReadFile(log_.string()); }

    static constexpr const wchar_t* kKeys[] = {L"mailto\\shell\\open\\command",
                                               L"http\\shell\\open\\command"};
    fs::path log_;
    std::vector<std::wstring> saved_;
};

TEST_F(AboutWindow, IsModalAndItsLinksReachTheShellMinimized) {
    SaveFolder(folder_);
    StartMain();
    Menu("about_mnu");
    HWND about = WaitForTopWindow(process_.dwProcessId, win32::kWindowClass, L"О программе");
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(IsWindowEnabled(main_));
    RECT first;
    GetWindowRect(about, &first);

    Click(AboutControl(about, "Label3"));
    Click(AboutControl(about, "Label6"));
    Click(AboutControl(about, "Label8"));
    Click(AboutControl(about, "Label6"));
    ASSERT_TRUE(WaitFor("four links in the recorder's log", [&] {
        const std::string log = Log();
        return std::count(log.begin(), log.end(), '\n') == 4;
    })) << Log();
    const std::string log = Log();
    // Each click starts the handler anew; those started together may log in either order.
    // The build's settings name the address and the site; the rest is the program's own.
    const std::string site = "http://" ORNAVEL_SITE_HOST;
    std::vector<std::string> expected = {"mailto:" ORNAVEL_DEVELOPER_EMAIL
                                         "?subject=Ornavel message",
                                         site, site + "/forum/index.php", site};
    std::vector<std::string> targets;
    for (std::size_t at = 0, line; (line = log.find('\n', at)) != std::string::npos;
         at = line + 1) {
        const std::string entry = log.substr(at, line - at);
        EXPECT_EQ(entry.substr(0, 2), "2 ") << entry;  // shown minimized
        const std::size_t open = entry.rfind('"', entry.size() - 2);
        targets.push_back(entry.substr(open + 1, entry.size() - open - 2));
    }
    std::sort(expected.begin(), expected.end());
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets, expected);
    EXPECT_TRUE(IsWindow(about));

    // Escape closes it, and the main window takes input again.
    PostMessageW(AboutControl(about, "Command1"), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitFor("Escape to close the About window", [&] { return !IsWindow(about); }));
    EXPECT_TRUE(
        WaitFor("the main window enabled again", [&] { return IsWindowEnabled(main_) != FALSE; }));

    // Shown again: the same place; "Закрыть" closes it.
    Menu("about_mnu");
    about = WaitForTopWindow(process_.dwProcessId, win32::kWindowClass, L"О программе");
    ASSERT_NE(about, nullptr);
    RECT second;
    GetWindowRect(about, &second);
    EXPECT_TRUE(EqualRect(&first, &second));
    PostMessageW(AboutControl(about, "Command1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor("the About window to close", [&] { return !IsWindow(about); }));
    EXPECT_TRUE(
        WaitFor("the main window enabled again", [&] { return IsWindowEnabled(main_) != FALSE; }));

    // And its close box closes it too.
    Menu("about_mnu");
    about = WaitForTopWindow(process_.dwProcessId, win32::kWindowClass, L"О программе");
    ASSERT_NE(about, nullptr);
    PostMessageW(about, WM_CLOSE, 0, 0);
    EXPECT_TRUE(
        WaitFor("the About window to close by its close box", [&] { return !IsWindow(about); }));
    EXPECT_TRUE(IsWindow(main_));
}

}  // namespace
}  // namespace ornavel
