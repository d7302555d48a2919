#include "app/main_layout.hpp"

#include <array>

#include "components/dialogs/common_dialog.hpp"
#include "components/ini/ini.hpp"

namespace ornavel {
namespace {

using layout::Align;
using layout::Art;
using layout::Border;
using layout::Color;
using layout::Control;
using layout::Font;
using layout::Kind;
using layout::MenuEntry;

constexpr Font kBold{"MS Sans Serif", 8.25, true, false, 204};

// Layout tables: one control per entry, laid out by hand to read as a table.
// clang-format off
constexpr std::array kControls{
    Control{.name = "Picture2", .kind = Kind::PictureBox, .container = "",
            .left = 360, .top = 12, .width = 57, .height = 57,
            .border = Border::Sunken, .autoSize = true, .visible = false},
    Control{.name = "Frame1", .kind = Kind::Frame, .container = "",
            .left = 0, .top = -4, .width = 349, .height = 219},
    Control{.name = "File1", .kind = Kind::FileList, .container = "Frame1",
            .left = 36, .top = 38, .width = 165, .height = 19,
            .visible = false, .pattern = "*.jpg;*.bmp"},
    Control{.name = "Command1", .kind = Kind::Button, .container = "Frame1",
            .left = 52, .top = 186, .width = 113, .height = 25,
            .caption = "Установить", .font = kBold, .enabled = false, .tabIndex = 2},
    Control{.name = "List1", .kind = Kind::ListBox, .container = "Frame1",
            .left = 216, .top = 24, .width = 125, .height = 186, .tabIndex = 0,
            .labelledBy = "Label2", .describedBy = "Label3", .returnClicks = "Command1"},
    Control{.name = "Picture1", .kind = Kind::PictureBox, .container = "Frame1",
            .left = 148, .top = 88, .width = 33, .height = 29, .visible = false},
    Control{.name = "CD", .kind = Kind::Component, .container = "Frame1",
            .left = 100, .top = 88, .width = CommonDialog::kFaceWidth,
            .height = CommonDialog::kFaceHeight, .visible = false, .art = Art::DialogsFace},
    Control{.name = "INI", .kind = Kind::Component, .container = "Frame1",
            .left = 44, .top = 94, .width = INI::kFaceWidth, .height = INI::kFaceHeight,
            .visible = false, .art = Art::SettingsFace},
    Control{.name = "Label4", .kind = Kind::Label, .container = "Frame1",
            .left = 96, .top = 164, .width = 109, .height = 13,
            .foreground = Color{0, 0, 0}, .transparent = true, .align = Align::Right,
            .decorative = true},
    Control{.name = "Label3", .kind = Kind::Label, .container = "Frame1",
            .left = 97, .top = 165, .width = 109, .height = 13,
            .foreground = Color{255, 255, 255}, .transparent = true, .align = Align::Right},
    Control{.name = "Label1", .kind = Kind::Label, .container = "Frame1",
            .left = 72, .top = 10, .width = 75, .height = 13,
            .caption = "Предпросмотр", .autoSize = true},
    Control{.name = "Label2", .kind = Kind::Label, .container = "Frame1",
            .left = 260, .top = 10, .width = 37, .height = 13,
            .caption = "Список", .autoSize = true},
    Control{.name = "Image1", .kind = Kind::Image, .container = "Frame1",
            .left = 8, .top = 24, .width = 201, .height = 155, .border = Border::Sunken,
            .labelledBy = "Label1", .describedBy = "Label3"},
    Control{.name = "Command2", .kind = Kind::Button, .container = "",
            .left = 324, .top = 218, .width = 25, .height = 21,
            .font = kBold, .art = Art::FolderGlyph, .tabIndex = 1,
            .accessibleName = "Выбрать папку"},
    Control{.name = "Stat", .kind = Kind::Label, .container = "",
            .left = 0, .top = 220, .width = 324, .height = 17, .border = Border::Single,
            .accessibleName = "Папка"},
};

constexpr std::array kMenu{
    MenuEntry{.name = "file", .parent = "", .caption = "Файл"},
    MenuEntry{.name = "select_folder", .parent = "file", .caption = "Выбрать каталог..."},
    MenuEntry{.name = "Set_select", .parent = "file", .caption = "Установить изображение",
              .enabled = false},
    MenuEntry{.name = "rrrrrr", .parent = "file", .caption = "-"},
    MenuEntry{.name = "exit", .parent = "file", .caption = "Выход"},
    MenuEntry{.name = "help", .parent = "", .caption = "?"},
    MenuEntry{.name = "about_mnu", .parent = "help", .caption = "О программе"},
};
// clang-format on

}  // namespace

const layout::Window kMainLayout{
    .name = "Main",
    .caption = "Ornavel",
    .clientWidth = 350,
    .clientHeight = 240,
    .minimizeBox = true,
    .font = {"MS Sans Serif", 8.25, false, false, 0},
    .icon = Art::ProgramIcon,
    .initialFocus = "List1",
    .controls = kControls,
    .menu = kMenu,
};

}  // namespace ornavel
