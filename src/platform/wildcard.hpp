#pragma once

#include <cstddef>

namespace ornavel::platform {

// Whether `name` matches the file pattern `pattern`: '*' any run of characters, '?' exactly one,
// every other character itself. Case is the caller's: both come folded the same way. Either is
// any sequence of characters with size() and operator[] (a string, or a name folded as read).
template <class Name, class Pattern>
bool WildcardMatch(const Name& name, const Pattern& pattern) {
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t n = 0, p = 0, starP = none, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != none) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace ornavel::platform
