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
        case CODE_PAGE_GBK: return "windows-936-2000";
        case CODE_PAGE_BIG5: return "windows-950-2000";
        case CP_UTF8: return "UTF-8";
        default: return nullptr;
    }
}

// One converter per code page, made once and closed at exit; ICU converters
// are not thread-safe, so every use holds the lock.
std::mutex g_lock;
struct Converters {
    std::map<UINT, UConverter *> by_code_page;
    ~Converters() {
        for (auto &[code_page, c] : by_code_page)
            if (c) ucnv_close(c);
    }
};
UConverter *converter(UINT code_page) {
    static Converters converters;
    const char *name = converter_name(code_page == CP_ACP ? CODE_PAGE_GBK : code_page);
    if (!name) return nullptr;
    auto &c = converters.by_code_page[code_page == CP_ACP ? CODE_PAGE_GBK : code_page];
    if (!c) {
        UErrorCode err = U_ZERO_ERROR;
        c = ucnv_open(name, &err);
        if (U_FAILURE(err)) return c = nullptr;
        ucnv_setSubstChars(c, "?", 1, &err);
    }
    return c;
}

// The last conversion, kept for the call that follows it: a program measures
// first (no output buffer) and then converts the same input, and that second
// call takes the result of the first instead of converting again.
template <class In, class Out>
struct LastConversion {
    UINT code_page = 0;
    std::basic_string<In> input;
    std::basic_string<Out> output;
    bool holds(UINT cp, const In *text, int length) const {
        return !input.empty() && code_page == cp && input.size() == static_cast<size_t>(length) &&
               std::memcmp(input.data(), text, sizeof(In) * input.size()) == 0;
    }
    void keep(UINT cp, const In *text, int length, std::basic_string<Out> result) {
        code_page = cp;
        input.assign(text, static_cast<size_t>(length));
        output = std::move(result);
    }
    // Small blocks keep their room for the next conversion; large ones are freed.
    void forget() {
        input.clear();
        output.clear();
        if (input.capacity() > kKeptRoom) input.shrink_to_fit();
        if (output.capacity() > kKeptRoom) output.shrink_to_fit();
    }
    static constexpr size_t kKeptRoom = 64 * 1024;
};
LastConversion<char, char16_t> g_last_decoded;
LastConversion<char16_t, char> g_last_encoded;

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

// ASCII is the same in each of these code pages (GBK, Big5, UTF-8), so text
// made of it alone is widened or narrowed unit by unit without ICU: one pass
// that copies and notes any unit beyond ASCII; false when there was one.
// (Blocks of a fixed size, so that the compiler can turn each into vector code.)
constexpr int kBlock = 16;

template <class In, class Out>
bool copy_ascii(const In *in, int length, Out *out) {
    unsigned seen = 0;
    int i = 0;
    for (; i + kBlock <= length; i += kBlock)
        for (int k = 0; k < kBlock; ++k) {
            seen |= static_cast<unsigned>(in[i + k]);
            out[i + k] = static_cast<Out>(in[i + k]);
        }
    for (; i < length; ++i) {
        seen |= static_cast<unsigned>(in[i]);
        out[i] = static_cast<Out>(in[i]);
    }
    return (seen & ~0x7Fu) == 0;
}

template <class Unit>
bool all_ascii(const Unit *in, int length) {
    unsigned seen = 0;
    int i = 0;
    for (; i + kBlock <= length; i += kBlock)
        for (int k = 0; k < kBlock; ++k) seen |= static_cast<unsigned>(in[i + k]);
    for (; i < length; ++i) seen |= static_cast<unsigned>(in[i]);
    return (seen & ~0x7Fu) == 0;
}

// One pass through the converter, the output growing as it needs.
std::u16string decode(UConverter *c, const char *text, int length) {
    std::u16string out(static_cast<size_t>(length) + 1, u'\0');  // a byte gives at most one unit here
    if (copy_ascii(reinterpret_cast<const unsigned char *>(text), length, out.data())) {
        out.resize(static_cast<size_t>(length));
        return out;
    }
    ucnv_reset(c);
    const char *source = text, *end = text + length;
    size_t written = 0;
    for (;;) {
        UChar *target = reinterpret_cast<UChar *>(out.data()) + written;
        UChar *limit = reinterpret_cast<UChar *>(out.data()) + out.size();
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(c, &target, limit, &source, end, nullptr, true, &err);
        written = static_cast<size_t>(target - reinterpret_cast<UChar *>(out.data()));
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(err)) written = 0;
        break;
    }
    out.resize(written);
    return out;
}

std::string encode(UConverter *c, const char16_t *units, int length) {
    std::string out(static_cast<size_t>(length) * 2 + 16, '\0');
    if (copy_ascii(units, length, out.data())) {
        out.resize(static_cast<size_t>(length));
        return out;
    }
    ucnv_reset(c);
    const UChar *source = reinterpret_cast<const UChar *>(units), *end = source + length;
    size_t written = 0;
    for (;;) {
        char *target = out.data() + written, *limit = out.data() + out.size();
        UErrorCode err = U_ZERO_ERROR;
        ucnv_fromUnicode(c, &target, limit, &source, end, nullptr, true, &err);
        written = static_cast<size_t>(target - out.data());
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(err)) written = 0;
        break;
    }
    out.resize(written);
    return out;
}

std::string encode(UConverter *c, const icu::UnicodeString &s) {
    return encode(c, reinterpret_cast<const char16_t *>(s.getBuffer()), s.length());
}

// Text of ASCII alone, measured or copied straight into the caller's buffer.
template <class In, class Out>
int deliver_ascii(const In *in, int length, Out *out, int size) {
    if (size == 0) return length;
    if (!out || size < length) return fail(ERROR_INSUFFICIENT_BUFFER);
    copy_ascii(in, length, out);
    return length;
}

// The conversion itself when it was not just measured; forgotten after
// delivery into a buffer (or when measured input is not converted after all).
template <class In, class Out, class Convert>
int convert_once(LastConversion<In, Out> &last, UINT code_page, const In *input, int length, Out *out, int size,
                 Convert convert) {
    std::basic_string<Out> result;
    if (last.holds(code_page, input, length)) result = std::move(last.output);
    else result = convert();
    if (size == 0) {
        int count = static_cast<int>(result.size());
        last.keep(code_page, input, length, std::move(result));
        return count;
    }
    last.forget();
    return deliver(result.data(), static_cast<int>(result.size()), out, size);
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

// The other stand-ins reach this value through SetLastError; here it is at hand.
void tolvar::platform::set_last_error(DWORD error) { g_last_error = error; }

STANDIN_FUNCTION(DWORD, GetCurrentProcessId, ()) {
    return static_cast<DWORD>(getpid());
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(DWORD, GetLastError, ()) {
    return g_last_error;
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(void, SetLastError, (DWORD error)) {
    g_last_error = error;
}
STANDIN_FUNCTION_END()

STANDIN_FUNCTION(int, MultiByteToWideChar, (UINT code_page, DWORD, LPCSTR text, int length, LPWSTR out, int size)) {
    std::lock_guard lock(g_lock);
    UConverter *c = converter(code_page);
    int n = 0;
    if (!c || size < 0 || !input_length(text, length, 1, n)) return fail(ERROR_INVALID_PARAMETER);
    if (n == 0) return fail(ERROR_INVALID_PARAMETER);
    auto *bytes = reinterpret_cast<const unsigned char *>(text);
    if (all_ascii(bytes, n)) return deliver_ascii(bytes, n, reinterpret_cast<char16_t *>(out), size);
    return convert_once(g_last_decoded, code_page, text, n, reinterpret_cast<char16_t *>(out), size,
                        [&] { return decode(c, text, n); });
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(int, WideCharToMultiByte,
                 (UINT code_page, DWORD, LPCWSTR units, int length, LPSTR out, int size, LPCSTR, BOOL *used_default)) {
    std::lock_guard lock(g_lock);
    UConverter *c = converter(code_page);
    int n = 0;
    if (!c || size < 0 || !input_length(units, length, 2, n)) return fail(ERROR_INVALID_PARAMETER);
    if (n == 0) return fail(ERROR_INVALID_PARAMETER);
    if (used_default) *used_default = FALSE;
    auto *input = reinterpret_cast<const char16_t *>(units);
    if (all_ascii(input, n)) return deliver_ascii(input, n, out, size);
    return convert_once(g_last_encoded, code_page, input, n, out, size, [&] { return encode(c, input, n); });
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(int, LCMapStringA, (LCID, DWORD flags, LPCSTR text, int length, LPSTR out, int size)) {
    std::lock_guard lock(g_lock);
    int n = 0;
    if (!(flags & LCMAP_SIMPLIFIED_CHINESE) || size < 0 || !input_length(text, length, 1, n) || n == 0)
        return fail(ERROR_INVALID_PARAMETER);
    UConverter *gbk = converter(CODE_PAGE_GBK);
    if (!gbk) return fail(ERROR_NO_UNICODE_TRANSLATION);
    std::u16string decoded = decode(gbk, text, n);
    icu::UnicodeString source(false, reinterpret_cast<const UChar *>(decoded.data()), static_cast<int32_t>(decoded.size()));
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
STANDIN_FUNCTION_END(0)
