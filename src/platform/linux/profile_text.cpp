#include "platform/linux/profile_text.hpp"

#include <vector>

#include "platform/linux/utf8.hpp"

namespace ornavel::platform::profile_text {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kNewLine = "\r\n";

// Blanks as the profile functions see them: tab, line feed, vertical tab, form feed, carriage
// return, the DOS end-of-file mark ^Z and space.
bool IsBlank(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; }

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The system handles names and values as NUL-terminated strings: a NUL ends them.
std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

bool SameName(std::string_view a, std::string_view b) { return utf8::SameFolded(a, b); }

// One physical line: its text runs from `begin` to `end`, and its terminator (CR LF, CR or LF;
// none on a last line without one) up to `next`.
struct Line {
    std::size_t begin, end, next;
};

enum class Kind { Blank, Section, Key };

struct Entry {
    Kind kind = Kind::Blank;
    std::string_view name;                  // section or key name, trimmed, up to a NUL
    std::optional<std::string_view> value;  // a key's text after '=', trimmed; none without '='
    int section = -1;                       // index into the sections; -1 before the first
};

struct Parsed {
    std::size_t contentStart = 0;  // after a UTF-8 byte order mark
    std::vector<Line> lines;
    std::vector<Entry> entries;        // one per line
    std::vector<std::size_t> headers;  // line index of each section's header
};

Parsed Parse(std::string_view text) {
    Parsed p;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        p.contentStart = kByteOrderMark.size();
    }
    int section = -1;
    for (std::size_t pos = p.contentStart; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::size_t next = end;
        if (next < text.size()) next += text.compare(next, 2, kNewLine) == 0 ? 2 : 1;
        p.lines.push_back({pos, end, next});

        Entry entry;
        entry.section = section;
        const std::string_view content = Trim(text.substr(pos, end - pos));
        const std::size_t close = content.rfind(']');
        if (content.empty()) {
            entry.kind = Kind::Blank;
        } else if (content.front() == '[' && close != std::string_view::npos) {
            entry.kind = Kind::Section;
            entry.name = UpToNul(Trim(content.substr(1, close - 1)));
            section = static_cast<int>(p.headers.size());
            entry.section = section;
            p.headers.push_back(p.lines.size() - 1);
        } else {
            entry.kind = Kind::Key;
            const std::size_t equals = content.find('=');
            if (equals == std::string_view::npos) {
                entry.name = UpToNul(content);
            } else {
                entry.name = UpToNul(Trim(content.substr(0, equals)));
                entry.value = TrimLeft(content.substr(equals + 1));
            }
        }
        p.entries.push_back(entry);
        pos = next;
    }
    return p;
}

// The first section of that name: its index, -1 for the lines before the first section header
// (reached by the empty name in a non-empty file), or nothing.
std::optional<int> FindSection(const Parsed& p, std::string_view text, std::string_view name) {
    if (name.empty() && !text.empty()) return -1;
    for (std::size_t i = 0; i < p.headers.size(); ++i) {
        if (SameName(p.entries[p.headers[i]].name, name)) return static_cast<int>(i);
    }
    return std::nullopt;
}

// The line index of the first key of that name in the section, or nothing.
std::optional<std::size_t> FindKey(const Parsed& p, int section, std::string_view name) {
    for (std::size_t i = 0; i < p.entries.size(); ++i) {
        const Entry& e = p.entries[i];
        if (e.kind == Kind::Key && e.section == section && SameName(e.name, name)) return i;
    }
    return std::nullopt;
}

// Copies a value or default as the system does: one pair of enclosing quotes is dropped and the
// text cut to size - 1 characters. When the text is cut just inside its closing quote, the
// system still drops a last character, and so does this.
std::string CopyEntry(std::string_view value, std::size_t size) {
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::size_t chars = 0, bytes = 0, lastStart = 0;
    while (bytes < value.size() && chars + 1 < size) {
        lastStart = bytes;
        bytes += utf8::CharLength(value, bytes);
        ++chars;
    }
    std::size_t total = chars;
    for (std::size_t i = bytes; i < value.size(); i += utf8::CharLength(value, i)) ++total;
    if (quoted && size >= total && chars > 0) bytes = lastStart;
    return std::string(value.substr(0, bytes));
}

std::string_view WithoutTrailingSpaces(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

std::string Truncate(std::string_view text, std::size_t bufferSize) {
    text = WithoutTrailingSpaces(UpToNul(text));
    std::size_t chars = 0, bytes = 0;
    while (bytes < text.size() && chars + 1 < bufferSize) {
        bytes += utf8::CharLength(text, bytes);
        ++chars;
    }
    return std::string(text.substr(0, bytes));
}

std::string Read(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view defaultValue, std::size_t bufferSize) {
    if (bufferSize == 0) return "";
    const Parsed p = Parse(text);
    const std::string_view defaultText = WithoutTrailingSpaces(UpToNul(defaultValue));
    const std::optional<int> found = FindSection(p, text, Trim(UpToNul(section)));
    if (found) {
        const std::optional<std::size_t> line = FindKey(p, *found, Trim(UpToNul(key)));
        if (line && p.entries[*line].value) {
            return CopyEntry(UpToNul(*p.entries[*line].value), bufferSize);
        }
    }
    return CopyEntry(defaultText, bufferSize);
}

std::optional<std::string> Write(std::string_view text, std::string_view section,
                                 std::string_view key, std::string_view value) {
    section = UpToNul(section);
    key = UpToNul(key);
    const std::string_view stored = TrimLeft(UpToNul(value));
    const Parsed p = Parse(text);
    std::string out;
    out.reserve(text.size() + key.size() + stored.size() + section.size() + 8);

    // Puts `line` after line `after` (or at the start of the text), ending an unterminated line
    // first.
    const auto insertAfter = [&](std::optional<std::size_t> after, std::string_view line) {
        const std::size_t at = after ? p.lines[*after].next : p.contentStart;
        out.append(text.substr(0, at));
        if (after && p.lines[*after].next == p.lines[*after].end) out.append(kNewLine);
        out.append(line);
        out.append(text.substr(at));
    };

    const std::optional<int> found = FindSection(p, text, Trim(section));
    if (!found) {
        out.append(text);
        if (text.size() > p.contentStart && text.back() != '\r' && text.back() != '\n') {
            out.append(kNewLine);
        }
        const std::string_view name = TrimLeft(section);
        if (!name.empty()) {
            out.append("[").append(name).append("]").append(kNewLine);
        }
        out.append(TrimLeft(key)).append("=").append(stored).append(kNewLine);
        return out;
    }

    if (const std::optional<std::size_t> line = FindKey(p, *found, Trim(key))) {
        const Entry& e = p.entries[*line];
        if (e.value && UpToNul(*e.value) == stored) return std::nullopt;
        out.append(text.substr(0, p.lines[*line].begin));
        out.append(e.name).append("=").append(stored);
        out.append(text.substr(p.lines[*line].end));
        return out;
    }

    // A new key goes after the last key line of its section, else right after its header.
    std::optional<std::size_t> after;
    if (*found >= 0) after = p.headers[static_cast<std::size_t>(*found)];
    for (std::size_t i = 0; i < p.entries.size(); ++i) {
        if (p.entries[i].kind == Kind::Key && p.entries[i].section == *found) after = i;
    }
    std::string newLine(TrimLeft(key));
    newLine.append("=").append(stored).append(kNewLine);
    insertAfter(after, newLine);
    return out;
}

}  // namespace ornavel::platform::profile_text
