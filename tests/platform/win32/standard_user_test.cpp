// The installed program as a standard user runs it on Windows 10 and 11: run by
// standard_user.sh as an unprivileged user, in a Wine prefix where C:\windows, Program Files and
// the all-users Start menu belong to another user, after the installer put the program there.
// Started from the Start-menu shortcut's target and driven with window messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "about/identity.hpp"
#include "app/main_layout.hpp"
#include "drive.hpp"
#include "pictures.hpp"
#include "platform/environment.hpp"
#include "platform/win32/bitmap.hpp"
#include "platform/win32/runtime.hpp"
#include "platform/win32/text.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace fs = std::filesystem;
namespace win32 = platform::win32;
using Microsoft::WRL::ComPtr;
using testing::DialogText;
using testing::FindDescendant;
using testing::FindTopWindow;
using testing::Text;
using testing::WaitFor;
using testing::WaitForTopWindow;

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kBrowserTitle[] = L"Выберите папку с изображениями (.jpg, .gif, .bmp)";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ornavel";

fs::path KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    fs::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) result = path;
    CoTaskMemFree(path);
    return result;
}

fs::path ShortcutTarget(const fs::path& link) {
    win32::EnsureCom();
    ComPtr<IShellLinkW> shortcut;
    ComPtr<IPersistFile> file;
    wchar_t target[MAX_PATH] = L"";
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&shortcut))) &&
        SUCCEEDED(shortcut.As(&file)) && SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
        shortcut->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    }
    return target;
}

std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
    wchar_t text[1024] = L"";
    DWORD size = sizeof text;
    if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return text;
}

std::wstring Wallpaper() {
    return RegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper");
}

// The system's answer when a file is created in `folder`: ERROR_SUCCESS or why not.
DWORD CreateFileIn(const fs::path& folder) {
    HANDLE file = CreateFileW((folder / L"ornavel-probe.tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(file);
    return ERROR_SUCCESS;
}

fs::path InstalledProgram() {
    return ShortcutTarget(KnownFolder(FOLDERID_CommonPrograms) / L"Ornavel.lnk");
}
fs::path UserSettings() {
    return KnownFolder(FOLDERID_RoamingAppData) / L"Ornavel" / L"options.ini";
}
fs::path UserWallpaper() {
    return KnownFolder(FOLDERID_LocalAppData) / L"Ornavel" / L"wallpaper.bmp";
}

// Selects `folder` in a folder browser of another process by the browser's own message, in the
// character form of the browser (the ANSI one under code page 1251). The path must be in that
// process's memory: the tree walk of the in-process tests reads item texts through pointers,
// which do not cross processes.
bool SelectInOtherProcess(HWND browser, const fs::path& folder) {
    const bool wide = IsWindowUnicode(browser) != FALSE;
    const std::string ansi = win32::Ansi(win32::Utf8(folder.wstring()));
    const void* path = wide ? static_cast<const void*>(folder.c_str()) : ansi.c_str();
    const SIZE_T size = wide ? (folder.native().size() + 1) * sizeof(wchar_t) : ansi.size() + 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(browser, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) return false;
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    const bool written =
        remote != nullptr && WriteProcessMemory(process, remote, path, size, nullptr);
    // The tree selects the folder once it has filled its items; item handles, unlike texts,
    // can be read from here.
    HWND tree = FindDescendant(browser, 0, WC_TREEVIEWW);
    const HTREEITEM before = TreeView_GetSelection(tree);
    bool selected = false;
    if (written) {
        selected = WaitFor("the folder selected in the browser's tree", [&] {
            SendMessageW(browser, wide ? BFFM_SETSELECTIONW : BFFM_SETSELECTIONA, TRUE,
                         reinterpret_cast<LPARAM>(remote));
            return TreeView_GetSelection(tree) != before;
        });
    }
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return selected;
}

// This is the setting every other test relies on: if Wine let this user write there, they
// would prove nothing about Windows.
TEST(StandardUser, CannotWriteToTheWindowsFolderProgramFilesOrTheStartMenu) {
    EXPECT_EQ(CreateFileIn(KnownFolder(FOLDERID_Windows)), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileIn(KnownFolder(FOLDERID_ProgramFiles)), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileIn(KnownFolder(FOLDERID_ProgramFiles) / L"Ornavel"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileIn(KnownFolder(FOLDERID_CommonPrograms)), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileIn(KnownFolder(FOLDERID_RoamingAppData)), ERROR_SUCCESS);
}

TEST(Installer, PutTheProgramInProgramFilesTheStartMenuAndAppsAndFeatures) {
    const fs::path program = KnownFolder(FOLDERID_ProgramFiles) / L"Ornavel" / L"ornavel.exe";
    EXPECT_EQ(InstalledProgram(), program);
    EXPECT_TRUE(fs::is_regular_file(program));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"), L"Ornavel");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"),
              win32::Wide(ORNAVEL_VERSION));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher"),
              win32::Wide(ORNAVEL_DEVELOPER_NAME));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayIcon"),
              L"\"" + program.wstring() + L"\",0");
    EXPECT_EQ(ExtractIconExW(program.c_str(), -1, nullptr, nullptr, 0), 1u);
    const fs::path uninstaller = program.parent_path() / L"uninstall.exe";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString"),
              L"\"" + uninstaller.wstring() + L"\"");
    EXPECT_TRUE(fs::is_regular_file(uninstaller));
}

// ornavel.exe started as Explorer starts it, driven from this process.
class Program : public ornavel::testing::TempDirTest {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        folder_ = dir.path() / "pictures";
        fs::create_directories(folder_);
        ornavel::testing::Encode((folder_ / "photo.jpg").string(), GUID_ContainerFormatJpeg, 641,
                                 479, 0xFF3080C0);
    }
    void TearDown() override { Stop(); }

    void Start(const fs::path& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + exe.wstring() + L"\"";
        ASSERT_TRUE(CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   exe.parent_path().c_str(), &startup, &process_));
    }
    void WaitForMain() {
        main_ = WaitForTopWindow(process_.dwProcessId, win32::kWindowClass, L"Ornavel");
        ASSERT_NE(main_, nullptr);
    }
    void Stop() {
        if (process_.hProcess == nullptr) return;
        if (main_ != nullptr) PostMessageW(main_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
        main_ = nullptr;
    }

    // Waits for the folder browser, checks its title, chooses `folder` in its tree and confirms.
    void ChooseInBrowser(const fs::path& folder) {
        HWND browser = WaitForTopWindow(process_.dwProcessId, kDialogClass);
        ASSERT_NE(browser, nullptr);
        // Read as the user reads it, whatever the system's code page.
        EXPECT_NE(DialogText(browser).find(kBrowserTitle), std::wstring::npos)
            << win32::Utf8(DialogText(browser));
        ASSERT_TRUE(SelectInOtherProcess(browser, folder)) << win32::Utf8(folder.wstring());
        PostMessageW(browser, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor("the browser to close", [&] { return !IsWindow(browser); }));
    }

    HWND Control(std::string_view name) const {
        return FindDescendant(main_, win32::ControlId(kMainLayout, name));
    }
    int ListCount() const {
        return static_cast<int>(SendMessageW(Control("List1"), LB_GETCOUNT, 0, 0));
    }
    ::testing::AssertionResult Lists(const fs::path& folder, int count) const {
        if (WaitFor("the folder listed",
                    [&] { return ListCount() == count && Text(Control("Stat")) == folder; })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << ListCount() << " entries of «" << win32::Utf8(Text(Control("Stat")))
               << "»; message: «" << win32::Utf8(DialogText(Message())) << "»";
    }
    // A message box of the program, shown or still about to be.
    HWND Message() const {
        return FindTopWindow(process_.dwProcessId, kDialogClass, nullptr, true);
    }
    // Waits until the program has handled everything posted to it so far.
    bool Settle() const { return testing::Settle(Control("List1")); }

    fs::path folder_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

TEST_F(Program, InstalledRemembersTheChosenFolderAndInstallsAPictureForThisUser) {
    const fs::path exe = InstalledProgram();
    ASSERT_FALSE(exe.empty());
    // A fresh account: the program's own folders are not there yet.
    std::error_code ignored;
    fs::remove_all(UserSettings().parent_path(), ignored);
    fs::remove_all(UserWallpaper().parent_path(), ignored);
    const std::wstring none;
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", REG_SZ,
                    none.c_str(), sizeof(wchar_t));

    // First start: no settings, so the browser asks, and nothing has been made yet; the folder
    // is listed and kept.
    Start(exe);
    ASSERT_NE(WaitForTopWindow(process_.dwProcessId, kDialogClass), nullptr);
    EXPECT_FALSE(fs::exists(UserSettings().parent_path()));
    ChooseInBrowser(folder_);
    WaitForMain();
    ASSERT_TRUE(Lists(folder_, 1));
    EXPECT_FALSE(fs::exists(exe.parent_path() / L"options.ini"));
    EXPECT_NE(ornavel::testing::ReadFile(UserSettings().string()).find("Path="), std::string::npos);

    // «Установить» writes the bitmap where this user may write and makes it the wallpaper.
    PostMessageW(Control("List1"), WM_KEYDOWN, VK_HOME, 1);
    ASSERT_TRUE(WaitFor("the install button enabled",
                        [&] { return IsWindowEnabled(Control("Command1")) != FALSE; }));
    PostMessageW(Control("Command1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor("the wallpaper setting", [&] { return Wallpaper() == UserWallpaper(); }))
        << win32::Utf8(Wallpaper()) << " / " << win32::Utf8(DialogText(Message()));
    const auto bmp = ornavel::testing::ReadBmp(win32::Utf8(Wallpaper()));
    EXPECT_TRUE(bmp.valid);
    EXPECT_EQ(bmp.width, 641);
    EXPECT_EQ(bmp.height, 479);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Message(), nullptr);
    Stop();

    // Started again: the folder comes back without asking.
    Start(exe);
    WaitForMain();
    EXPECT_TRUE(Lists(folder_, 1));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Message(), nullptr);
}

// Under code page 1251, the ANSI code page of a Russian Windows: a folder whose name that code
// page cannot hold works for this run, and the user is told at once, once, that it will not be
// remembered; nothing broken is saved, so the next start simply asks again.
TEST_F(Program, InstalledSaysAtOnceThatAFolderNamedBeyondTheCodePageWillNotBeRemembered) {
    if (GetACP() != 1251) GTEST_SKIP() << "under code page 1251 only";
    const fs::path exe = InstalledProgram();
    ASSERT_FALSE(exe.empty());
    for (const wchar_t* name : {L"图片", L"Фото📷"}) {
        std::error_code ignored;
        fs::remove(UserSettings(), ignored);
        const fs::path folder = dir.path() / name;
        fs::create_directories(folder);
        ornavel::testing::Encode(win32::Utf8((folder / L"a.bmp").wstring()),
                                 GUID_ContainerFormatBmp, 4, 4, 0xFF102030);

        Start(exe);
        ChooseInBrowser(folder);
        HWND box = WaitForTopWindow(process_.dwProcessId, kDialogClass);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(DialogText(box).find(L"Папка «" + folder.wstring() + L"» не будет запомнена"),
                  std::wstring::npos)
            << win32::Utf8(DialogText(box));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor("the message box to close", [&] { return !IsWindow(box); }));
        WaitForMain();
        EXPECT_TRUE(Lists(folder, 1));
        ASSERT_TRUE(Settle());
        EXPECT_EQ(Message(), nullptr) << win32::Utf8(DialogText(Message()));
        EXPECT_FALSE(fs::exists(UserSettings()))
            << ornavel::testing::ReadFile(UserSettings().string());
        Stop();

        Start(exe);
        HWND browser = WaitForTopWindow(process_.dwProcessId, kDialogClass);
        ASSERT_NE(browser, nullptr);
        EXPECT_NE(DialogText(browser).find(kBrowserTitle), std::wstring::npos);
        PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
        WaitForMain();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(Message(), nullptr) << win32::Utf8(DialogText(Message()));
        Stop();
    }
}

TEST_F(Program, PortableCopyInAWritableFolderKeepsItsSettingsBesideItself) {
    const fs::path copy = dir.path() / L"Ornavel portable" / L"ornavel.exe";
    fs::create_directories(copy.parent_path());
    ASSERT_TRUE(
        CopyFileW(win32::Wide(platform::EnvironmentVariable("ORNAVEL_PORTABLE_EXE")).c_str(),
                  copy.c_str(), FALSE));
    const std::string userSettings = ornavel::testing::ReadFile(UserSettings().string());

    Start(copy);
    ChooseInBrowser(folder_);
    WaitForMain();
    ASSERT_TRUE(Lists(folder_, 1));
    Stop();
    EXPECT_NE(ornavel::testing::ReadFile((copy.parent_path() / L"options.ini").string())
                  .find(folder_.filename().string()),
              std::string::npos);
    EXPECT_EQ(ornavel::testing::ReadFile(UserSettings().string()), userSettings);

    Start(copy);
    WaitForMain();
    EXPECT_TRUE(Lists(folder_, 1));
}

TEST_F(Program, PortableCopyInAFolderItCannotWriteKeepsUsingItsOwnSettingsFile) {
    // Prepared by the script: a folder of another user holding the program and an options.ini
    // this user may write.
    const fs::path copy = win32::Wide(platform::EnvironmentVariable("ORNAVEL_LOCKED_PORTABLE_EXE"));
    ASSERT_EQ(CreateFileIn(copy.parent_path()), ERROR_ACCESS_DENIED);
    const fs::path settings = copy.parent_path() / L"options.ini";
    std::ofstream(settings, std::ios::binary | std::ios::trunc)
        << "[Main]\r\nPath=" << win32::Ansi(win32::Utf8(folder_.wstring())) << "\r\n";
    const std::string userSettings = ornavel::testing::ReadFile(UserSettings().string());
    const fs::path other = dir.path() / "other";
    fs::create_directories(other);

    Start(copy);
    WaitForMain();
    ASSERT_TRUE(Lists(folder_, 1));
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(win32::ControlId(kMainLayout, "select_folder"), 0),
                 0);
    ChooseInBrowser(other);
    ASSERT_TRUE(Lists(other, 0));
    Stop();
    EXPECT_NE(ornavel::testing::ReadFile(settings.string()).find("other"), std::string::npos);
    EXPECT_EQ(ornavel::testing::ReadFile(UserSettings().string()), userSettings);
}

}  // namespace
}  // namespace ornavel
