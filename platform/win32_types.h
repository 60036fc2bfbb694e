/* The Windows types of the functions the stand-ins export, with their Windows
   widths (DWORD and BOOL are 32-bit, WCHAR is UTF-16). */
#ifndef TOLVAR_WIN32_TYPES_H
#define TOLVAR_WIN32_TYPES_H

#include <stdint.h>

typedef int32_t BOOL;
typedef uint32_t DWORD;
typedef DWORD *LPDWORD;
typedef uint32_t UINT;
typedef uint32_t LCID;
typedef uint16_t WORD;
typedef uint16_t INTERNET_PORT;
typedef uint16_t WCHAR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef void *HINTERNET;
typedef void *HWND;
typedef intptr_t LPARAM;
typedef uintptr_t DWORD_PTR;
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);

#define TRUE 1
#define FALSE 0

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

#endif
