// kernel32 stand-in: the process id, and the code-page functions with their
// Windows signatures and meaning, over ICU's Windows tables.
//
// Code pages: 65001 UTF-8, 936 GBK (also 0, the system's ANSI code page here),
// 950 Big5. Unmappable characters become '?' (Windows' default character for
// these code pages); invalid input decodes to U+FFFD. A length of -1 means "up
// to and including the terminating zero".
#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/stand_in.h"

namespace {


thread_local DWORD g_last_error = 0;

const char *converter_name(UINT code_page) {
    switch (code_page) {
        case CP_ACP:
        case 936: return "windows-936-2000";
        case 950: return "windows-950-2000";
        case CP_UTF8: return "UTF-8";
        default: return nullptr;
    }
}

// One converter per code page, made once; ICU converters are not thread-safe,
// so every use holds the lock.
std::mutex g_lock;
// Closed when the stand-in is unloaded.
struct Converters : std::map<UINT, UConverter *> {
    ~Converters() {
        for (auto &[page, c] : *this)
            if (c) ucnv_close(c);
    }
};

UConverter *converter(UINT code_page) {
    static Converters converters;
    const char *name = converter_name(code_page == CP_ACP ? 936 : code_page);
    if (!name) return nullptr;
    auto &c = converters[code_page == CP_ACP ? 936 : code_page];
    if (!c) {
        UErrorCode err = U_ZERO_ERROR;
        c = ucnv_open(name, &err);
        if (U_FAILURE(err)) return c = nullptr;
        ucnv_setSubstChars(c, "?", 1, &err);
    }
    return c;
}

int fail(DWORD error) {
    g_last_error = error;
    return 0;
}

// Copies `count` units to a caller's buffer of `size` units, or measures when size is 0.
template <class Unit>
int deliver(const Unit *units, int count, Unit *out, int size) {
    if (size == 0) return count;
    if (!out || size < count) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(out, units, sizeof(Unit) * static_cast<size_t>(count));
    return count;
}

icu::UnicodeString decode(UConverter *c, const char *text, int length) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_reset(c);
    icu::UnicodeString s(text, length, c, err);
    return U_SUCCESS(err) ? s : icu::UnicodeString();
}

std::string encode(UConverter *c, const icu::UnicodeString &s) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_reset(c);
    int32_t need = s.extract(nullptr, 0, c, err);
    std::string out(static_cast<size_t>(need), '\0');
    err = U_ZERO_ERROR;
    ucnv_reset(c);
    s.extract(out.data(), need, c, err);
    return out;
}

// The input as a span: up to and including the zero when `length` is -1.
bool input_length(const void *text, int length, size_t unit, int &out) {
    if (!text || length < -1) return false;
    if (length != -1) {
        out = length;
        return true;
    }
    if (unit == 1) out = static_cast<int>(std::strlen(static_cast<const char *>(text))) + 1;
    else {
        auto *u = static_cast<const WCHAR *>(text);
        int n = 0;
        while (u[n]) ++n;
        out = n + 1;
    }
    return true;
}

// Traditional to simplified, character by character, so each character keeps
// its byte length in GBK.
UChar32 simplified(UChar32 c) {
    static std::map<UChar32, UChar32> cache;
    static std::unique_ptr<icu::Transliterator> hant_to_hans = [] {
        UErrorCode err = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createInstance("Hant-Hans", UTRANS_FORWARD, err));
        return U_SUCCESS(err) ? std::move(t) : nullptr;
    }();
    if (c < 0x2E80 || !hant_to_hans) return c;
    auto it = cache.find(c);
    if (it != cache.end()) return it->second;
    icu::UnicodeString s(c);
    hant_to_hans->transliterate(s);
    UChar32 result = s.countChar32() == 1 ? s.char32At(0) : c;
    cache[c] = result;
    return result;
}

}  // namespace

STANDIN_EXPORT DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

STANDIN_EXPORT DWORD GetLastError() { return g_last_error; }
STANDIN_EXPORT void SetLastError(DWORD error) { g_last_error = error; }

STANDIN_EXPORT int MultiByteToWideChar(UINT code_page, DWORD, LPCSTR text, int length, LPWSTR out, int size) {
    std::lock_guard lock(g_lock);
    UConverter *c = converter(code_page);
    int n = 0;
    if (!c || size < 0 || !input_length(text, length, 1, n)) return fail(ERROR_INVALID_PARAMETER);
    if (n == 0) return fail(ERROR_INVALID_PARAMETER);
    icu::UnicodeString s = decode(c, text, n);
    return deliver(reinterpret_cast<const WCHAR *>(s.getBuffer()), s.length(), out, size);
}

STANDIN_EXPORT int WideCharToMultiByte(UINT code_page, DWORD, LPCWSTR units, int length, LPSTR out, int size,
                                       LPCSTR, BOOL *used_default) {
    std::lock_guard lock(g_lock);
    UConverter *c = converter(code_page);
    int n = 0;
    if (!c || size < 0 || !input_length(units, length, 2, n)) return fail(ERROR_INVALID_PARAMETER);
    if (n == 0) return fail(ERROR_INVALID_PARAMETER);
    icu::UnicodeString s(reinterpret_cast<const UChar *>(units), n);
    std::string bytes = encode(c, s);
    if (used_default) *used_default = FALSE;
    return deliver(bytes.data(), static_cast<int>(bytes.size()), out, size);
}

STANDIN_EXPORT int LCMapStringA(LCID, DWORD flags, LPCSTR text, int length, LPSTR out, int size) {
    std::lock_guard lock(g_lock);
    int n = 0;
    if (!(flags & LCMAP_SIMPLIFIED_CHINESE) || size < 0 || !input_length(text, length, 1, n) || n == 0)
        return fail(ERROR_INVALID_PARAMETER);
    UConverter *gbk = converter(936);
    if (!gbk) return fail(ERROR_NO_UNICODE_TRANSLATION);
    icu::UnicodeString source = decode(gbk, text, n);
    std::string result;
    result.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < source.length();) {
        UChar32 ch = source.char32At(i);
        int32_t next = source.moveIndex32(i, 1);
        std::string original = encode(gbk, source.tempSubStringBetween(i, next));
        std::string mapped = encode(gbk, icu::UnicodeString(simplified(ch)));
        result += mapped.size() == original.size() ? mapped : original;
        i = next;
    }
    // Bytes that did not decode whole (a cut double-byte character) stay as they were.
    if (result.size() != static_cast<size_t>(n)) result.assign(text, static_cast<size_t>(n));
    return deliver(result.data(), static_cast<int>(result.size()), out, size);
}
