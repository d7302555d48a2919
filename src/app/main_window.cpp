#include "app/main_window.hpp"

#include <array>

#include "about/about_window.hpp"
#include "app/main_layout.hpp"
#include "platform/environment.hpp"
#include "platform/error.hpp"
#include "platform/message_box.hpp"
#include "platform/path.hpp"
#include "platform/profile.hpp"
#include "wallpaper/install.hpp"

namespace ornavel {
namespace {

// Room the settings component reads a value into, its terminating NUL included.
constexpr std::size_t kSettingBuffer = 255;

// Blanks as the settings file drops them around a value.
bool IsBlank(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

// The settings file drops the blanks around a value and then one pair of enclosing quotes: a
// folder that begins or ends with a blank or a quote is written inside a pair of quotes, so it
// reads back as it is.
std::string StoredForm(const std::string& folder) {
    if (folder.empty()) return folder;
    const char first = folder.front(), last = folder.back();
    if (IsBlank(first) || IsBlank(last) || IsQuote(first) || IsQuote(last)) {
        return '"' + folder + '"';
    }
    return folder;
}

// The inside of the preview Image1, where a picture is shown stretched, as the layout gives it.
platform::ShownSize PreviewSize() {
    for (const auto& control : kMainLayout.controls) {
        if (control.name != "Image1") continue;
        const int border = control.border == layout::Border::Sunken ? 2 * kSunkenBorder : 0;
        return {control.width - border, control.height - border};
    }
    return {};
}

}  // namespace

void Main::Start() {
    window_ = platform::LoadWindow(kMainLayout, *this);
    Form_Load();
    window_->Show();
}

void Main::Click(std::string_view control) { RunBoundHandler(Handlers(), *this, control); }

std::span<const Handler<Main>> Main::Handlers() {
    static constexpr auto kHandlers = std::to_array<Handler<Main>>({
        {"List1", &Main::List1_Click},
        {"Command1", &Main::Command1_Click},
        {"Command2", &Main::Command2_Click},
        {"select_folder", &Main::select_folder_Click},
        {"Set_select", &Main::Set_select_Click},
        {"exit", &Main::exit_Click},
        {"about_mnu", &Main::about_mnu_Click},
    });
    return kHandlers;
}

void Main::Form_Load() {
    const std::string settings =
        platform::SettingsDirectory() + platform::kPathSeparator + "options.ini";
    INI.FileName(settings);
    // A pipe, a device or a huge file in the settings file's place is never read.
    const std::string problem = platform::ProfileFileProblem(settings);
    if (problem.empty()) {
        CurrentFolder = INI.RINI("Main", "Path");
    } else {
        Report("Файл настроек «" + settings + "» не прочитан: " + problem + ".");
    }
    if (CurrentFolder.empty()) {
        ChooseFolder();
        // A chosen folder has just been listed, and any failure told; listing it again would only
        // tell it twice.
        if (!CurrentFolder.empty()) return;
    }
    LoadFolder();
}

void Main::ChooseFolder() {
    const std::string folder = CD.OpenFolder(kFolderPrompt, window_->NativeHandle());
    if (folder.empty()) return;
    CurrentFolder = folder;
    RememberFolder();
    LoadFolder();
}

void Main::RememberFolder() {
    const std::string stored = StoredForm(CurrentFolder);
    // A value the file cannot hold is not written at all: cut or with characters replaced, it
    // would name another folder at the next start.
    std::string why = platform::ProfileValueProblem(stored, kSettingBuffer);
    if (why.empty()) {
        // On a fresh account the program's settings folder does not exist yet.
        platform::CreateSettingsDirectory();
        INI.WInI("Main", "Path", stored);
        if (INI.RINI("Main", "Path") == CurrentFolder) return;
        const std::string problem = platform::ProfileWriteProblem(INI.FileName());
        why = "файл настроек «" + INI.FileName() + "» не записан" +
              (problem.empty() ? "" : ": " + problem);
    }
    Report("Папка «" + CurrentFolder + "» не будет запомнена: " + why +
           ". До выхода из программы она остаётся открытой.");
}

void Main::LoadFolder() {
    auto& File1 = window_->GetFileList("File1");
    auto& List1 = window_->GetListBox("List1");
    window_->GetLabel("Stat").SetCaption(CurrentFolder);
    // A folder that vanished or cannot be read leaves the list empty; the user is told why and
    // can choose another one.
    std::string failure;
    try {
        File1.SetFolder(CurrentFolder);
    } catch (const platform::Error& e) {
        failure = e.what();
    }
    List1.Clear();
    // The preview takes Picture1's picture, which is none: it becomes empty. The size text and the
    // install commands stay as they were.
    CurrentPicture = nullptr;
    window_->GetPictureBox("Image1").SetPicture(CurrentPicture);
    FileCount = File1.Count();
    if (FileCount > 0) {
        for (int i = 0; i < FileCount; ++i) List1.Append(File1.Entry(i));
    } else {
        SetInstallEnabled(false);
    }
    if (!failure.empty()) {
        Report("Не удалось прочитать папку «" + CurrentFolder + "»: " + failure);
    }
}

void Main::Command2_Click() {
    if (InstallEnabled) window_->Focus("Command1");
    ChooseFolder();
}

void Main::List1_Click() {
    const std::string name = window_->GetListBox("List1").SelectedText();
    if (name.empty()) return;
    // File1 was last set to CurrentFolder, and the list holds its entries.
    SelectedPath = CurrentFolder + platform::kPathSeparator + name;
    auto& Image1 = window_->GetPictureBox("Image1");
    auto& Picture2 = window_->GetPictureBox("Picture2");
    auto& Label3 = window_->GetLabel("Label3");
    auto& Label4 = window_->GetLabel("Label4");
    try {
        CurrentPicture = platform::LoadPicture(SelectedPath, PreviewSize());
    } catch (const platform::Error& e) {
        // Nothing is left that could be installed by mistake.
        CurrentPicture = nullptr;
        Image1.SetPicture(CurrentPicture);
        Picture2.SetPicture(CurrentPicture);
        Label3.SetCaption("");
        Label4.SetCaption("");
        SetInstallEnabled(false);
        Report("Не удалось открыть изображение «" + SelectedPath + "»: " + e.what());
        return;
    }
    // One picture, shown by both.
    Image1.SetPicture(CurrentPicture);
    Picture2.SetPicture(CurrentPicture);
    // The picture's own size in pixels; Picture2's outer size would add its border.
    const std::string size =
        std::to_string(CurrentPicture->Width()) + " x " + std::to_string(CurrentPicture->Height());
    Label3.SetCaption(size);
    Label4.SetCaption(size);
    SetInstallEnabled(true);
}

void Main::Command1_Click() {
    try {
        Module1::InstallWallpaper(CurrentPicture);
    } catch (const platform::Error& e) {
        Report(e.what());
    }
}

void Main::select_folder_Click() { Command2_Click(); }

void Main::Set_select_Click() { Command1_Click(); }

void Main::exit_Click() { platform::EndProgram(); }

void Main::about_mnu_Click() {
    About about;
    about.Show();
}

void Main::SetInstallEnabled(bool enabled) {
    InstallEnabled = enabled;
    window_->GetButton("Command1").SetEnabled(enabled);
    window_->GetMenuEntry("Set_select").SetEnabled(enabled);
}

void Main::Report(const std::string& message) {
    platform::ShowMessage(window_->NativeHandle(), message);
}

}  // namespace ornavel
