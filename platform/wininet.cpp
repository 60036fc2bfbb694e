// wininet stand-in: the WinINet functions of the DLL-command table with their
// Windows signatures. The HTTP engine behind them comes with the web access
// work; until then every call fails as WinINet does without a network.
#include "platform/win32_types.h"

STANDIN_EXPORT HINTERNET InternetOpenA(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) { return nullptr; }
STANDIN_EXPORT HINTERNET InternetConnectA(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR) {
    return nullptr;
}
STANDIN_EXPORT HINTERNET HttpOpenRequestA(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR *, DWORD, DWORD_PTR) {
    return nullptr;
}
STANDIN_EXPORT BOOL HttpSendRequestA(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD) { return FALSE; }
STANDIN_EXPORT BOOL InternetReadFile(HINTERNET, LPVOID, DWORD, LPDWORD read) {
    if (read) *read = 0;
    return FALSE;
}
STANDIN_EXPORT BOOL HttpQueryInfoA(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD) { return FALSE; }
STANDIN_EXPORT BOOL InternetCloseHandle(HINTERNET) { return TRUE; }
STANDIN_EXPORT BOOL InternetSetCookieA(LPCSTR, LPCSTR, LPCSTR) { return FALSE; }
