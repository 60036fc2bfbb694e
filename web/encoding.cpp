#include "web/encoding.h"

#include "image/program_table.h"
#include "platform/win32_types.h"
#include "runtime/runtime.h"

namespace tolvar::web {

using program::Dll;
using runtime::dll;

namespace {

using MultiByteToWideCharFn = int (*)(UINT, DWORD, LPCSTR, int, LPWSTR, int);
using WideCharToMultiByteFn = int (*)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL *);
using LCMapStringAFn = int (*)(LCID, DWORD, LPCSTR, int, LPSTR, int);

constexpr LCID kChinesePrc = 0x0804;

// The input as a zero-ended text: the conversions end at its first zero byte.
std::string zero_ended(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::vector<uint16_t> to_wide(Dll command, std::string_view text, uint32_t code_page) {
    auto convert = dll<MultiByteToWideCharFn>(command);
    std::string input = zero_ended(text);
    int need = convert(code_page, 0, input.c_str(), -1, nullptr, 0);
    std::vector<uint16_t> units(static_cast<size_t>(need > 0 ? need : 0), 0);
    if (need > 0) convert(code_page, 0, input.c_str(), -1, units.data(), need);
    return units;
}

std::string to_multibyte(Dll command, const std::vector<uint16_t> &units, uint32_t code_page) {
    if (units.empty()) return {};
    std::vector<uint16_t> input = units;
    if (input.back() != 0) input.push_back(0);
    auto convert = dll<WideCharToMultiByteFn>(command);
    int need = convert(code_page, 0, input.data(), -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return {};
    std::string out(static_cast<size_t>(need), ' ');
    convert(code_page, 0, input.data(), -1, out.data(), need, nullptr, nullptr);
    return out.substr(0, out.find('\0'));
}

}  // namespace

std::vector<uint16_t> multibyte_to_wide(std::string_view text, uint32_t code_page) {
    return to_wide(Dll::MultiByteToWideChar, text, code_page);
}

std::string wide_to_multibyte(const std::vector<uint16_t> &units, uint32_t code_page) {
    return to_multibyte(Dll::WideCharToMultiByte, units, code_page);
}

std::string big5_to_gbk(std::string_view text) {
    return to_multibyte(Dll::WideCharToMultiByte_again, to_wide(Dll::MultiByteToWideChar, text, kCodePageBig5),
                        kCodePageGbk);
}

std::string to_simplified_chinese(std::string_view gbk) {
    std::string input = zero_ended(gbk);
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
