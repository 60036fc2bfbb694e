/* The Windows types and constants of the DLL commands, shared by the program that calls them
   and the stand-ins that export them, with their Windows widths (DWORD and BOOL are 32-bit,
   WCHAR is UTF-16). */
#ifndef TOLVAR_WIN32_H
#define TOLVAR_WIN32_H

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
typedef uint32_t COLORREF; /* 0x00BBGGRR */

#define RGB(r, g, b) \
    ((COLORREF)((uint8_t)(r) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))
#define CLR_DEFAULT 0xFF000000u /* the control's own default colour */
#define GetRValue(rgb) ((uint8_t)(rgb))
#define GetGValue(rgb) ((uint8_t)((rgb) >> 8))
#define GetBValue(rgb) ((uint8_t)((rgb) >> 16))

#define INTERNET_DEFAULT_HTTP_PORT 80 /* an INTERNET_PORT */

#define TRUE 1
#define FALSE 0

/* The constants of the Windows functions the program calls. */
enum : DWORD {
    ERROR_SUCCESS = 0,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_INSUFFICIENT_BUFFER = 122,
    ERROR_NO_UNICODE_TRANSLATION = 1113,
    ERROR_INTERNAL_ERROR = 1359,
    ERROR_INTERNET_TIMEOUT = 12002,
    ERROR_INTERNET_INTERNAL_ERROR = 12004,
    ERROR_INTERNET_NAME_NOT_RESOLVED = 12007,
    ERROR_INTERNET_OPERATION_CANCELLED = 12017,
    ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018,
    ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019,
    ERROR_INTERNET_CANNOT_CONNECT = 12029,
    ERROR_INTERNET_CONNECTION_ABORTED = 12030,
    ERROR_INTERNET_CONNECTION_RESET = 12031,
    ERROR_HTTP_HEADER_NOT_FOUND = 12150,
    ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152,
    ERROR_HTTP_REDIRECT_FAILED = 12156,

    INTERNET_OPEN_TYPE_PRECONFIG = 0,
    INTERNET_OPEN_TYPE_DIRECT = 1,
    INTERNET_OPEN_TYPE_PROXY = 3,
    INTERNET_SERVICE_HTTP = 3,
    INTERNET_FLAG_NO_COOKIES = 0x00080000,
    INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000,
    INTERNET_FLAG_RELOAD = 0x80000000,
    HTTP_QUERY_STATUS_CODE = 19,
    HTTP_QUERY_RAW_HEADERS = 21,
    HTTP_QUERY_RAW_HEADERS_CRLF = 22,
    HTTP_QUERY_FLAG_NUMBER = 0x20000000,
    HTTP_QUERY_HEADER_MASK = 0xFFFF,
    HTTP_STATUS_MOVED = 301,
    HTTP_STATUS_REDIRECT = 302,
    HTTP_STATUS_REDIRECT_METHOD = 303,
    HTTP_STATUS_REDIRECT_KEEP_VERB = 307,
    HTTP_STATUS_PERMANENT_REDIRECT = 308,

    CP_ACP = 0,
    CP_UTF8 = 65001,
    MB_ERR_INVALID_CHARS = 0x00000008,
    WC_NO_BEST_FIT_CHARS = 0x00000400,
    LCMAP_SIMPLIFIED_CHINESE = 0x02000000,

    /* MessageBoxA's type: the buttons in the low four bits, the icon in the next four. */
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_ABORTRETRYIGNORE = 0x02,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_RETRYCANCEL = 0x05,
    MB_TYPEMASK = 0x0F,
    MB_ICONERROR = 0x10, /* also MB_ICONHAND, MB_ICONSTOP */
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30, /* also MB_ICONEXCLAMATION */
    MB_ICONINFORMATION = 0x40, /* also MB_ICONASTERISK */
    MB_ICONMASK = 0xF0,
};

/* What MessageBoxA returns: the button that closed the box (0 when it failed). */
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

/* LOGFONT's weights and character sets the layout uses. */
enum : int32_t { FW_NORMAL = 400, FW_SEMIBOLD = 600, FW_BOLD = 700 };
enum : uint8_t { ANSI_CHARSET = 0, GB2312_CHARSET = 134 };

/* Code pages Windows gives no constant of its own: Simplified Chinese (GBK) and Traditional
   Chinese (Big5). */
enum : UINT { CODE_PAGE_GBK = 936, CODE_PAGE_BIG5 = 950 };

/* The WinINet functions of the DLL-command table, as function types: the program calls them
   through pointers of these types and the wininet stand-in defines them with these types. */
typedef HINTERNET(InternetOpenA_type)(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags);
typedef HINTERNET(InternetConnectA_type)(HINTERNET internet, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                                         LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context);
typedef HINTERNET(HttpOpenRequestA_type)(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version,
                                         LPCSTR referrer, LPCSTR *accept_types, DWORD flags, DWORD_PTR context);
typedef BOOL(HttpSendRequestA_type)(HINTERNET request, LPCSTR headers, DWORD headers_length, LPVOID optional,
                                    DWORD optional_length);
typedef BOOL(InternetReadFile_type)(HINTERNET request, LPVOID buffer, DWORD size, LPDWORD read);
typedef BOOL(HttpQueryInfoA_type)(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index);
typedef BOOL(InternetCloseHandle_type)(HINTERNET handle);
typedef BOOL(InternetSetCookieA_type)(LPCSTR url, LPCSTR name, LPCSTR data);

/* The user agent the program's exchanges and the internet support library's page reads give
   InternetOpenA. */
#define TOLVAR_USER_AGENT "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"

#endif
