#include "about/about_layout.hpp"

#include <array>

#include "about/identity.hpp"

namespace ornavel {
namespace {

using layout::Align;
using layout::Art;
using layout::Color;
using layout::Control;
using layout::Font;
using layout::Kind;

constexpr Font kLinkFont{"MS Sans Serif", 8.25, true, true, 204};
constexpr Color kLinkColor{0, 0, 192};

// Layout tables: one control per entry, laid out by hand to read as a table.
// clang-format off
constexpr std::array kControls{
    Control{.name = "Command1", .kind = Kind::Button, .container = "",
            .left = 124, .top = 248, .width = 89, .height = 23,
            .caption = "Закрыть", .tabIndex = 3},
    Control{.name = "Frame1", .kind = Kind::Frame, .container = "",
            .left = 4, .top = 56, .width = 209, .height = 183},
    Control{.name = "Label11", .kind = Kind::Label, .container = "Frame1",
            .left = 72, .top = 16, .width = 68, .height = 13,
            .caption = "Разработчик:", .autoSize = true},
    Control{.name = "Label8", .kind = Kind::Label, .container = "Frame1",
            .left = 28, .top = 154, .width = 152, .height = 13,
            .caption = ORNAVEL_SITE_HOST "/forum", .font = kLinkFont, .foreground = kLinkColor,
            .autoSize = true, .link = true, .tooltip = "Обсудить программу на форуме", .tabIndex = 2},
    Control{.name = "Label7", .kind = Kind::Label, .container = "Frame1",
            .left = 68, .top = 134, .width = 71, .height = 13,
            .caption = "Форум сайта:", .autoSize = true},
    Control{.name = "Label6", .kind = Kind::Label, .container = "Frame1",
            .left = 48, .top = 112, .width = 115, .height = 13,
            .caption = ORNAVEL_SITE_HOST, .font = kLinkFont, .foreground = kLinkColor,
            .autoSize = true, .link = true, .tooltip = "Посетить сайт программы", .tabIndex = 1},
    Control{.name = "Label5", .kind = Kind::Label, .container = "Frame1",
            .left = 60, .top = 94, .width = 89, .height = 13,
            .caption = "Сайт программы:", .autoSize = true},
    Control{.name = "Label4", .kind = Kind::Label, .container = "Frame1",
            .left = 88, .top = 56, .width = 31, .height = 13,
            .caption = "E-mail:", .autoSize = true},
    Control{.name = "Label3", .kind = Kind::Label, .container = "Frame1",
            .left = 40, .top = 74, .width = 129, .height = 13,
            .caption = ORNAVEL_DEVELOPER_EMAIL, .font = kLinkFont, .foreground = kLinkColor,
            .autoSize = true, .link = true, .tooltip = "Отправить письмо автору программы",
            .tabIndex = 0},
    Control{.name = "Label2", .kind = Kind::Label, .container = "Frame1",
            .left = 8, .top = 34, .width = 191, .height = 13,
            .caption = ORNAVEL_DEVELOPER_NAME, .font = {"MS Sans Serif", 8.25, true, false, 204},
            .align = Align::Center, .autoSize = true},
    Control{.name = "Label1", .kind = Kind::Label, .container = "",
            .left = 112, .top = 36, .width = 96, .height = 16,
            .caption = "Версия " ORNAVEL_VERSION, .font = {"Courier New CYR", 9.75, false, false, 204},
            .transparent = true, .align = Align::Right},
    Control{.name = "Label10", .kind = Kind::Label, .container = "",
            .left = 40, .top = 14, .width = 169, .height = 23,
            .caption = "Ornavel", .font = {"Courier New CYR", 15.75, true, false, 204},
            .foreground = Color{64, 0, 0}, .autoSize = true},
    Control{.name = "Image1", .kind = Kind::Image, .container = "",
            .left = 8, .top = 18, .width = 32, .height = 32, .art = Art::ProgramIcon,
            .decorative = true},
};
// clang-format on

}  // namespace

const layout::Window kAboutLayout{
    .name = "About",
    .caption = "О программе",
    .clientWidth = 218,
    .clientHeight = 275,
    .minimizeBox = false,
    .font = {"MS Sans Serif", 8.25, false, false, 0},
    .icon = Art::ProgramIcon,
    .initialFocus = "Command1",
    .dialog = true,
    .controls = kControls,
    .menu = {},
};

const char* const kMailTarget = "mailto:" ORNAVEL_DEVELOPER_EMAIL "?subject=Ornavel message";
const char* const kSiteTarget = "http://" ORNAVEL_SITE_HOST;
const char* const kForumTarget = "http://" ORNAVEL_SITE_HOST "/forum/index.php";

}  // namespace ornavel
