#include <gtest/gtest.h>
#include <wordexp.h>

#include <string>
#include <vector>

#include "platform/linux/desktop_session.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

// Names that each stress a different reading: blanks (also doubled), both quotes, a backslash
// before a quote and before $, shell expansions, a newline, a tab, a comma and a semicolon
// (sway's command separators), brackets, '#', '%', non-ASCII and a byte that is not UTF-8.
const std::vector<std::string> kHardPaths = {
    "/tmp/plain.bmp",
    "/tmp/a b  c/it's \"x\".bmp",
    "/tmp/back\\slash\\\"/end\\",
    "/tmp/$HOME/${USER}/\\$x/$(touch /tmp/pwned)/`id`/~/*.bmp",
    "/tmp/line\nbreak\ttab,comma;semi[crit]#hash%25.bmp",
    "/tmp/\xd0\xbe\xd0\xb1\xd0\xbe\xd0\xb8 \xff\xfe.bmp",
};

Session WithDesktop(std::string current, std::string session = "") {
    Session s;
    s.currentDesktop = std::move(current);
    s.desktopSession = std::move(session);
    return s;
}

TEST(DesktopChoice, FollowsTheSessionInItsOrder) {
    // Case does not matter; each desktop's own setter is reached through the tests of the
    // setters, which name the session as the desktops do.
    EXPECT_EQ(ChooseSetter(WithDesktop("x-cinnamon")), Setter::Cinnamon);
    EXPECT_EQ(ChooseSetter(WithDesktop("ubuntu:GNOME")), Setter::Gnome);
    // The first known desktop of the list wins; unknown and empty entries are passed over.
    EXPECT_EQ(ChooseSetter(WithDesktop("Custom::KDE:GNOME")), Setter::Kde);
    // DESKTOP_SESSION, also as the path of a session file, when the list names none.
    EXPECT_EQ(ChooseSetter(WithDesktop("Custom", "xfce")), Setter::Xfce);
    EXPECT_EQ(ChooseSetter(WithDesktop("", "/usr/share/xsessions/plasma")), Setter::Kde);
    EXPECT_EQ(ChooseSetter(WithDesktop("GNOME", "xfce")), Setter::Gnome);
}

TEST(DesktopChoice, FallsBackToTheDisplay) {
    Session wayland;
    wayland.waylandDisplay = "wayland-1";
    wayland.display = ":0";
    EXPECT_EQ(ChooseSetter(wayland), Setter::Unknown) << "an unknown Wayland desktop, X11 or not";
    wayland.swaySocket = "/run/user/1000/sway-ipc.sock";
    EXPECT_EQ(ChooseSetter(wayland), Setter::Sway);
    Session x11;
    x11.currentDesktop = "i3";
    x11.display = ":1";
    EXPECT_EQ(ChooseSetter(x11), Setter::X11);
    EXPECT_EQ(ChooseSetter(Session{}), Setter::Unknown);
    EXPECT_FALSE(SetterName(Setter::Unknown).empty());
}

TEST(DesktopQuoting, FileUriEscapesEveryByteOutsideTheUnreservedSet) {
    EXPECT_EQ(FileUri("/tmp/a-b_c.d~/x.bmp"), "file:///tmp/a-b_c.d~/x.bmp");
    EXPECT_EQ(FileUri("/a b'\"#%?\\\n\xd0\xb6\xff"), "file:///a%20b%27%22%23%25%3F%5C%0A%D0%B6%FF");
}

// JavaScript's reading of a string literal, for the escapes a literal may hold.
std::string ReadScriptString(const std::string& literal, std::size_t& end) {
    EXPECT_EQ(literal[0], '"');
    std::u32string text;
    std::size_t i = 1;
    for (; i < literal.size() && literal[i] != '"'; ++i) {
        if (literal[i] == '\n' || literal[i] == '\r') ADD_FAILURE() << "raw line break";
        if (literal[i] != '\\') {
            text += static_cast<unsigned char>(literal[i]);
            continue;
        }
        const char c = literal[++i];
        if (c == 'n')
            text += U'\n';
        else if (c == 'r')
            text += U'\r';
        else if (c == 't')
            text += U'\t';
        else if (c == 'u') {
            text += static_cast<char32_t>(std::stoul(literal.substr(i + 1, 4), nullptr, 16));
            i += 4;
        } else
            text += static_cast<unsigned char>(c);
    }
    end = i + 1;
    std::string bytes;  // back to bytes: escapes below 0x80 and U+2028/9 as UTF-8
    for (const char32_t c : text) {
        if (c == 0x2028)
            bytes += "\xe2\x80\xa8";
        else if (c == 0x2029)
            bytes += "\xe2\x80\xa9";
        else
            bytes += static_cast<char>(c);
    }
    return bytes;
}

TEST(DesktopQuoting, ScriptStringCannotBeLeft) {
    for (std::string text : kHardPaths) {
        text += "\"); evil(); ('\r\x01\x7f\xe2\x80\xa8\xe2\x80\xa9";
        const std::string literal = ScriptString(text);
        std::size_t end = 0;
        EXPECT_EQ(ReadScriptString(literal + "+rest", end), text);
        EXPECT_EQ(end, literal.size()) << "the literal ends only at its own closing quote";
        EXPECT_EQ(literal.find("\xe2\x80\xa8"), std::string::npos);
        EXPECT_EQ(literal.find("\xe2\x80\xa9"), std::string::npos);
    }
}

// sway's reading of a command word: the words are joined by blanks and split again outside
// quotes, the quote characters outside escapes are dropped, $ not escaped by a backslash starts a
// variable, and a background's file name then goes through the shell's word expansion with two
// blanks in a row escaped.
std::vector<std::string> SwaySplit(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool inString = false, inChar = false, escaped = false, inWord = false;
    for (const char c : command) {
        if (c == '"' && !inChar && !escaped)
            inString = !inString;
        else if (c == '\'' && !inString && !escaped)
            inChar = !inChar;
        else if (c == '\\')
            escaped = !escaped;
        else if (c == ' ' && !inString && !inChar && !escaped) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        if (c != '\\') escaped = false;
        word += c;
        inWord = true;
    }
    if (inWord) words.push_back(word);
    EXPECT_FALSE(inString || inChar) << command;
    return words;
}

std::string SwayStripQuotes(const std::string& word) {
    std::string out;
    bool inString = false, inChar = false, escaped = false;
    for (const char c : word) {
        if (c == '\'' && !inString && !escaped) {
            inChar = !inChar;
            continue;
        }
        if (c == '"' && !inChar && !escaped) {
            inString = !inString;
            continue;
        }
        escaped = c == '\\' ? !escaped : false;
        out += c;
    }
    return out;
}

std::string SwayFileName(std::string name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '$') {
            EXPECT_TRUE(i > 0 && name[i - 1] == '\\' && (i == 1 || name[i - 2] != '\\'))
                << "a $ that sway reads as a variable: " << name;
        }
    }
    for (std::size_t at; (at = name.find("  ")) != std::string::npos;) name.insert(at + 1, "\\");
    wordexp_t words{};
    const int failed = wordexp(name.c_str(), &words, WRDE_NOCMD | WRDE_UNDEF);
    EXPECT_EQ(failed, 0) << "the shell refused or would run a command: " << name;
    std::string joined;
    for (std::size_t i = 0; failed == 0 && i < words.we_wordc; ++i) {
        joined += (i ? " " : "") + std::string(words.we_wordv[i]);
    }
    if (failed == 0) wordfree(&words);
    return joined;
}

TEST(DesktopQuoting, SwayWordSurvivesSwaysParserAndTheShellExpansion) {
    for (const std::string& path : kHardPaths) {
        const std::vector<std::string> words = SwaySplit("output * bg " + SwayWord(path) + " fill");
        ASSERT_EQ(words.size(), 5u) << path;
        EXPECT_EQ(words[4], "fill");
        ASSERT_EQ(words[3].front(), '"');
        EXPECT_EQ(SwayFileName(SwayStripQuotes(words[3])), path);
    }
}

TEST(DesktopQuoting, Utf8Check) {
    EXPECT_TRUE(IsUtf8("/tmp/\xd0\xbe\xd0\xb1 \xe2\x82\xac \xf0\x9f\x98\x80"));
    EXPECT_FALSE(IsUtf8("/tmp/\xff"));
    EXPECT_FALSE(IsUtf8("/tmp/\xd0"));
    EXPECT_FALSE(IsUtf8("/tmp/\xd0\x41"));
    EXPECT_FALSE(IsUtf8("/tmp/\xc0\xaf")) << "overlong";
    EXPECT_FALSE(IsUtf8("/tmp/\xed\xa0\x80")) << "surrogate";
    EXPECT_FALSE(IsUtf8("/tmp/\xf4\x90\x80\x80")) << "beyond U+10FFFF";
}

}  // namespace
}  // namespace ornavel::platform::linux_desktop
