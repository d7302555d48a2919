#include "platform/file_list.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/error.hpp"
#include "platform/linux/utf8.hpp"
#include "platform/wildcard.hpp"

namespace ornavel::platform {
namespace {

using Folded = std::u32string;
using utf8::Fold;

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

char32_t LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }

// A name's characters folded to small letters: a plain ASCII name is folded as it is read, any
// other is folded once, in full.
struct Entry {
    std::string name;
    Folded folded;  // empty for a plain ASCII name
    std::size_t size() const { return folded.empty() ? name.size() : folded.size(); }
    char32_t operator[](std::size_t i) const {
        return folded.empty() ? LowerAscii(name[i]) : folded[i];
    }
};

std::vector<Folded> SplitPatterns(const std::string& pattern) {
    std::vector<Folded> patterns;
    std::size_t start = 0;
    while (start <= pattern.size()) {
        std::size_t end = pattern.find(';', start);
        if (end == std::string::npos) end = pattern.size();
        if (end > start) patterns.push_back(Fold(pattern.substr(start, end - start)));
        start = end + 1;
    }
    return patterns;
}

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// Appends a folded character so that the bytes order as the characters do: UTF-8 for a
// character, and a byte that is not part of one after every character.
void PutChar(std::string& key, char32_t c) {
    if (c < 0x80) {
        key.push_back(static_cast<char>(c));
    } else if (c >= utf8::kRawByte) {
        key.push_back('\xF8');
        key.push_back(static_cast<char>(c - utf8::kRawByte));
    } else if (c < 0x800) {
        key.push_back(static_cast<char>(0xC0 | c >> 6));
        key.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        key.push_back(static_cast<char>(0xE0 | c >> 12));
        key.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        key.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        key.push_back(static_cast<char>(0xF0 | c >> 18));
        key.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        key.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        key.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The key whose byte order is the natural order of folded names: a run of digits becomes '0',
// the run's length without leading zeros and its digits, so runs compare by their value and
// everything else by character.
void PutNaturalKey(std::string& key, const Entry& e) {
    for (std::size_t i = 0; i < e.size();) {
        if (!IsDigit(e[i])) {
            PutChar(key, e[i++]);
            continue;
        }
        std::size_t end = i;
        while (end < e.size() && IsDigit(e[end])) ++end;
        while (i + 1 < end && e[i] == U'0') ++i;
        key.push_back('0');
        key.push_back(static_cast<char>(end - i));  // a name has at most 255 bytes
        for (; i < end; ++i) key.push_back(static_cast<char>(e[i]));
    }
}

// The type comes from the directory entry where the file system gives it; only links and
// entries of unknown type are looked up.
bool IsPlainFile(int dirFd, const dirent& entry) {
    if (entry.d_type == DT_REG) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    struct stat info;
    return fstatat(dirFd, entry.d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    if (folder.empty()) return {};
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) throw Error(ReasonFromErrno(errno));

    const std::vector<Folded> patterns = SplitPatterns(pattern);
    // Each name found is kept with its natural-order key; the keys lie end to end in one
    // string. Most comparisons are then decided by the 8 bytes after the prefix all keys share
    // (a camera's "img_", "photo "), compared as one number.
    struct Sorted {
        std::uint64_t head;
        std::size_t at, size, index;
    };
    std::vector<std::string> found;
    std::vector<Sorted> sorted;
    std::string keys;
    keys.reserve(std::size_t{1} << 16);
    Entry entry;
    while (const dirent* next = readdir(dir.get())) {
        const std::string_view name = next->d_name;
        if (name == "." || name == "..") continue;
        entry.name.assign(name);
        entry.folded.clear();
        if (!IsAscii(name)) entry.folded = Fold(name);
        const bool wanted = std::any_of(patterns.begin(), patterns.end(),
                                        [&](const Folded& p) { return WildcardMatch(entry, p); });
        if (!wanted || !IsPlainFile(dirfd(dir.get()), *next)) continue;
        const std::size_t at = keys.size();
        PutNaturalKey(keys, entry);
        sorted.push_back({0, at, keys.size() - at, found.size()});
        found.push_back(std::move(entry.name));
    }

    const char* base = keys.data();
    std::size_t common = sorted.empty() ? 0 : sorted.front().size;
    for (const Sorted& e : sorted) {
        std::size_t n = 0;
        while (n < common && n < e.size && base[e.at + n] == base[n]) ++n;
        common = n;
    }
    for (Sorted& e : sorted) {
        for (std::size_t i = common; i < common + 8; ++i) {
            e.head = e.head << 8 | (i < e.size ? static_cast<unsigned char>(base[e.at + i]) : 0);
        }
    }
    // The bytes decide between names that differ only in case or in leading zeros, so the order
    // does not depend on the order the directory lists them in.
    std::sort(sorted.begin(), sorted.end(), [&](const Sorted& a, const Sorted& b) {
        if (a.head != b.head) return a.head < b.head;
        const int order = std::string_view(base + a.at, a.size).compare({base + b.at, b.size});
        return order != 0 ? order < 0 : found[a.index] < found[b.index];
    });
    std::vector<std::string> names;
    names.reserve(sorted.size());
    for (const Sorted& e : sorted) names.push_back(std::move(found[e.index]));
    return names;
}

}  // namespace ornavel::platform
