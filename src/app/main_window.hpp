#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "app/event_table.hpp"
#include "components/dialogs/common_dialog.hpp"
#include "components/ini/ini.hpp"
#include "platform/picture.hpp"
#include "platform/window.hpp"

namespace ornavel {

// The main window: lists the pictures of a folder, previews the one chosen with its size, and
// installs it as the desktop wallpaper. The folder is kept in options.ini.
class Main : public platform::WindowEvents {
  public:
    // The title of the folder browser.
    static constexpr const char* kFolderPrompt =
        "Выберите папку с изображениями (.jpg, .gif, .bmp)";

    // Builds the window, runs Form_Load, and shows the window.
    void Start();

    // Runs the handler Handlers() binds to the control; throws std::logic_error for a control
    // without one.
    void Click(std::string_view control) override;
    // Every clickable control of the layout, bound to its handler.
    static std::span<const Handler<Main>> Handlers();

    void Form_Load();
    void LoadFolder();
    void ChooseFolder();
    void Command2_Click();
    void List1_Click();
    void Command1_Click();
    void select_folder_Click();
    void Set_select_Click();
    void exit_Click();
    void about_mnu_Click();

    platform::Window& window() { return *window_; }
    const std::string& currentFolder() const { return CurrentFolder; }
    int fileCount() const { return FileCount; }
    const std::string& selectedPath() const { return SelectedPath; }
    const platform::PicturePtr& currentPicture() const { return CurrentPicture; }

  private:
    // Command1 and the menu entry Set_select always change state together.
    void SetInstallEnabled(bool enabled);
    // Writes CurrentFolder to the settings file and reads it back; when it will not come back as
    // it is, tells the user why.
    void RememberFolder();
    void Report(const std::string& message);

    std::unique_ptr<platform::Window> window_;
    ornavel::INI INI;
    CommonDialog CD;

    std::string CurrentFolder;
    // As many as the folder holds: the file list's count is not cut to 16 bits.
    int FileCount = 0;
    std::string SelectedPath;
    // The picture previewed, which Command1 installs; none before the first preview and after
    // the list is filled anew. Image1 and Picture2 show it.
    platform::PicturePtr CurrentPicture;
    // Whether Command1 and Set_select are enabled: both start disabled in the layout.
    bool InstallEnabled = false;
};

}  // namespace ornavel
