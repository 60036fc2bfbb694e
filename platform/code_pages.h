// The code pages of the kernel32 stand-in as Windows converts them, over ICU's
// Windows tables: 936 (GBK, also the system's ANSI code page 0 here), 950
// (Big5) and 65001 (UTF-8).
//
// To a code page, Windows applies its best-fit mappings unless asked not to
// (U+00A5 YEN SIGN becomes A3A4 in 936), and every character the code page
// cannot hold becomes the default character, one per code point; characters
// that Unicode calls default-ignorable (U+200B, U+FEFF, ...) are no exception.
// Lone surrogates become the default character too (U+FFFD in UTF-8).
//
// Not thread-safe: the caller holds one lock around every use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "abi/win32.h"

namespace tolvar::platform {

bool known_code_page(UINT code_page);
bool is_utf8(UINT code_page);

struct Encoding {
    std::string bytes;
    bool used_default = false;  // some character became the default character
};

// `default_char`: the bytes written for a character the code page lacks; empty
// for the code page's own ('?'; U+FFFD in UTF-8).
Encoding encode(UINT code_page, std::u16string_view units, bool best_fit, std::string_view default_char);

// Invalid input becomes U+FFFD; with `stop_on_invalid`, invalid input gives nothing.
std::optional<std::u16string> decode(UINT code_page, std::string_view bytes, bool stop_on_invalid);

// The length of the whole character that starts with `lead` in text of the code page.
size_t character_length(UINT code_page, unsigned char lead);

}  // namespace tolvar::platform
