// kernel32 stand-in: the process id, the thread's last error, and the
// code-page functions with their Windows signatures and meaning (the
// conversions themselves are in code_pages.cpp).
//
// Code pages: 65001 UTF-8, 936 GBK (also 0, the system's ANSI code page here),
// 950 Big5. A negative length means "up to and including the terminating
// zero". An output buffer too small for the result receives the whole
// characters that fit, and the call fails with ERROR_INSUFFICIENT_BUFFER.
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/code_pages.h"
#include "platform/stand_in.h"

namespace {

using tolvar::platform::Encoding;

thread_local DWORD g_last_error = 0;

// The conversions share ICU converters, which are not thread-safe.
std::mutex g_lock;

// What a conversion depends on besides its input.
struct Settings {
    UINT code_page = 0;
    DWORD flags = 0;
    std::string default_char;
    bool operator==(const Settings &) const = default;
};

// The last conversion, kept for the call that follows it: a program measures
// first (no output buffer) and then converts the same input, and that second
// call takes the result of the first instead of converting again.
template <class In, class Out>
struct LastConversion {
    Settings settings;
    std::basic_string<In> input;
    std::basic_string<Out> output;
    bool used_default = false;
    bool holds(const Settings &s, const In *text, int length) const {
        return !input.empty() && settings == s && input.size() == static_cast<size_t>(length) &&
               std::memcmp(input.data(), text, sizeof(In) * input.size()) == 0;
    }
    void keep(const Settings &s, const In *text, int length, std::basic_string<Out> result, bool used) {
        settings = s;
        input.assign(text, static_cast<size_t>(length));
        output = std::move(result);
        used_default = used;
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

// Delivers `count` units to a caller's buffer of `size` units, or measures
// when size is 0. `whole` gives the length of the character that starts at a
// unit, so that a buffer too small is filled with whole characters only.
template <class Unit, class Whole>
int deliver(const Unit *units, int count, Unit *out, int size, Whole whole) {
    if (size == 0) return count;
    if (size >= count) {
        std::memcpy(out, units, sizeof(Unit) * static_cast<size_t>(count));
        return count;
    }
    int fits = 0;
    while (fits < size) {
        int next = fits + static_cast<int>(whole(units[fits]));
        if (next > size) break;
        fits = next;
    }
    std::memcpy(out, units, sizeof(Unit) * static_cast<size_t>(fits));
    return fail(ERROR_INSUFFICIENT_BUFFER);
}

int deliver_units(const char16_t *units, int count, WCHAR *out, int size) {
    return deliver(units, count, reinterpret_cast<char16_t *>(out), size, [](char16_t) { return 1; });
}

int deliver_bytes(UINT code_page, const char *bytes, int count, char *out, int size) {
    return deliver(bytes, count, out, size, [&](char lead) {
        return tolvar::platform::character_length(code_page, static_cast<unsigned char>(lead));
    });
}

// ASCII is the same in each of these code pages (GBK, Big5, UTF-8), so text
// made of it alone is widened or narrowed unit by unit without ICU.
// (Blocks of a fixed size, so that the compiler can turn each into vector code.)
constexpr int kBlock = 16;

template <class Unit>
bool all_ascii(const Unit *in, int length) {
    unsigned seen = 0;
    int i = 0;
    for (; i + kBlock <= length; i += kBlock)
        for (int k = 0; k < kBlock; ++k) seen |= static_cast<unsigned>(in[i + k]);
    for (; i < length; ++i) seen |= static_cast<unsigned>(in[i]);
    return (seen & ~0x7Fu) == 0;
}

// Text of ASCII alone, measured or copied straight into the caller's buffer.
template <class In, class Out>
int deliver_ascii(const In *in, int length, Out *out, int size) {
    if (size == 0) return length;
    int n = std::min(length, size);
    for (int i = 0; i < n; ++i) out[i] = static_cast<Out>(in[i]);
    return size >= length ? length : fail(ERROR_INSUFFICIENT_BUFFER);
}

// The input's length in units: through the terminating zero when negative.
template <class Unit>
int input_length(const Unit *text, int length) {
    if (length >= 0) return length;
    int n = 0;
    while (text[n]) ++n;
    return n + 1;
}

// The default character the caller gave: one character of the code page.
std::string default_character(UINT code_page, LPCSTR given) {
    if (!given) return {};
    auto lead = static_cast<unsigned char>(given[0]);
    size_t length = tolvar::platform::character_length(code_page, lead) == 2 && given[1] ? 2 : 1;
    return std::string(given, length);
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

STANDIN_FUNCTION(int, MultiByteToWideChar, (UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR out, int size)) {
    std::lock_guard lock(g_lock);
    if (!tolvar::platform::known_code_page(code_page) || !text || length == 0 || size < 0 || (size > 0 && !out))
        return fail(ERROR_INVALID_PARAMETER);
    int n = input_length(text, length);
    auto *bytes = reinterpret_cast<const unsigned char *>(text);
    if (all_ascii(bytes, n)) return deliver_ascii(bytes, n, reinterpret_cast<char16_t *>(out), size);
    Settings settings{code_page, flags & MB_ERR_INVALID_CHARS, {}};
    std::u16string result;
    if (g_last_decoded.holds(settings, text, n)) {
        result = std::move(g_last_decoded.output);
    } else {
        auto decoded = tolvar::platform::decode(code_page, {text, static_cast<size_t>(n)}, settings.flags != 0);
        if (!decoded) return fail(ERROR_NO_UNICODE_TRANSLATION);
        result = std::move(*decoded);
    }
    int count = static_cast<int>(result.size());
    if (size == 0) {
        g_last_decoded.keep(settings, text, n, std::move(result), false);
        return count;
    }
    g_last_decoded.forget();
    return deliver_units(result.data(), count, out, size);
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(int, WideCharToMultiByte,
                 (UINT code_page, DWORD flags, LPCWSTR units, int length, LPSTR out, int size, LPCSTR default_char,
                  BOOL *used_default)) {
    std::lock_guard lock(g_lock);
    if (!tolvar::platform::known_code_page(code_page) || !units || length == 0 || size < 0 || (size > 0 && !out))
        return fail(ERROR_INVALID_PARAMETER);
    // UTF-8 has no default character: both must be left out.
    if (tolvar::platform::is_utf8(code_page) && (default_char || used_default)) return fail(ERROR_INVALID_PARAMETER);
    if (used_default) *used_default = FALSE;
    auto *input = reinterpret_cast<const char16_t *>(units);
    int n = input_length(input, length);
    if (all_ascii(input, n)) return deliver_ascii(input, n, out, size);
    Settings settings{code_page, flags & WC_NO_BEST_FIT_CHARS, default_character(code_page, default_char)};
    std::string result;
    bool used = false;
    if (g_last_encoded.holds(settings, input, n)) {
        result = std::move(g_last_encoded.output);
        used = g_last_encoded.used_default;
    } else {
        Encoding encoding = tolvar::platform::encode(code_page, {input, static_cast<size_t>(n)}, settings.flags == 0,
                                                     settings.default_char);
        result = std::move(encoding.bytes);
        used = encoding.used_default;
    }
    if (used_default) *used_default = used ? TRUE : FALSE;
    int count = static_cast<int>(result.size());
    if (size == 0) {
        g_last_encoded.keep(settings, input, n, std::move(result), used);
        return count;
    }
    g_last_encoded.forget();
    return deliver_bytes(code_page, result.data(), count, out, size);
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(int, LCMapStringA, (LCID, DWORD flags, LPCSTR text, int length, LPSTR out, int size)) {
    std::lock_guard lock(g_lock);
    if (!(flags & LCMAP_SIMPLIFIED_CHINESE) || !text || length == 0 || size < 0 || (size > 0 && !out))
        return fail(ERROR_INVALID_PARAMETER);
    int n = input_length(text, length);
    auto decoded = tolvar::platform::decode(CODE_PAGE_GBK, {text, static_cast<size_t>(n)}, false);
    if (!decoded) return fail(ERROR_NO_UNICODE_TRANSLATION);
    icu::UnicodeString source(false, reinterpret_cast<const UChar *>(decoded->data()), static_cast<int32_t>(decoded->size()));
    auto gbk = [](const icu::UnicodeString &s) {
        return tolvar::platform::encode(CODE_PAGE_GBK, {reinterpret_cast<const char16_t *>(s.getBuffer()), static_cast<size_t>(s.length())},
                                        false, {});
    };
    std::string result;
    result.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < source.length();) {
        UChar32 ch = source.char32At(i);
        int32_t next = source.moveIndex32(i, 1);
        Encoding original = gbk(source.tempSubStringBetween(i, next));
        Encoding mapped = gbk(icu::UnicodeString(simplified(ch)));
        result += !mapped.used_default && mapped.bytes.size() == original.bytes.size() ? mapped.bytes : original.bytes;
        i = next;
    }
    // Bytes that did not decode whole (a cut double-byte character) stay as they were.
    if (result.size() != static_cast<size_t>(n)) result.assign(text, static_cast<size_t>(n));
    return deliver_bytes(CODE_PAGE_GBK, result.data(), static_cast<int>(result.size()), out, size);
}
STANDIN_FUNCTION_END(0)
