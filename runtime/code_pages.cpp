#include "runtime/code_pages.h"

#include "abi/win32.h"
#include "runtime/runtime.h"

namespace tolvar::runtime {

namespace {
using MultiByteToWideCharFn = int (*)(UINT, DWORD, LPCSTR, int, LPWSTR, int);
using WideCharToMultiByteFn = int (*)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL *);
}  // namespace

std::vector<uint16_t> to_wide(std::string_view text, uint32_t code_page, Dll command) {
    auto convert = dll<MultiByteToWideCharFn>(command);
    std::string input(text.substr(0, text.find('\0')));
    int need = convert(code_page, 0, input.c_str(), -1, nullptr, 0);
    std::vector<uint16_t> units(static_cast<size_t>(need > 0 ? need : 0), 0);
    if (need > 0) convert(code_page, 0, input.c_str(), -1, units.data(), need);
    return units;
}

std::string from_wide(const std::vector<uint16_t> &units, uint32_t code_page, Dll command) {
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

}  // namespace tolvar::runtime
