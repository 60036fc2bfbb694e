// The one table of what the program's image holds for its routines: the routine
// records (by exported name), the const references and the routine references of
// the code data. The image builder writes them from here and the program reads
// them by the same enumerators, so nothing is written twice.
#pragma once

#include <cstdint>

// Every routine the image names, in record order. The executable exports each
// under this name (extern "C").
#define TOLVAR_ROUTINES(X) \
    X(tolvar_start)        \
    X(tolvar_cleanup)      \
    X(on_enum_window)      \
    X(dial_digit_0)        \
    X(dial_digit_1)        \
    X(dial_digit_2)        \
    X(dial_digit_3)        \
    X(dial_digit_4)        \
    X(dial_digit_5)        \
    X(dial_digit_6)        \
    X(dial_digit_7)        \
    X(dial_digit_8)        \
    X(dial_digit_9)        \
    X(dial_clear)          \
    X(hint_clear_edit3)    \
    X(hint_clear_edit4)    \
    X(friend_menu_popup)   \
    X(exit_command)        \
    X(help_page_open)      \
    TOLVAR_SHOPPING_LINKS(X)   \
    TOLVAR_REGEX_OPERATIONS(X)

// The twelve shopping links: a routine of each name opens the constant of the same name.
#define TOLVAR_SHOPPING_LINKS(X)                                                \
    X(shopping_link_1) X(shopping_link_2) X(shopping_link_3) X(shopping_link_4) \
    X(shopping_link_5) X(shopping_link_6) X(shopping_link_7) X(shopping_link_8) \
    X(shopping_link_9) X(shopping_link_10) X(shopping_link_11) X(shopping_link_12)

// The regular-expression object's operation table, in slot order.
#define TOLVAR_REGEX_OPERATIONS(X) \
    X(regex_destroy)               \
    X(regex_copy)                  \
    X(regex_create)                \
    X(regex_pattern)               \
    X(regex_replace)               \
    X(regex_execute)               \
    X(regex_count)                 \
    X(regex_match_text)            \
    X(regex_submatch_text)         \
    X(regex_submatch_count)

// Routines the code passes by address (kind-3 references in the code data).
#define TOLVAR_ROUTINE_REFS(X) X(on_enum_window) X(tolvar_cleanup)

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

// Constants the routines read from the const data (kind-1 references).
#define TOLVAR_CONST_REFS(X) \
    X(empty_text)            \
    X(empty_array)           \
    X(regex_operations)      \
    X(service_host)          \
    X(echo_url)              \
    X(default_number)        \
    X(help_file)             \
    TOLVAR_SHOPPING_LINKS(X)

namespace tolvar::program {

enum class Routine : uint32_t {
#define TOLVAR_ENUM(name) name,
    TOLVAR_ROUTINES(TOLVAR_ENUM)
};
enum class RoutineRef : uint32_t { TOLVAR_ROUTINE_REFS(TOLVAR_ENUM) };
enum class ConstRef : uint32_t { TOLVAR_CONST_REFS(TOLVAR_ENUM) };
#undef TOLVAR_ENUM

inline constexpr const char *kRoutineNames[] = {
#define TOLVAR_NAME(name) #name,
    TOLVAR_ROUTINES(TOLVAR_NAME)
#undef TOLVAR_NAME
};
inline constexpr uint32_t kRoutineCount = sizeof kRoutineNames / sizeof kRoutineNames[0];

inline constexpr Routine kRoutineRefTargets[] = {
#define TOLVAR_TARGET(name) Routine::name,
    TOLVAR_ROUTINE_REFS(TOLVAR_TARGET)
#undef TOLVAR_TARGET
};

inline constexpr Routine kRegexOperations[] = {
#define TOLVAR_OPERATION(name) Routine::name,
    TOLVAR_REGEX_OPERATIONS(TOLVAR_OPERATION)
#undef TOLVAR_OPERATION
};
inline constexpr uint32_t kRegexOperationCount = sizeof kRegexOperations / sizeof kRegexOperations[0];

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

inline constexpr uint32_t kConstRefCount = 0
#define TOLVAR_COUNT(name) +1
    TOLVAR_CONST_REFS(TOLVAR_COUNT)
#undef TOLVAR_COUNT
    ;

}  // namespace tolvar::program
