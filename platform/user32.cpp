// user32 stand-in: window enumeration and the message box with their Windows
// signatures. Enumeration over the kernel's windows and the modal box come with
// the reminder-box work; until then there is no window to enumerate.
#include "platform/win32_types.h"

STANDIN_EXPORT BOOL EnumWindows(WNDENUMPROC, LPARAM) { return TRUE; }
STANDIN_EXPORT BOOL IsWindowVisible(HWND) { return FALSE; }
STANDIN_EXPORT DWORD GetWindowThreadProcessId(HWND, LPDWORD process) {
    if (process) *process = 0;
    return 0;
}
STANDIN_EXPORT int GetWindowTextA(HWND, LPSTR text, int size) {
    if (text && size > 0) text[0] = 0;
    return 0;
}
STANDIN_EXPORT int GetClassNameA(HWND, LPSTR name, int size) {
    if (name && size > 0) name[0] = 0;
    return 0;
}
STANDIN_EXPORT int MessageBoxA(HWND, LPCSTR, LPCSTR, UINT) { return 1; /* IDOK */ }
