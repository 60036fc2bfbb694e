// ASCII letter case, as Windows compares names and header fields.
#pragma once

#include <algorithm>
#include <string>

namespace tolvar::platform {

inline std::string ascii_lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return s;
}

}  // namespace tolvar::platform
