#include "runtime/code_pages.h"

#include <algorithm>

#include "abi/win32.h"
#include "runtime/runtime.h"

namespace tolvar::runtime {

namespace {
using MultiByteToWideCharFn = int (*)(UINT, DWORD, LPCSTR, int, LPWSTR, int);
using WideCharToMultiByteFn = int (*)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL *);
}  // namespace

std::vector<uint16_t> to_wide(const char *text, uint32_t code_page, Dll command) {
    auto convert = dll<MultiByteToWideCharFn>(command);
    int need = convert(code_page, 0, text, -1, nullptr, 0);
    std::vector<uint16_t> units(static_cast<size_t>(need > 0 ? need : 0), 0);
    if (need > 0) convert(code_page, 0, text, -1, units.data(), need);
    return units;
}

std::vector<uint16_t> to_wide(std::string_view text, uint32_t code_page, Dll command) {
    std::string input(text.substr(0, text.find('\0')));
    return to_wide(input.c_str(), code_page, command);
}

std::string from_wide(const std::vector<uint16_t> &units, uint32_t code_page, Dll command) {
    if (units.empty()) return {};
    // Units that end in their zero are converted where they lie.
    std::vector<uint16_t> terminated;
    if (units.back() != 0) {
        terminated.reserve(units.size() + 1);
        terminated = units;
        terminated.push_back(0);
    }
    const uint16_t *input = units.back() == 0 ? units.data() : terminated.data();
    auto convert = dll<WideCharToMultiByteFn>(command);
    int need = convert(code_page, 0, input, -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return {};
    std::string out(static_cast<size_t>(need), ' ');
    convert(code_page, 0, input, -1, out.data(), need, nullptr, nullptr);
    out.resize(std::min(out.size(), out.find('\0')));
    return out;
}

}  // namespace tolvar::runtime
