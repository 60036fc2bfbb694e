// kernel32 stand-in: the process id, and the code-page functions with their
// Windows signatures (their conversions come with the encoding work; until then
// they convert nothing and report failure with a zero result).
#include <unistd.h>

#include "platform/win32_types.h"

STANDIN_EXPORT DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
STANDIN_EXPORT int MultiByteToWideChar(UINT, DWORD, LPCSTR, int, LPWSTR, int) { return 0; }
STANDIN_EXPORT int WideCharToMultiByte(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL *) { return 0; }
STANDIN_EXPORT int LCMapStringA(LCID, DWORD, LPCSTR, int, LPSTR, int) { return 0; }
