#include "platform/file_list.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/error.hpp"
#include "platform/linux/utf8.hpp"
#include "platform/wildcard.hpp"

namespace ornavel::platform {
namespace {

using Folded = std::u32string;
using utf8::Fold;

// A pattern folded once. The usual kind, '*' and then plain characters ("*.jpg"), only asks how
// a name ends, which is told without the general matcher's search.
struct Pattern {
    Folded text;
    bool endOnly;

    // `name` comes folded: an AsciiName or a Folded.
    template <class Name>
    bool Matches(const Name& name) const {
        if (!endOnly) return WildcardMatch(name, text);
        const std::size_t n = text.size() - 1;
        if (name.size() < n) return false;
        const std::size_t from = name.size() - n;
        for (std::size_t i = 0; i < n; ++i) {
            if (name[from + i] != text[i + 1]) return false;
        }
        return true;
    }
};

std::vector<Pattern> SplitPatterns(const std::string& pattern) {
    std::vector<Pattern> patterns;
    std::size_t start = 0;
    while (start <= pattern.size()) {
        std::size_t end = pattern.find(';', start);
        if (end == std::string::npos) end = pattern.size();
        if (end > start) {
            Folded text = Fold(pattern.substr(start, end - start));
            const bool endOnly = text[0] == U'*' && text.find_first_of(U"*?", 1) == Folded::npos;
            patterns.push_back({std::move(text), endOnly});
        }
        start = end + 1;
    }
    return patterns;
}

// Whether every byte of `text` is ASCII, looked at 8 bytes at a time.
bool IsAscii(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & kHighBits) return false;
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    }
    return true;
}

// An ASCII name read as its characters in small letters, each folded as it is read: most names
// are looked at only at their end.
struct AsciiName {
    std::string_view text;
    std::size_t size() const { return text.size(); }
    char32_t operator[](std::size_t i) const {
        const char c = text[i];
        return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
    }
};

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// Writes a folded character so that the bytes order as the characters do: UTF-8 for a
// character, and a byte that is not part of one after every character. At most 4 bytes.
char* PutChar(char* key, char32_t c) {
    if (c < 0x80) {
        *key++ = static_cast<char>(c);
    } else if (c >= utf8::kRawByte) {
        *key++ = '\xF8';
        *key++ = static_cast<char>(c - utf8::kRawByte);
    } else if (c < 0x800) {
        *key++ = static_cast<char>(0xC0 | c >> 6);
        *key++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *key++ = static_cast<char>(0xE0 | c >> 12);
        *key++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *key++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *key++ = static_cast<char>(0xF0 | c >> 18);
        *key++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
        *key++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *key++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return key;
}

// Room for the key of any name: a name has at most 255 characters, and each takes at most 4 bytes
// of the key (a digit at most 3: itself and its run's two).
constexpr std::size_t kMaxKey = std::size_t{4} * 256;

// Writes the key whose byte order is the natural order of folded names and returns its end: a run
// of digits becomes '0', the run's length without leading zeros and its digits, so runs compare
// by their value and everything else by character.
template <class Name>
char* PutNaturalKey(char* key, const Name& name) {
    for (std::size_t i = 0; i < name.size();) {
        if (!IsDigit(name[i])) {
            key = PutChar(key, name[i++]);
            continue;
        }
        std::size_t end = i;
        while (end < name.size() && IsDigit(name[end])) ++end;
        while (i + 1 < end && name[i] == U'0') ++i;
        *key++ = '0';
        *key++ = static_cast<char>(end - i);  // a name has at most 255 bytes
        for (; i < end; ++i) *key++ = static_cast<char>(name[i]);
    }
    return key;
}

// Bytes written end to end, with room made before each write.
class Buffer {
  public:
    // Where `size` more bytes can be written; Use() then counts those written.
    char* Room(std::size_t size) {
        if (capacity_ - used_ < size) {
            capacity_ = std::max(2 * capacity_, used_ + size);
            auto bigger = std::make_unique_for_overwrite<char[]>(capacity_);
            if (used_ > 0) std::memcpy(bigger.get(), bytes_.get(), used_);
            bytes_ = std::move(bigger);
        }
        return bytes_.get() + used_;
    }
    void Use(std::size_t size) { used_ += size; }
    std::size_t Used() const { return used_; }
    const char* Data() const { return bytes_.get(); }

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0, used_ = 0;
};

// Items with a 64-bit head, in the order of their heads, those with equal heads kept in the
// order they came in: one pass per byte of the head, skipping the bytes all of them share.
template <class Item>
void SortByHead(std::vector<Item>& items) {
    std::vector<Item> other(items.size());
    for (int shift = 0; shift < 64; shift += 8) {
        std::array<std::size_t, 256> start{};
        for (const Item& item : items) ++start[item.head >> shift & 0xFF];
        if (std::find(start.begin(), start.end(), items.size()) != start.end()) continue;
        std::size_t at = 0;
        for (std::size_t& count : start) at += std::exchange(count, at);
        for (const Item& item : items) other[start[item.head >> shift & 0xFF]++] = item;
        items.swap(other);
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

    const std::vector<Pattern> patterns = SplitPatterns(pattern);
    // Each name taken is kept in one buffer: the size of its natural-order key (2 bytes) and of
    // the name (1 byte), the key, and the name itself, so that only the names listed become
    // strings, once, in their order. Most comparisons are decided by the 8 bytes after the prefix
    // all keys share (a camera's "img_", "photo "), the head, compared as one number; the sort
    // moves only that and where the name is kept.
    struct Sorted {
        std::uint64_t head;
        std::size_t at;
    };
    std::vector<Sorted> sorted;
    Buffer taken;
    Folded folded;
    while (const dirent* next = readdir(dir.get())) {
        const std::string_view name = next->d_name;
        if (name == "." || name == "..") continue;
        // A plain ASCII name is folded as it is read; any other, in full, into `folded`.
        const auto take = [&](const auto& foldedName) {
            const bool wanted =
                std::any_of(patterns.begin(), patterns.end(),
                            [&](const Pattern& p) { return p.Matches(foldedName); });
            if (!wanted || !IsPlainFile(dirfd(dir.get()), *next)) return;
            char* const record = taken.Room(3 + kMaxKey + name.size());
            char* const end = PutNaturalKey(record + 3, foldedName);
            const auto keySize = static_cast<std::uint16_t>(end - (record + 3));
            std::memcpy(record, &keySize, 2);
            record[2] = static_cast<char>(name.size());  // at most 255
            std::memcpy(end, name.data(), name.size());
            sorted.push_back({0, taken.Used()});
            taken.Use(static_cast<std::size_t>(end - record) + name.size());
        };
        if (IsAscii(name)) {
            take(AsciiName{name});
        } else {
            folded = Fold(name);
            take(folded);
        }
    }

    const char* base = taken.Data();
    const auto keyOf = [&](const Sorted& s) {
        std::uint16_t keySize;
        std::memcpy(&keySize, base + s.at, 2);
        return std::string_view(base + s.at + 3, keySize);
    };
    const auto nameOf = [&](const Sorted& s) {
        const std::string_view key = keyOf(s);
        return std::string_view(key.data() + key.size(),
                                static_cast<unsigned char>(base[s.at + 2]));
    };
    const std::string_view first = sorted.empty() ? std::string_view() : keyOf(sorted.front());
    std::size_t common = first.size();
    for (const Sorted& s : sorted) {
        const std::string_view key = keyOf(s);
        std::size_t n = 0;
        while (n < common && n < key.size() && key[n] == first[n]) ++n;
        common = n;
    }
    for (Sorted& s : sorted) {
        const std::string_view key = keyOf(s);
        for (std::size_t i = common; i < common + 8; ++i) {
            s.head = s.head << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0);
        }
    }
    // Where heads are equal, the rest of the keys decides, and between names that differ only in
    // case or in leading zeros their bytes, so the order does not depend on the order the
    // directory lists them in.
    SortByHead(sorted);
    for (auto run = sorted.begin(); run != sorted.end();) {
        const auto end = std::find_if(run + 1, sorted.end(),
                                      [&](const Sorted& s) { return s.head != run->head; });
        if (end - run > 1) {
            std::sort(run, end, [&](const Sorted& a, const Sorted& b) {
                const int order = keyOf(a).compare(keyOf(b));
                return order != 0 ? order < 0 : nameOf(a) < nameOf(b);
            });
        }
        run = end;
    }
    std::vector<std::string> listed;
    listed.reserve(sorted.size());
    for (const Sorted& s : sorted) listed.emplace_back(nameOf(s));
    return listed;
}

}  // namespace ornavel::platform
