#include "platform/code_pages.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <map>
#include <utility>

namespace tolvar::platform {

namespace {

UINT normalized(UINT code_page) { return code_page == CP_ACP ? CODE_PAGE_GBK : code_page; }

const char *converter_name(UINT code_page) {
    switch (normalized(code_page)) {
        case CODE_PAGE_GBK: return "windows-936-2000";
        case CODE_PAGE_BIG5: return "windows-950-2000";
        case CP_UTF8: return "UTF-8";
        default: return nullptr;
    }
}

// One converter per code page and best-fit setting, made on first use and
// closed at exit.
struct Converters {
    std::map<std::pair<UINT, bool>, UConverter *> open;
    ~Converters() {
        for (auto &[key, c] : open)
            if (c) ucnv_close(c);
    }
};

UConverter *converter(UINT code_page, bool best_fit) {
    static Converters converters;
    code_page = normalized(code_page);
    const char *name = converter_name(code_page);
    if (!name) return nullptr;
    UConverter *&c = converters.open[{code_page, best_fit}];
    if (!c) {
        UErrorCode err = U_ZERO_ERROR;
        c = ucnv_open(name, &err);
        if (U_FAILURE(err)) return c = nullptr;
        // ICU's fallback mappings from Unicode are the best-fit mappings of these tables.
        ucnv_setFallback(c, best_fit);
        if (code_page != CP_UTF8) ucnv_setSubstChars(c, "?", 1, &err);
    }
    return c;
}

// Where ICU's table and Windows' best-fit table of a code page differ, the
// code point to convert instead, or 0 where both agree. U+FFFF (a
// noncharacter that no table holds) makes the default character, as used:
// where ICU has a fallback that Windows lacks, and where Windows' best fit is
// the default character itself (950's inverted question mark), which Windows
// counts as the default character used, the caller's own if it gave one.
char16_t windows_best_fit(UINT code_page, char16_t unit) {
    switch (normalized(code_page)) {
        case CODE_PAGE_GBK: return unit >= 0xFFE9 && unit <= 0xFFEE ? 0xFFFF : 0;  // half-width arrows and forms
        case CODE_PAGE_BIG5: return unit == 0x00BF ? 0xFFFF : 0;                    // inverted question mark
        default: return 0;
    }
}

// Every character the code page cannot take, default-ignorable or not (ICU's
// own substitution skips those), becomes the default character.
struct Substitution {
    std::string_view bytes;  // empty: the converter's own
    bool used = false;
};

void substitute(const void *context, UConverterFromUnicodeArgs *args, const UChar *, int32_t, UChar32,
                UConverterCallbackReason reason, UErrorCode *err) {
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
    auto *s = static_cast<Substitution *>(const_cast<void *>(context));
    s->used = true;
    *err = U_ZERO_ERROR;
    if (s->bytes.empty()) ucnv_cbFromUWriteSub(args, 0, err);
    else ucnv_cbFromUWriteBytes(args, s->bytes.data(), static_cast<int32_t>(s->bytes.size()), 0, err);
}

// A byte sequence that is no character of the code page becomes the code
// page's Unicode default character: U+003F for 936 and 950 (Windows' CPINFO),
// U+FFFD for UTF-8.
void substitute_unit(const void *context, UConverterToUnicodeArgs *args, const char *, int32_t,
                     UConverterCallbackReason reason, UErrorCode *err) {
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
    *err = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, static_cast<const UChar *>(context), 1, 0, err);
}

}  // namespace

bool known_code_page(UINT code_page) { return converter_name(code_page) != nullptr; }

bool is_utf8(UINT code_page) { return code_page == CP_UTF8; }

Encoding encode(UINT code_page, std::u16string_view units, bool best_fit, std::string_view default_char) {
    Encoding result;
    UConverter *c = converter(code_page, best_fit);
    if (!c || units.empty()) return result;
    std::u16string replaced;
    if (best_fit && std::any_of(units.begin(), units.end(), [&](char16_t u) { return windows_best_fit(code_page, u); })) {
        replaced.assign(units);
        for (char16_t &u : replaced)
            if (char16_t instead = windows_best_fit(code_page, u)) u = instead;
        units = replaced;
    }
    Substitution substitution{default_char};
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setFromUCallBack(c, substitute, &substitution, nullptr, nullptr, &err);
    ucnv_resetFromUnicode(c);
    std::string &out = result.bytes;
    out.resize(units.size() * 2 + 16);
    const UChar *source = reinterpret_cast<const UChar *>(units.data()), *end = source + units.size();
    size_t written = 0;
    for (;;) {
        char *target = out.data() + written, *limit = out.data() + out.size();
        err = U_ZERO_ERROR;
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
    result.used_default = substitution.used;
    return result;
}

std::optional<std::u16string> decode(UINT code_page, std::string_view bytes, bool stop_on_invalid) {
    UConverter *c = converter(code_page, true);
    if (!c) return std::nullopt;
    static const UChar kQuestionMark = u'?', kReplacement = 0xFFFD;
    const UChar *unicode_default = is_utf8(code_page) ? &kReplacement : &kQuestionMark;
    UErrorCode err = U_ZERO_ERROR;
    if (stop_on_invalid) ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    else ucnv_setToUCallBack(c, substitute_unit, unicode_default, nullptr, nullptr, &err);
    ucnv_resetToUnicode(c);
    std::u16string out(bytes.size() + 1, u'\0');  // a byte gives at most one unit in these code pages
    const char *source = bytes.data(), *end = source + bytes.size();
    size_t written = 0;
    for (;;) {
        UChar *target = reinterpret_cast<UChar *>(out.data()) + written;
        UChar *limit = reinterpret_cast<UChar *>(out.data()) + out.size();
        err = U_ZERO_ERROR;
        ucnv_toUnicode(c, &target, limit, &source, end, nullptr, true, &err);
        written = static_cast<size_t>(target - reinterpret_cast<UChar *>(out.data()));
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(err)) {
            if (stop_on_invalid) return std::nullopt;
            written = 0;
        }
        break;
    }
    out.resize(written);
    return out;
}

size_t character_length(UINT code_page, unsigned char lead) {
    if (is_utf8(code_page)) {
        if (lead >= 0xF0 && lead <= 0xF7) return 4;
        if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
        if (lead >= 0xC0) return 2;
        return 1;
    }
    return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
}

}  // namespace tolvar::platform
