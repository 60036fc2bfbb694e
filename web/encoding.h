// Reply bodies in other encodings turned into the program's GBK, through the
// Windows code-page functions (via UTF-16).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/code_pages.h"

namespace tolvar::web {

using runtime::kCodePageBig5;
using runtime::kCodePageGbk;
using runtime::kCodePageSystem;
using runtime::kCodePageUtf8;

// UTF-8 to GBK: multibyte_to_wide with 65001, then wide_to_multibyte with 936.
std::string utf8_to_gbk(std::string_view text);
// Big5 to GBK, with traditional characters mapped to their simplified forms.
std::string big5_to_gbk_simplified(std::string_view text);

// The text (up to its first zero byte) as UTF-16 units, the zero unit included.
std::vector<uint16_t> multibyte_to_wide(std::string_view text, uint32_t code_page = kCodePageUtf8);
// UTF-16 units (up to the first zero unit) as a text in the code page.
std::string wide_to_multibyte(const std::vector<uint16_t> &units, uint32_t code_page = kCodePageSystem);
std::string big5_to_gbk(std::string_view text);
// Traditional to simplified characters, keeping the byte length.
std::string to_simplified_chinese(std::string_view gbk);

}  // namespace tolvar::web
