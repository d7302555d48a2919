#pragma once

#include <string>
#include <string_view>

// How the desktop of the running session keeps its wallpaper, and the texts each setter takes.
namespace ornavel::platform::linux_desktop {

enum class Setter { Gnome, Cinnamon, Mate, Kde, Xfce, Lxqt, Lxde, Sway, X11, Unknown };

struct Session {
    std::string currentDesktop;  // XDG_CURRENT_DESKTOP: a colon-separated list
    std::string desktopSession;  // DESKTOP_SESSION
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string swaySocket;      // SWAYSOCK
    std::string display;         // DISPLAY
};

// The session of this process's environment.
Session CurrentSession();

// The setter for a session: the first desktop of XDG_CURRENT_DESKTOP that has one, then
// DESKTOP_SESSION, then sway on Wayland, then the X11 root window.
Setter ChooseSetter(const Session& session);

// The desktop's name as the user knows it, for messages.
std::string_view SetterName(Setter setter);

// The desktop's name in the names of the files it is handed: lower-case letters and digits.
std::string_view SetterTag(Setter setter);

// True for the desktops that keep the wallpaper in settings of their own and show it again at
// every login; false for the X11 root window and sway, which forget it when the session ends.
bool KeepsItsOwnSetting(Setter setter);

// A file:// URI of `path` with every byte outside the unreserved set percent-escaped, so that
// blanks, quotes, '#', '%', non-ASCII and invalid UTF-8 bytes all survive.
std::string FileUri(std::string_view path);

// `text` as a GVariant text-format string literal, as `gsettings set` parses its value.
std::string GVariantString(std::string_view text);

// `text` as a JavaScript string literal.
std::string ScriptString(std::string_view text);

// `text` as one word of sway's command language that sway's own unquoting and its shell word
// expansion of file names turn back into exactly `text`.
std::string SwayWord(std::string_view text);

// True when `text` is valid UTF-8.
bool IsUtf8(std::string_view text);

}  // namespace ornavel::platform::linux_desktop
