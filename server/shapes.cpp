#include "server/shapes.h"

#include "server/settings.h"

namespace tolvar::server {

bool is_digits(std::string_view text, size_t min, size_t max) {
    if (text.size() < min || text.size() > max) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool is_mobile_number(std::string_view text) { return is_digits(text, 11, 11) && text[0] == '1'; }

bool is_callable_number(std::string_view text, unsigned shapes) {
    if ((shapes & call_shape_any) && is_digits(text, 3, 20)) return true;
    if ((shapes & call_shape_mobile) && is_mobile_number(text)) return true;
    return (shapes & call_shape_domestic) && is_digits(text, 7, 12) && text[0] == '0' && text[1] != '0';
}

bool is_token(std::string_view text) {
    if (text.size() != 32) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool is_address_text(std::string_view text) {
    if (text.size() > 64) return false;
    for (char c : text)
        if (c < 0x21 || c > 0x7e) return false;
    return true;
}

std::optional<int64_t> small_number(std::string_view text) {
    if (!is_digits(text, 1, 9)) return std::nullopt;
    int64_t n = 0;
    for (char c : text) n = n * 10 + (c - '0');
    return n;
}

}  // namespace tolvar::server
