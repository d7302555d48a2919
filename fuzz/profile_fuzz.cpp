// Random settings files and random reads and writes. A write must leave every other line of the
// file as it was and, where the names and the value can be stored as given, read back.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/profile_text.hpp"
#include "platform/profile.hpp"

namespace {

using ornavel::platform::profile_text::Read;
using ornavel::platform::profile_text::Write;

constexpr std::size_t kWholeValue = 1 << 20;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

bool IsBlank(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; }

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
}

// A name stored as given and found again: no line break, no NUL, no blanks around it, not empty.
bool PlainName(std::string_view s) {
    return !s.empty() && !HasLineBreakOrNul(s) && !IsBlank(s.front()) && !IsBlank(s.back());
}

// A value read back exactly as written: no blanks around it and no pair of enclosing quotes.
bool PlainValue(std::string_view v) {
    if (HasLineBreakOrNul(v)) return false;
    if (v.empty()) return true;
    if (IsBlank(v.front()) || IsBlank(v.back())) return false;
    return !(v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}

// The physical lines of a text with their line ends (CR LF, CR or LF).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == text.npos) {
            end = text.size();
        } else {
            end += text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return lines;
}

bool Terminated(std::string_view line) {
    return !line.empty() && (line.back() == '\n' || line.back() == '\r');
}

std::string_view Ending(std::string_view line) {
    if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n")
        return line.substr(line.size() - 2);
    if (Terminated(line)) return line.substr(line.size() - 1);
    return {};
}

// The edit changed at most one line (a rewritten key, keeping its line end) and added whole lines
// ending in CR LF, the only other change being a line end given to an unterminated last line.
void CheckOnlyOneLineChanged(std::string_view before, std::string_view after) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (before.substr(0, 3) == kBom) {
        Check(after.substr(0, 3) == kBom, "byte order mark kept");
        before.remove_prefix(3);
        after.remove_prefix(3);
    }
    const std::vector<std::string_view> old = Lines(before), now = Lines(after);
    std::size_t prefix = 0;
    while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
           old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::size_t changedOld = old.size() - prefix - suffix;
    const std::size_t changedNew = now.size() - prefix - suffix;
    Check(changedOld <= 1, "at most one old line changes");
    Check(changedNew <= 3, "at most a line end, a section and a key are added");
    std::size_t added = 0;
    if (changedOld == 1) {
        const std::string_view was = old[prefix];
        if (!Terminated(was) && prefix + 1 == old.size() && changedNew >= 2) {
            Check(now[prefix] == std::string(was) + "\r\n", "unterminated last line gets CR LF");
            added = changedNew - 1;
        } else {
            Check(changedNew == 1, "a rewritten line stays one line");
            Check(Ending(now[prefix]) == Ending(was), "a rewritten line keeps its line end");
        }
    } else {
        added = changedNew;
    }
    for (std::size_t i = now.size() - suffix - added; i < now.size() - suffix; ++i) {
        Check(Ending(now[i]) == "\r\n", "added lines end with CR LF");
    }
}

// A file in a directory of its own, both removed when the fuzzer exits.
std::string TemporaryFile() {
    static char directory[] = "/tmp/profile-fuzz-XXXXXX";
    Check(mkdtemp(directory) != nullptr, "temporary directory");
    std::atexit([] {
        unlink((std::string(directory) + "/options.ini").c_str());
        rmdir(directory);
    });
    return std::string(directory) + "/options.ini";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Names from a few that collide in case and blanks, or random bytes.
std::string PickName(FuzzedDataProvider& data) {
    static const char* const kNames[] = {"Main", "main", " MAIN ", "Path", "path", "a", "A",
                                         "",     "[x]",  "k=v",    ";c",   "Ж",    "ж"};
    if (data.ConsumeBool()) return kNames[data.ConsumeIntegralInRange<std::size_t>(0, 12)];
    return data.ConsumeRandomLengthString(24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    std::string text = data.ConsumeRandomLengthString(4096);
    static const std::string file = TemporaryFile();

    for (int op = 0; op < 8 && data.remaining_bytes() > 0; ++op) {
        const std::string section = PickName(data);
        const std::string key = PickName(data);
        if (data.ConsumeBool()) {
            const std::size_t bufferSize = data.ConsumeIntegralInRange<std::size_t>(0, 400);
            const std::string defaultValue = data.ConsumeRandomLengthString(16);
            const std::string value = Read(text, section, key, defaultValue, bufferSize);
            Check(value.size() <= 4 * (bufferSize ? bufferSize - 1 : 0), "read is cut");
            continue;
        }
        const std::string value = data.ConsumeRandomLengthString(300);
        const std::optional<std::string> changed = Write(text, section, key, value);
        const bool plain = PlainName(section) && section.find(']') == std::string::npos &&
                           PlainName(key) && key.front() != '[' &&
                           key.find('=') == std::string::npos && PlainValue(value);
        if (changed && plain) {
            CheckOnlyOneLineChanged(text, *changed);
            Check(!Write(*changed, section, key, value), "writing again changes nothing");
        }
        const std::string& now = changed ? *changed : text;
        if (plain) {
            Check(Read(now, section, key, "", kWholeValue) == value, "written value reads back");
        }

        // Now and then the same through the file on disk.
        if (data.ConsumeIntegralInRange<int>(0, 255) == 0) {
            std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
            Check(ornavel::platform::WritePrivateProfile(section, key, value, file), "file write");
            Check(Slurp(file) == now, "file holds the edited text");
            Check(ornavel::platform::ReadPrivateProfile(section, key, "", 255, file) ==
                      Read(now, section, key, "", 255),
                  "file reads as the text");
        }
        text = now;
    }
    return 0;
}
