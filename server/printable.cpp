#include "server/printable.h"

#include <cstdint>
#include <cstdio>

namespace tolvar::server {

namespace {

// The length of the valid UTF-8 sequence at `at` and its code point; 0 when
// the bytes there are not one (overlong forms and surrogates included).
size_t utf8_sequence(std::string_view text, size_t at, uint32_t &code) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
    if (length == 0 || lead > 0xf4 || at + length > text.size()) return 0;
    code = lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3f);
    }
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    return length;
}

bool hidden(uint32_t code) {
    return (code >= 0x80 && code <= 0x9f) || code == 0x2028 || code == 0x2029 || (code >= 0x202a && code <= 0x202e) ||
           (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    for (size_t at = 0; at < text.size();) {
        auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x20 && c < 0x7f) {
            if (c == '\\') out += '\\';
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
            ++at;
            continue;
        }
        uint32_t code = 0;
        size_t length = c >= 0x80 ? utf8_sequence(text, at, code) : 0;
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
            ++at;
        } else if (hidden(code)) {
            std::snprintf(escape, sizeof escape, "\\u{%04x}", static_cast<unsigned>(code));
            out += escape;
            at += length;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

}  // namespace tolvar::server
