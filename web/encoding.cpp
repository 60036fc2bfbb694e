#include "web/encoding.h"

#include "abi/win32.h"
#include "runtime/code_pages.h"
#include "runtime/runtime.h"

namespace tolvar::web {

using runtime::Dll;
using runtime::dll;

namespace {

using LCMapStringAFn = int (*)(LCID, DWORD, LPCSTR, int, LPSTR, int);

constexpr LCID kChinesePrc = 0x0804;

}  // namespace

std::vector<uint16_t> multibyte_to_wide(std::string_view text, uint32_t code_page) {
    return runtime::to_wide(text, code_page);
}

std::string wide_to_multibyte(const std::vector<uint16_t> &units, uint32_t code_page) {
    return runtime::from_wide(units, code_page);
}

std::string big5_to_gbk(std::string_view text) {
    return runtime::from_wide(runtime::to_wide(text, kCodePageBig5), kCodePageGbk, Dll::WideCharToMultiByte_again);
}

std::string to_simplified_chinese(std::string_view gbk) {
    std::string input(gbk.substr(0, gbk.find('\0')));
    if (input.empty()) return {};
    std::string out(input.size(), '\0');
    dll<LCMapStringAFn>(Dll::LCMapStringA)(kChinesePrc, LCMAP_SIMPLIFIED_CHINESE, input.c_str(),
                                           static_cast<int>(input.size()), out.data(), static_cast<int>(out.size()));
    return out.substr(0, out.find('\0'));
}

std::string utf8_to_gbk(std::string_view text) {
    return wide_to_multibyte(multibyte_to_wide(text, kCodePageUtf8), kCodePageGbk);
}

std::string big5_to_gbk_simplified(std::string_view text) { return to_simplified_chinese(big5_to_gbk(text)); }

}  // namespace tolvar::web
