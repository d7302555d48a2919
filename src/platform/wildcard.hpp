#pragma once

#include <string>

namespace ornavel::platform {

// Whether `name` matches the file pattern `pattern`: '*' any run of characters, '?' exactly one,
// every other character itself. Case is the caller's: both come folded the same way.
template <class Char>
bool WildcardMatch(const std::basic_string<Char>& name, const std::basic_string<Char>& pattern) {
    constexpr auto none = std::basic_string<Char>::npos;
    std::size_t n = 0, p = 0, starP = none, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == Char('?') || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != none) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == Char('*')) ++p;
    return p == pattern.size();
}

}  // namespace ornavel::platform
