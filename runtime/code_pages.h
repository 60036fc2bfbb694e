// Texts between a code page and UTF-16 through the system's code-page
// functions (DLL commands MultiByteToWideChar and WideCharToMultiByte), each
// run twice: once to learn the result's size, once into a buffer of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "abi/win32.h"
#include "runtime/dll_commands.h"

namespace tolvar::runtime {

inline constexpr uint32_t kCodePageSystem = CP_ACP;
inline constexpr uint32_t kCodePageGbk = CODE_PAGE_GBK;
inline constexpr uint32_t kCodePageBig5 = CODE_PAGE_BIG5;
inline constexpr uint32_t kCodePageUtf8 = CP_UTF8;

// The text up to its first zero byte as UTF-16 units, the zero unit included.
std::vector<uint16_t> to_wide(std::string_view text, uint32_t code_page,
                              Dll command = Dll::MultiByteToWideChar);
// The same for a zero-terminated text, converted where it lies.
std::vector<uint16_t> to_wide(const char *text, uint32_t code_page, Dll command = Dll::MultiByteToWideChar);
// UTF-16 units up to the first zero unit as a text in the code page; a
// character the code page lacks becomes the system's default character.
std::string from_wide(const std::vector<uint16_t> &units, uint32_t code_page,
                      Dll command = Dll::WideCharToMultiByte);

}  // namespace tolvar::runtime
