// The program's imported Windows functions: the DLL-command table of the
// image, entry N at place N. The program calls entry N through service slot
// 0x04; the builder writes the table's names into the image.
#pragma once

#include <cstdint>

// The DLL-command table, entry N at place N: (our name, library or none, function).
#define TOLVAR_DLL_COMMANDS(X)                                              \
    X(InternetOpenA, "wininet.dll", "InternetOpenA")                        \
    X(InternetConnectA, "wininet.dll", "InternetConnectA")                  \
    X(HttpOpenRequestA, "wininet.dll", "HttpOpenRequestA")                  \
    X(HttpSendRequestA, "wininet.dll", "HttpSendRequestA")                  \
    X(InternetReadFile, "wininet.dll", "InternetReadFile")                  \
    X(HttpQueryInfoA, "wininet.dll", "HttpQueryInfoA")                      \
    X(InternetCloseHandle, "wininet.dll", "InternetCloseHandle")            \
    X(InternetSetCookieA, "wininet.dll", "InternetSetCookieA")              \
    X(GetCurrentProcessId, "kernel32.dll", "GetCurrentProcessId")           \
    X(MessageBoxA, nullptr, "MessageBoxA")                                  \
    X(EnumWindows, nullptr, "EnumWindows")                                  \
    X(IsWindowVisible, nullptr, "IsWindowVisible")                          \
    X(GetWindowThreadProcessId, "user32.dll", "GetWindowThreadProcessId")   \
    X(GetWindowTextA, nullptr, "GetWindowTextA")                            \
    X(GetClassNameA, "user32.dll", "GetClassNameA")                         \
    X(MultiByteToWideChar, nullptr, "MultiByteToWideChar")                  \
    X(WideCharToMultiByte, "kernel32.dll", "WideCharToMultiByte")           \
    X(WideCharToMultiByte_again, "kernel32", "WideCharToMultiByte")         \
    X(LCMapStringA, "kernel32", "LCMapStringA")                             \
    X(SkinH_AttachRes, "SkinH_EL.dll", "SkinH_AttachRes")

namespace tolvar::runtime {

enum class Dll : uint32_t {
#define TOLVAR_DLL_ENUM(name, library, function) name,
    TOLVAR_DLL_COMMANDS(TOLVAR_DLL_ENUM)
#undef TOLVAR_DLL_ENUM
};

struct DllDeclaration {
    const char *library;  // nullptr: none named
    const char *function;
};
inline constexpr DllDeclaration kDllCommands[] = {
#define TOLVAR_DLL_DECLARATION(name, library, function) {library, function},
    TOLVAR_DLL_COMMANDS(TOLVAR_DLL_DECLARATION)
#undef TOLVAR_DLL_DECLARATION
};

}  // namespace tolvar::runtime
