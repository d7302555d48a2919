// The shell's folder browser and open-file dialog, shown for real and driven from a second
// thread as a user would: select, confirm, cancel.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "components/dialogs/common_dialog.hpp"
#include "drive.hpp"
#include "platform/win32/text.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace win32 = platform::win32;
using testing::ClassOf;
using testing::FindDescendant;
using testing::SelectFolder;
using testing::WaitFor;
using testing::WaitForTopWindow;

constexpr wchar_t kDialogClass[] = L"#32770";

HWND Button(HWND dialog, int id) { return GetDlgItem(dialog, id); }

class FolderBrowser : public testing::TempDirTest {
  protected:
    void SetUp() override { SKIP_WITHOUT_DISPLAY(); }
};

TEST_F(FolderBrowser, ChoosingAFolderSeveralLevelsDeepGivesItsFullPath) {
    const auto folder = dir.path() / "level one" / "two";
    std::filesystem::create_directories(folder);
    std::wstring title;
    bool selected = false;
    std::thread user([&] {
        HWND dialog = WaitForTopWindow(0, kDialogClass);
        if (dialog == nullptr) return;
        title = testing::DialogText(dialog);
        selected = SelectFolder(dialog, folder);
        SendMessageW(Button(dialog, selected ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
    });
    const std::string chosen = CommonDialog().OpenFolder("Pick a folder of pictures", 0);
    user.join();
    ASSERT_TRUE(selected);
    EXPECT_NE(title.find(L"Pick a folder of pictures"), std::wstring::npos);
    EXPECT_TRUE(std::filesystem::equivalent(win32::Wide(chosen), folder)) << chosen;
    EXPECT_NE(chosen.back(), '\\');
}

TEST_F(FolderBrowser, AFolderSelectedByThePathMessageIsChosen) {
    const auto folder = dir.path() / "by path";
    std::filesystem::create_directories(folder);
    const std::string path = folder.string();
    bool selected = false;
    std::thread user([&] {
        HWND dialog = WaitForTopWindow(0, kDialogClass);
        if (dialog == nullptr) return;
        HWND tree = testing::FindDescendant(dialog, 0, WC_TREEVIEWW);
        // Sent until it takes: the browser may still be filling its tree when it is first shown.
        selected = WaitFor("the folder selected in the browser's tree", [&] {
            SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
            HTREEITEM item = TreeView_GetSelection(tree);
            return item != nullptr && testing::ItemText(tree, item) == L"by path";
        });
        SendMessageW(Button(dialog, selected ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
    });
    const std::string chosen = CommonDialog().OpenFolder("By path", 0);
    user.join();
    ASSERT_TRUE(selected);
    EXPECT_TRUE(std::filesystem::equivalent(win32::Wide(chosen), folder)) << chosen;
}

TEST_F(FolderBrowser, ADriveRootKeepsItsSeparator) {
    std::thread user([&] {
        HWND dialog = WaitForTopWindow(0, kDialogClass);
        if (dialog == nullptr) return;
        const bool selected = SelectFolder(dialog, dir.path().root_name());
        SendMessageW(Button(dialog, selected ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
    });
    const std::string chosen = CommonDialog().OpenFolder("Root", 0);
    user.join();
    EXPECT_EQ(chosen, win32::Utf8(dir.path().root_name().wstring()) + "\\");
}

TEST_F(FolderBrowser, CancelGivesEmptyText) {
    const auto folder = dir.path() / "selected";
    std::filesystem::create_directories(folder);
    bool selected = false;
    std::thread user([&] {
        HWND dialog = WaitForTopWindow(0, kDialogClass);
        if (dialog == nullptr) return;
        // A folder is selected when the user cancels: cancel gives none the less nothing.
        selected = SelectFolder(dialog, folder);
        SendMessageW(Button(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(CommonDialog().OpenFolder("Cancel me", 0), "");
    user.join();
    EXPECT_TRUE(selected) << "no folder browser came up, or its tree did not take the folder";
}

// The program's Russian title, and names in scripts beyond any one ANSI code page: the browser
// shows the title as given and returns the folder chosen, whatever the system's code page.
TEST_F(FolderBrowser, TitlesAndFolderNamesBeyondTheCodePageComeThroughWhole) {
    const std::string title = "Выберите папку 图片 (.jpg)";
    std::wstring shown;
    std::thread reader([&] {
        HWND dialog = WaitForTopWindow(0, kDialogClass);
        if (dialog == nullptr) return;
        shown = testing::DialogText(dialog);
        SendMessageW(Button(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(CommonDialog().OpenFolder(title, 0), "");
    reader.join();
    EXPECT_NE(shown.find(win32::Wide(title)), std::wstring::npos) << win32::Utf8(shown);

    for (const wchar_t* name : {L"图片", L"Фото📷", L"Café"}) {
        const auto folder = dir.path() / name;
        std::filesystem::create_directories(folder);
        bool selected = false;
        std::thread user([&] {
            HWND dialog = WaitForTopWindow(0, kDialogClass);
            if (dialog == nullptr) return;
            selected = SelectFolder(dialog, folder);
            SendMessageW(Button(dialog, selected ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
        });
        const std::string chosen = CommonDialog().OpenFolder("Folder", 0);
        user.join();
        ASSERT_TRUE(selected) << win32::Utf8(name);
        EXPECT_EQ(win32::Wide(chosen), folder.wstring());
    }
}

class FilePicker : public testing::TempDirTest {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        GetCurrentDirectoryW(MAX_PATH, before_);
        SetCurrentDirectoryW(dir.path().wstring().c_str());
    }
    void TearDown() override { SetCurrentDirectoryW(before_); }

    // Shows the dialog; `user` runs on another thread with the dialog's window.
    template <typename User>
    std::string Open(const std::string& title, const std::string& mask, User user) {
        std::thread other([&] {
            HWND dialog = WaitForTopWindow(0, kDialogClass, win32::Wide(title).c_str());
            if (dialog != nullptr) user(dialog);
        });
        const std::string chosen = CommonDialog().OpenFile(title, mask, 0);
        other.join();
        return chosen;
    }

    // Types `name` into the file name box.
    static void Type(HWND dialog, const std::wstring& name) {
        HWND box = GetDlgItem(dialog, 0x47c);  // the file name combo box
        if (box != nullptr && ClassOf(box) != L"Edit") box = FindDescendant(box, 0, L"Edit");
        if (box == nullptr) box = GetDlgItem(dialog, 0x480);  // the plain file name box
        SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    // Types `name` and presses the dialog's Open button.
    static void TypeAndConfirm(HWND dialog, const std::wstring& name) {
        Type(dialog, name);
        SendMessageW(Button(dialog, IDOK), BM_CLICK, 0, 0);
    }

    wchar_t before_[MAX_PATH];
};

constexpr char kMask[] = "Pictures (*.jpg;*.bmp)\0*.jpg;*.bmp\0All files (*.*)\0*.*\0";

TEST_F(FilePicker, ConfirmingAnExistingFileGivesItsFullPath) {
    std::ofstream(dir.path() / "photo.jpg") << "x";
    int filters = 0, selectedFilter = -1;
    const std::string chosen =
        Open("Open a picture", std::string(kMask, sizeof kMask - 1), [&](HWND dialog) {
            HWND types = GetDlgItem(dialog, 0x470);
            filters = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
            selectedFilter = static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0));
            TypeAndConfirm(dialog, L"photo.jpg");
        });
    EXPECT_EQ(filters, 2);
    EXPECT_EQ(selectedFilter, 0);
    ASSERT_FALSE(chosen.empty());
    EXPECT_EQ(chosen.front(), dir.path().string().front());  // starts with the drive
    EXPECT_TRUE(std::filesystem::equivalent(win32::Wide(chosen), dir.path() / "photo.jpg"));
}

TEST_F(FilePicker, ATypedNameOfAMissingFileIsAcceptedInTheCurrentDirectory) {
    const std::string chosen = Open("New name", std::string(kMask, sizeof kMask - 1),
                                    [](HWND dialog) { TypeAndConfirm(dialog, L"not there.bmp"); });
    EXPECT_EQ(std::filesystem::path(win32::Wide(chosen)).filename(), L"not there.bmp");
    EXPECT_TRUE(std::filesystem::equivalent(
        std::filesystem::path(win32::Wide(chosen)).parent_path(), dir.path()));
    EXPECT_NE(chosen.back(), ' ');  // the buffer's blanks are gone
}

TEST_F(FilePicker, ATitleBeyondTheCodePageIsShownAsGiven) {
    const std::string title = "Откройте изображение 图片";
    std::wstring caption;
    std::thread user([&] {
        HWND dialog = WaitForTopWindow(0, kDialogClass);
        if (dialog == nullptr) return;
        caption = testing::Text(dialog);
        TypeAndConfirm(dialog, L"снимок 图.jpg");
    });
    const std::string chosen =
        CommonDialog().OpenFile(title, std::string(kMask, sizeof kMask - 1), 0);
    user.join();
    EXPECT_EQ(caption, win32::Wide(title));
    EXPECT_EQ(std::filesystem::path(win32::Wide(chosen)).filename(), L"снимок 图.jpg");
}

TEST_F(FilePicker, CancelGivesEmptyText) {
    std::ofstream(dir.path() / "photo.jpg") << "x";
    bool shown = false;
    const std::string chosen =
        Open("Cancel this", std::string(kMask, sizeof kMask - 1), [&](HWND dialog) {
            shown = true;
            // A name is typed when the user cancels: cancel gives none the less nothing.
            Type(dialog, L"photo.jpg");
            SendMessageW(Button(dialog, IDCANCEL), BM_CLICK, 0, 0);
        });
    EXPECT_TRUE(shown) << "no open-file dialog came up";
    EXPECT_EQ(chosen, "");
}

}  // namespace
}  // namespace ornavel
