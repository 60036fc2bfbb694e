// The kernel32 stand-in's code-page functions, called as a Windows program
// calls them: every BMP code point against Microsoft's best-fit tables (kept
// in tests/platform/data), and the rules of lengths, buffers and flags.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "abi/win32.h"

namespace {

using MultiByteToWideCharFn = int (*)(UINT, DWORD, LPCSTR, int, LPWSTR, int);
using WideCharToMultiByteFn = int (*)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL *);
using GetLastErrorFn = DWORD (*)();
using SetLastErrorFn = void (*)(DWORD);

struct Kernel32 {
    void *library = dlopen(TOLVAR_BIN "/kernel32.so", RTLD_NOW | RTLD_LOCAL);
    template <class Fn>
    Fn get(const char *name) const {
        return library ? reinterpret_cast<Fn>(dlsym(library, name)) : nullptr;
    }
    MultiByteToWideCharFn to_wide = get<MultiByteToWideCharFn>("MultiByteToWideChar");
    WideCharToMultiByteFn to_multibyte = get<WideCharToMultiByteFn>("WideCharToMultiByte");
    GetLastErrorFn last_error = get<GetLastErrorFn>("GetLastError");
    SetLastErrorFn set_last_error = get<SetLastErrorFn>("SetLastError");
};

const Kernel32 &kernel32() {
    static Kernel32 k;
    return k;
}

// A published table: the code point ranges it covers (the whole BMP unless
// EXCERPT lines name parts of it) and the mappings listed in them.
struct BestFitTable {
    std::vector<std::pair<unsigned, unsigned>> ranges;
    std::map<unsigned, unsigned> mappings;  // code point -> the code page's code (one or two bytes)
    bool covers(unsigned code_point) const {
        for (auto [first, last] : ranges)
            if (code_point >= first && code_point <= last) return true;
        return false;
    }
};

BestFitTable read_table(const std::string &name) {
    std::ifstream in(std::string(TOLVAR_TABLE_DIR) + "/" + name);
    BestFitTable table;
    bool in_wctable = false;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find(';'));
        std::istringstream fields(line);
        std::string first, second;
        if (!(fields >> first)) continue;
        fields >> second;
        if (first == "EXCERPT") {
            std::string last;
            fields >> last;
            table.ranges.emplace_back(std::stoul(second, nullptr, 16), std::stoul(last, nullptr, 16));
        } else if (first == "WCTABLE") {
            in_wctable = true;
        } else if (first == "ENDCODEPAGE") {
            in_wctable = false;
        } else if (in_wctable && first.rfind("0x", 0) == 0) {
            table.mappings[std::stoul(first, nullptr, 16)] = std::stoul(second, nullptr, 16);
        }
    }
    if (table.ranges.empty()) table.ranges.emplace_back(0x0000, 0xFFFF);
    return table;
}

std::string bytes_of_code(unsigned code) {
    if (code < 0x100) return std::string(1, static_cast<char>(code));
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

std::string hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
    return out;
}

// One code point through WideCharToMultiByte, with the default-character flag.
std::pair<std::string, BOOL> narrow(UINT code_page, char16_t unit, DWORD flags = 0) {
    char buffer[8] = {};
    BOOL used = -1;
    int n = kernel32().to_multibyte(code_page, flags, reinterpret_cast<const WCHAR *>(&unit), 1, buffer, sizeof buffer,
                                    nullptr, &used);
    return {std::string(buffer, static_cast<size_t>(n > 0 ? n : 0)), used};
}

std::u16string widen(UINT code_page, const std::string &bytes) {
    WCHAR buffer[8] = {};
    int n = kernel32().to_wide(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), buffer, 8);
    return std::u16string(reinterpret_cast<const char16_t *>(buffer), static_cast<size_t>(n > 0 ? n : 0));
}

bool surrogate(unsigned u) { return u >= 0xD800 && u <= 0xDFFF; }

// Every BMP code point exactly as the table says (best fit included, default
// character where it lists none); outside the ranges of a table that covers
// only parts, a character converts to one that converts back, or to the
// default character.
void check_every_code_point(UINT code_page, const std::string &table_name, size_t least_listed) {
    ASSERT_NE(nullptr, kernel32().to_multibyte);
    BestFitTable table = read_table(table_name);
    ASSERT_GE(table.mappings.size(), least_listed);
    ASSERT_FALSE(table.ranges.empty());
    size_t differences = 0, best_fits = 0, checked = 0;
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        if (surrogate(u)) continue;
        auto [got, used] = narrow(code_page, static_cast<char16_t>(u));
        if (table.covers(u)) {
            auto it = table.mappings.find(u);
            std::string expected = it == table.mappings.end() ? "?" : bytes_of_code(it->second);
            // The default character counts as used also where the table's
            // best fit for another character is the default character itself
            // (950 maps U+00BF to "?").
            BOOL expected_used = it == table.mappings.end() || (expected == "?" && u != '?') ? TRUE : FALSE;
            best_fits += it != table.mappings.end() && widen(code_page, expected) != std::u16string(1, char16_t(u));
            ++checked;
            if ((got != expected || used != expected_used) && ++differences <= 10)
                ADD_FAILURE() << code_page << ": U+" << std::hex << u << " gave " << hex(got) << " (default " << used
                              << "), the table " << hex(expected);
        } else if (!(got == "?" && used) && widen(code_page, got) != std::u16string(1, char16_t(u))) {
            if (++differences <= 10) ADD_FAILURE() << code_page << ": U+" << std::hex << u << " gave " << hex(got);
        }
    }
    EXPECT_EQ(0u, differences);
    EXPECT_GT(best_fits, 300u);  // the table's best-fit lines were read and applied
    EXPECT_GT(checked, 63000u);  // every BMP code point but the surrogates
}

TEST(CodePages, EveryBmpCodePointConvertsTo936AsMicrosoftsBestFitTableSays) {
    check_every_code_point(936, "bestfit936.txt", 24000);
}

TEST(CodePages, EveryBmpCodePointConvertsTo950AsMicrosoftsBestFitTableSays) {
    check_every_code_point(950, "bestfit950.txt", 20000);
}

TEST(CodePages, WithoutBestFitOnlyCharactersThatComeBackConvert) {
    BestFitTable table = read_table("bestfit936.txt");
    size_t differences = 0;
    for (auto [u, code] : table.mappings) {
        bool round_trip = widen(936, bytes_of_code(code)) == std::u16string(1, char16_t(u));
        auto [got, used] = narrow(936, static_cast<char16_t>(u), WC_NO_BEST_FIT_CHARS);
        std::string expected = round_trip ? bytes_of_code(code) : "?";
        if ((got != expected || used != (round_trip ? FALSE : TRUE)) && ++differences <= 10)
            ADD_FAILURE() << "U+" << std::hex << u << " gave " << hex(got) << ", expected " << hex(expected);
    }
    EXPECT_EQ(0u, differences);
    EXPECT_EQ("?", narrow(936, u'\u00A5', WC_NO_BEST_FIT_CHARS).first);
}

// The decoding direction. The kept tables hold no MBTABLE part (the byte
// sequences' own mappings), so each sequence is checked through the WCTABLE:
// a sequence that decodes to a code point the table covers is the
// sequence the table gives for that code point, or one of the few duplicates
// that decode to the same code point as the table's own sequence does (950
// has eight box-drawing characters and two ideographs twice). A sequence that is no character
// decodes to the code page's Unicode default character, U+003F ("?").
// Checked: every single byte, and every lead byte 0x81 to 0xFE with every
// trail byte 0x40 to 0xFE, that decodes to one unit.
struct DecodeCounts {
    size_t undefined = 0;   // sequences that decode to "?"
    size_t duplicates = 0;  // sequences the table does not give back, decoding as the one it gives
};

void check_every_sequence_decodes(UINT code_page, const std::string &table_name, size_t least_in_table,
                                  DecodeCounts expected) {
    ASSERT_NE(nullptr, kernel32().to_wide);
    BestFitTable table = read_table(table_name);
    size_t differences = 0, in_table = 0;
    DecodeCounts counts;
    auto check = [&](const std::string &bytes) {
        std::u16string got = widen(code_page, bytes);
        if (got.size() != 1) return;
        unsigned u = got[0];
        if (u == '?' && bytes != "?") {
            ++counts.undefined;
            return;
        }
        if (!table.covers(u)) return;
        ++in_table;
        auto it = table.mappings.find(u);
        if (it != table.mappings.end() && bytes_of_code(it->second) == bytes) return;
        if (it != table.mappings.end() && widen(code_page, bytes_of_code(it->second)) == got) {
            ++counts.duplicates;
            return;
        }
        if (++differences <= 10)
            ADD_FAILURE() << code_page << ": " << hex(bytes) << " gave U+" << std::hex << u << ", which the table maps to "
                          << (it == table.mappings.end() ? "nothing" : hex(bytes_of_code(it->second)));
    };
    for (unsigned b = 0; b < 0x100; ++b)
        if (b < 0x81 || b == 0xFF) check(std::string(1, static_cast<char>(b)));
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) check(bytes_of_code(lead << 8 | trail));
    EXPECT_EQ(0u, differences);
    EXPECT_GT(in_table, least_in_table);
    EXPECT_EQ(expected.undefined, counts.undefined);
    EXPECT_EQ(expected.duplicates, counts.duplicates);
}

TEST(CodePages, EverySequenceOf936DecodesToACodePointTheTableMapsBack) {
    check_every_sequence_decodes(936, "bestfit936.txt", 2000, {0, 0});
}

TEST(CodePages, EverySequenceOf950DecodesToACodePointTheTableMapsBack) {
    check_every_sequence_decodes(950, "bestfit950.txt", 500, {4220, 10});
}

std::string to_multibyte(UINT code_page, const std::u16string &text, LPCSTR default_char = nullptr,
                         BOOL *used = nullptr) {
    auto *units = reinterpret_cast<const WCHAR *>(text.c_str());
    int need = kernel32().to_multibyte(code_page, 0, units, -1, nullptr, 0, default_char, used);
    std::string out(static_cast<size_t>(need > 0 ? need : 0), '\0');
    kernel32().to_multibyte(code_page, 0, units, -1, out.data(), need, default_char, used);
    if (!out.empty()) out.pop_back();  // the terminating zero
    return out;
}

TEST(CodePages, DefaultIgnorableCharactersBecomeTheDefaultCharacterAndSaySo) {
    BOOL used = FALSE;
    EXPECT_EQ("a?b", to_multibyte(936, u"a\uFEFFb", nullptr, &used));
    EXPECT_TRUE(used);
    for (char16_t c : {u'\u200B', u'\u200F', u'\u202A', u'\u202E', u'\u2060', u'\u206F', u'\uFE00', u'\uFE0F', u'\uFEFF'}) {
        EXPECT_EQ("x?", to_multibyte(936, std::u16string(u"x") + c)) << std::hex << int(c);
        EXPECT_EQ("x?", to_multibyte(950, std::u16string(u"x") + c)) << std::hex << int(c);
    }
    // The soft hyphen has a best fit of its own.
    EXPECT_EQ("a-b", to_multibyte(936, u"a\u00ADb", nullptr, &used));
    EXPECT_FALSE(used);
    // Best fit is no default character.
    EXPECT_EQ("\xA3\xA4", to_multibyte(936, u"\u00A5", nullptr, &used));
    EXPECT_FALSE(used);
    EXPECT_EQ("\xA2\x44", to_multibyte(950, u"\u00A5", nullptr, &used));
    // The caller's default character, single or double byte.
    EXPECT_EQ("a*b", to_multibyte(936, u"a\uAC00b", "*", &used));
    EXPECT_TRUE(used);
    EXPECT_EQ("a\xA1\xF9" "b", to_multibyte(936, u"a\uAC00b", "\xA1\xF9", &used));
    // A lone surrogate is a default character too; in UTF-8 it becomes U+FFFD.
    EXPECT_EQ("a?", to_multibyte(936, u"a\xD800"));
    EXPECT_EQ("a\xEF\xBF\xBD", to_multibyte(CP_UTF8, u"a\xDC00"));
}

TEST(CodePages, LengthsBuffersAndBadArgumentsAsWindowsHasThem) {
    const Kernel32 &k = kernel32();
    WCHAR wide[8] = {};
    // Any negative length means "through the terminating zero".
    EXPECT_EQ(4, k.to_wide(936, 0, "ab\xD6\xD0", -1, nullptr, 0));
    EXPECT_EQ(4, k.to_wide(936, 0, "ab\xD6\xD0", -2, nullptr, 0));
    EXPECT_EQ(4, k.to_wide(936, 0, "ab\xD6\xD0", -1000, wide, 8));
    EXPECT_EQ(0x4E2D, wide[2]);
    EXPECT_EQ(4, k.to_wide(936, 0, "abc", -7, nullptr, 0));
    // A buffer too small gets the part that fits, and the call fails.
    for (const char *text : {"abcdef", "\xD6\xD0\xCE\xC4\xD7\xD6"}) {
        WCHAR part[8] = {0x7777, 0x7777, 0x7777, 0x7777};
        k.set_last_error(0);
        EXPECT_EQ(0, k.to_wide(936, 0, text, -1, part, 2)) << text;
        EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, k.last_error());
        EXPECT_EQ(widen(936, text).substr(0, 2), std::u16string(reinterpret_cast<char16_t *>(part), 2)) << text;
        EXPECT_EQ(0x7777, part[2]);
    }
    // A double-byte character is never cut in half.
    char narrow_part[4] = {'#', '#', '#', '#'};
    const std::u16string chinese = u"\u4E2D\u6587";
    k.set_last_error(0);
    EXPECT_EQ(0, k.to_multibyte(936, 0, reinterpret_cast<const WCHAR *>(chinese.data()), 2, narrow_part, 3, nullptr, nullptr));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, k.last_error());
    EXPECT_EQ("\xD6\xD0##", std::string(narrow_part, 4));
    // Bad arguments.
    BOOL used = FALSE;
    for (auto call : {+[] { return kernel32().to_wide(936, 0, "a", 0, nullptr, 0); },
                      +[] { return kernel32().to_wide(936, 0, nullptr, -1, nullptr, 0); },
                      +[] { return kernel32().to_wide(936, 0, "a", -1, nullptr, 4); },
                      +[] { return kernel32().to_wide(1252, 0, "a", -1, nullptr, 0); }}) {
        k.set_last_error(0);
        EXPECT_EQ(0, call());
        EXPECT_EQ(ERROR_INVALID_PARAMETER, k.last_error());
    }
    k.set_last_error(0);
    EXPECT_EQ(0, k.to_multibyte(CP_UTF8, 0, reinterpret_cast<const WCHAR *>(u"a"), -1, nullptr, 0, nullptr, &used));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, k.last_error());
    // Invalid input fails when the caller asks for it.
    k.set_last_error(0);
    EXPECT_EQ(0, k.to_wide(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", -1, nullptr, 0));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, k.last_error());
    EXPECT_EQ(3, k.to_wide(CP_UTF8, 0, "a\xFF", -1, nullptr, 0));
}

TEST(CodePages, SingleBytesOfTheChineseCodePagesAsWindowsReadsThem) {
    EXPECT_EQ(u"\u20AC", widen(936, "\x80"));
    EXPECT_EQ(u"\uF8F5", widen(936, "\xFF"));
    EXPECT_EQ(u"\uF8F8", widen(950, "\xFF"));
    EXPECT_EQ("\x80", to_multibyte(936, u"\u20AC"));
    EXPECT_EQ("\xFF", to_multibyte(936, u"\uF8F5"));
}

}  // namespace
