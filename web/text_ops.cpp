#include "web/text_ops.h"

#include <algorithm>

namespace tolvar::web {

namespace {
char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower_ascii);
    return out;
}

size_t find_ignoring_case(std::string_view text, std::string_view what, size_t from) {
    if (from > text.size() || what.size() > text.size() - from) return std::string::npos;
    auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), what.begin(), what.end(),
                          [](char a, char b) { return lower_ascii(a) == lower_ascii(b); });
    return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
}

std::string replace_all(std::string text, std::string_view what, std::string_view with) {
    if (what.empty()) return text;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

std::string trim_blanks(std::string_view text) {
    const char *blanks = " \t\r\n";
    size_t b = text.find_first_not_of(blanks);
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(blanks);
    return std::string(text.substr(b, e - b + 1));
}

}  // namespace tolvar::web
