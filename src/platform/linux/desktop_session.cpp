#include "platform/linux/desktop_session.hpp"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace ornavel::platform::linux_desktop {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

Setter FromName(std::string_view raw) {
    const std::string name = Lower(raw);
    for (std::string_view gnome :
         {"gnome", "ubuntu", "unity", "budgie", "budgie-desktop", "pantheon", "gnome-classic",
          "gnome-flashback", "ubuntu-xorg", "ubuntu-wayland", "gnome-xorg", "gnome-wayland"}) {
        if (name == gnome) return Setter::Gnome;
    }
    if (name == "x-cinnamon" || name == "cinnamon" || name == "cinnamon2d") return Setter::Cinnamon;
    if (name == "mate") return Setter::Mate;
    if (name == "kde" || name == "plasma" || name == "plasmawayland" || name == "plasmax11") {
        return Setter::Kde;
    }
    if (name == "xfce" || name == "xfce4" || name == "xubuntu") return Setter::Xfce;
    if (name == "lxqt") return Setter::Lxqt;
    if (name == "lxde" || name == "lubuntu") return Setter::Lxde;
    if (name == "sway" || name == "wlroots") return Setter::Sway;
    return Setter::Unknown;
}

}  // namespace

Session CurrentSession() {
    return {Env("XDG_CURRENT_DESKTOP"), Env("DESKTOP_SESSION"), Env("WAYLAND_DISPLAY"),
            Env("SWAYSOCK"), Env("DISPLAY")};
}

Setter ChooseSetter(const Session& session) {
    std::string_view list = session.currentDesktop;
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const Setter setter = FromName(list.substr(0, colon));
        if (setter != Setter::Unknown) return setter;
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    std::string_view session_name = session.desktopSession;
    // DESKTOP_SESSION may be a path to the session file.
    if (const std::size_t slash = session_name.rfind('/'); slash != std::string_view::npos) {
        session_name.remove_prefix(slash + 1);
    }
    if (const Setter setter = FromName(session_name); setter != Setter::Unknown) return setter;
    if (!session.waylandDisplay.empty()) {
        return session.swaySocket.empty() ? Setter::Unknown : Setter::Sway;
    }
    if (!session.display.empty()) return Setter::X11;
    return Setter::Unknown;
}

std::string_view SetterName(Setter setter) {
    switch (setter) {
        case Setter::Gnome:
            return "GNOME";
        case Setter::Cinnamon:
            return "Cinnamon";
        case Setter::Mate:
            return "MATE";
        case Setter::Kde:
            return "KDE Plasma";
        case Setter::Xfce:
            return "Xfce";
        case Setter::Lxqt:
            return "LXQt";
        case Setter::Lxde:
            return "LXDE";
        case Setter::Sway:
            return "sway";
        case Setter::X11:
            return "X11";
        case Setter::Unknown:
            break;
    }
    return "неизвестный рабочий стол";
}

std::string_view SetterTag(Setter setter) {
    switch (setter) {
        case Setter::Gnome:
            return "gnome";
        case Setter::Cinnamon:
            return "cinnamon";
        case Setter::Mate:
            return "mate";
        case Setter::Kde:
            return "kde";
        case Setter::Xfce:
            return "xfce";
        case Setter::Lxqt:
            return "lxqt";
        case Setter::Lxde:
            return "lxde";
        case Setter::Sway:
            return "sway";
        case Setter::X11:
            return "x11";
        case Setter::Unknown:
            break;
    }
    return "unknown";
}

bool KeepsItsOwnSetting(Setter setter) {
    return setter != Setter::X11 && setter != Setter::Sway && setter != Setter::Unknown;
}

std::string FileUri(std::string_view path) {
    std::string uri = "file://";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            uri += ch;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

namespace {

// Escapes quotes, backslashes and control characters the way both GVariant text and JavaScript
// read them back.
std::string Quoted(std::string_view text, char quote, bool lineSeparators) {
    std::string out(1, quote);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' || c == '\'' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else if (lineSeparators && c == 0xE2 && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += quote;
    return out;
}

}  // namespace

std::string GVariantString(std::string_view text) { return Quoted(text, '\'', false); }

std::string ScriptString(std::string_view text) { return Quoted(text, '"', true); }

std::string SwayWord(std::string_view text) {
    // sway splits the joined command on blanks outside quotes, drops the quote characters and
    // then runs the background's file name through the shell word expander (wordexp), which
    // expands $ and `...`. So the name is written as one shell single-quoted word inside one
    // double-quoted sway word: \, $ and blanks, which sway itself reads, stand escaped outside
    // the shell's quotes, and " stands single-quoted outside sway's.
    std::string out = "\"'";
    for (const char c : text) {
        switch (c) {
            case '\'':
                out += "'\\''";
                break;
            case '"':
                out += "\"'\"'\"";  // leave sway's quotes, a single-quoted ", back in
                break;
            case '\\':
                out += "'\\\\'";
                break;
            case '$':
                out += "'\\$'";
                break;
            case ' ':
                out += "'\\ '";  // sway doubles the escape of two blanks in a row
                break;
            default:
                out += c;
        }
    }
    out += "'\"";
    return out;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        // The length of the sequence and the range of its second byte, which rules out overlong
        // forms, surrogates and code points beyond U+10FFFF.
        std::size_t length = 1;
        unsigned char low = 0x80, high = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second < low || second > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
        }
        i += length;
    }
    return true;
}

}  // namespace ornavel::platform::linux_desktop
