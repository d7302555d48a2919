#include "platform/file_list.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/error.hpp"
#include "platform/linux/utf8.hpp"
#include "platform/wildcard.hpp"

namespace ornavel::platform {
namespace {

using Folded = std::u32string;
using utf8::Fold;

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

// Natural order of folded names: runs of digits compare by their value, everything else by
// character. Returns <0, 0 or >0.
int NaturalCompare(const Folded& a, const Folded& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == U'0') ++si;
            while (sj + 1 < ej && b[sj] == U'0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            for (; si < ei; ++si, ++sj) {
                if (a[si] != b[sj]) return a[si] < b[sj] ? -1 : 1;
            }
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            ++i;
            ++j;
        }
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

struct Entry {
    std::string name;
    Folded folded;
};

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
    std::vector<Entry> entries;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        Folded folded = Fold(name);
        const bool wanted = std::any_of(patterns.begin(), patterns.end(),
                                        [&](const Folded& p) { return WildcardMatch(folded, p); });
        if (wanted && IsPlainFile(dirfd(dir.get()), *entry)) {
            entries.push_back({name, std::move(folded)});
        }
    }

    // The bytes decide between names that differ only in case or in leading zeros, so the order
    // does not depend on the order the directory lists them in.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = NaturalCompare(a.folded, b.folded);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (Entry& e : entries) names.push_back(std::move(e.name));
    return names;
}

}  // namespace ornavel::platform
