// ASCII letter case, as Windows compares names and header fields.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace tolvar::platform {

inline std::string ascii_lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return s;
}

inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `a` equals `lower` (written in lower case) but for the case of ASCII letters.
inline bool ascii_iequal(std::string_view a, std::string_view lower) {
    return a.size() == lower.size() &&
           std::equal(a.begin(), a.end(), lower.begin(), [](char x, char y) { return ascii_lower(x) == y; });
}

}  // namespace tolvar::platform
