// Compiled with -fexec-charset=GBK.
#include "web/window_lookup.h"

#include "abi/win32.h"
#include "runtime/globals.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "web/web_content.h"

using namespace tolvar::runtime;

namespace {

using EnumWindowsFn = BOOL (*)(WNDENUMPROC, LPARAM);
using IsWindowVisibleFn = BOOL (*)(HWND);
using GetWindowThreadProcessIdFn = DWORD (*)(HWND, LPDWORD);
using GetTextFn = int (*)(HWND, LPSTR, int);
using GetCurrentProcessIdFn = DWORD (*)();
using MessageBoxAFn = int (*)(HWND, LPCSTR, LPCSTR, UINT);

constexpr char kDefaultTitle[] = "友情提醒";

HWND as_hwnd(uint32_t handle) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }

std::string window_text(Dll command, HWND window, int buffer_size) {
    std::string buffer(static_cast<size_t>(buffer_size), '\0');
    dll<GetTextFn>(command)(window, buffer.data(), buffer_size);
    return buffer.substr(0, buffer.find('\0'));
}

}  // namespace

// The enumeration callback: a record for every visible window; the
// enumeration goes on for every window, visible or not.
TOLVAR_ROUTINE(BOOL, on_enum_window, (HWND window, LPARAM)) {
    if (!dll<IsWindowVisibleFn>(Dll::IsWindowVisible)(window)) return TRUE;
    DWORD process = 0;
    dll<GetWindowThreadProcessIdFn>(Dll::GetWindowThreadProcessId)(window, &process);
    DWORD thread = dll<GetWindowThreadProcessIdFn>(Dll::GetWindowThreadProcessId)(window, nullptr);
    std::string title = window_text(Dll::GetWindowTextA, window, 256);
    std::string class_name = window_text(Dll::GetClassNameA, window, 50);
    globals().window_list.append(new_window_record(static_cast<int32_t>(reinterpret_cast<uintptr_t>(window)),
                                                   static_cast<int32_t>(process), static_cast<int32_t>(thread),
                                                   title, class_name));
    return TRUE;
}
TOLVAR_ROUTINE_END

namespace tolvar::web {

int32_t enum_visible_windows(std::vector<WindowInfo> &list) {
    auto callback = reinterpret_cast<WNDENUMPROC>(native_routine(kEnumWindowCallback));
    dll<EnumWindowsFn>(Dll::EnumWindows)(callback, 0);
    list.clear();
    const WindowList &found = globals().window_list;
    for (uint32_t i = 0; i < found.count(); ++i) {
        const WindowRecord &r = found.at(i);
        list.push_back({static_cast<uint32_t>(r.handle), static_cast<uint32_t>(r.process),
                        static_cast<uint32_t>(r.thread), r.title ? r.title : "", r.class_name ? r.class_name : ""});
    }
    globals().window_list.empty();
    return static_cast<int32_t>(list.size());
}

uint32_t find_own_window(uint32_t process_id) {
    std::vector<WindowInfo> list;
    enum_visible_windows(list);
    for (const auto &w : list)
        if (w.process == process_id) return w.handle;
    return 0;
}

int32_t reminder_box(std::string_view message, uint32_t style, std::optional<std::string_view> title,
                     std::optional<uint32_t> owner) {
    uint32_t window = owner ? *owner : find_own_window(dll<GetCurrentProcessIdFn>(Dll::GetCurrentProcessId)());
    std::string text(message), caption(title ? *title : kDefaultTitle);
    return dll<MessageBoxAFn>(Dll::MessageBoxA)(as_hwnd(window), text.c_str(), caption.c_str(), style) - 1;
}

}  // namespace tolvar::web
