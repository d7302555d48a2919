#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The layout of a window as data: written once by the program, read by each front end to build
// its native window. Positions and sizes are pixels at 96 dots per inch.
namespace ornavel::layout {

enum class Kind {
    Label,       // a caption; a link label when `link` is set
    Button,      // a push button, with a caption or a picture
    Frame,       // a frame without caption, a container for other controls
    ListBox,     // a list of texts, not sorted
    FileList,    // a hidden list of the files of a folder
    Image,       // shows a picture stretched to its inside
    PictureBox,  // shows a picture; with `autoSize` it takes its picture's size
    Component,   // a component placed on the window; never visible at run time
};

enum class Align { Left, Center, Right };

enum class Border {
    None,
    Single,  // a single line, drawn sunken
    Sunken,  // 2 pixels on each side, drawn inset
};

// The pictures that come with the program.
enum class Art { None, ProgramIcon, FolderGlyph, SettingsFace, DialogsFace };

struct Color {
    std::uint8_t red, green, blue;
};

// A font; an empty face means the window's default font.
struct Font {
    std::string_view face;
    double points = 0;
    bool bold = false;
    bool underline = false;
    int charset = 0;  // 204: Cyrillic
};

struct Control {
    std::string_view name;
    Kind kind;
    std::string_view container;  // "" for the window itself
    int left, top, width, height;
    std::string_view caption = {};
    Font font = {};
    std::optional<Color> foreground = {};
    bool transparent = false;  // no background of its own: what lies beneath shows through
    Align align = Align::Left;
    Border border = Border::None;
    bool autoSize = false;  // a label takes its caption's size; a picture box its picture's
    bool visible = true;
    bool enabled = true;
    Art art = Art::None;
    bool link = false;  // blue, bold, underlined, a hand cursor; clicks are events
    std::string_view tooltip = {};
    int tabIndex = -1;              // position in the focus order; -1 takes no focus
    std::string_view pattern = {};  // a file list's wildcard patterns
    // What a screen reader says of the control; none of it changes what is drawn. The name is
    // `accessibleName`, else the caption of the label `labelledBy`, else the caption; a label
    // given an `accessibleName` offers its caption as its description.
    std::string_view accessibleName = {};
    std::string_view labelledBy = {};
    // A label whose caption describes the control (for a list, its selected entry), told again
    // whenever the caption changes.
    std::string_view describedBy = {};
    bool decorative = false;             // drawn only: a screen reader passes it by
    std::string_view returnClicks = {};  // a list: Return clicks this button when it is enabled
};

struct MenuEntry {
    std::string_view name;
    std::string_view parent;   // "" for a top-level menu
    std::string_view caption;  // "-" for a separator line
    bool enabled = true;
};

struct Window {
    std::string_view name;
    std::string_view caption;
    int clientWidth, clientHeight;  // below the menu bar
    bool minimizeBox;
    Font font;  // the default font of the controls that state none
    Art icon;
    std::string_view initialFocus;
    bool dialog = false;  // a dialog to assistive technology, closed by Escape
    // Within each container, the first control listed is drawn on top.
    std::span<const Control> controls;
    std::span<const MenuEntry> menu;
};

}  // namespace ornavel::layout
