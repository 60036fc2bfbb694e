#include "server/form.h"

namespace tolvar::server {

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percent_decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = hex_value(text[i + 1]), low = hex_value(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<Fields> parse_fields(std::string_view text) {
    Fields fields;
    while (!text.empty()) {
        size_t amp = text.find('&');
        std::string_view piece = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        if (piece.empty()) continue;
        size_t eq = piece.find('=');
        auto name = percent_decoded(piece.substr(0, eq));
        auto value = percent_decoded(eq == std::string_view::npos ? std::string_view() : piece.substr(eq + 1));
        if (!name || !value) return std::nullopt;
        fields.emplace_back(std::move(*name), std::move(*value));
    }
    return fields;
}

const std::string *field(const Fields &fields, std::string_view name) {
    for (const auto &[n, v] : fields)
        if (n == name) return &v;
    return nullptr;
}

std::string cookie_value(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        size_t semi = header.find(';');
        std::string_view piece = header.substr(0, semi);
        header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
        while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
        while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
        size_t eq = piece.find('=');
        if (eq != std::string_view::npos && piece.substr(0, eq) == name) return std::string(piece.substr(eq + 1));
    }
    return {};
}

}  // namespace tolvar::server
