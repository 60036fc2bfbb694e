// The scripting engine's RegExp class means what the Windows engine means:
// one case per class where a Perl-style engine (PCRE2) would answer otherwise,
// and the bounded search that fails visibly instead of finding nothing.
#include <gtest/gtest.h>

#include "tests/support/scripting_regexp.h"

using namespace tolvar::test;

namespace {

using R = ScriptingRegExp;

// Global matches of `pattern` in `subject`, as "index:text" joined by '|';
// "error" when the engine refused.
std::string matches(const std::u16string &pattern, const std::u16string &subject, bool multiline = false,
                    bool ignore_case = false, int32_t *error = nullptr) {
    R engine;
    tolvar_variant ignored{}, found{}, count{};
    R::invoke(engine.object(), "Global", TOLVAR_INVOKE_PUT, {R::logical(true)}, ignored);
    R::invoke(engine.object(), "Multiline", TOLVAR_INVOKE_PUT, {R::logical(multiline)}, ignored);
    R::invoke(engine.object(), "IgnoreCase", TOLVAR_INVOKE_PUT, {R::logical(ignore_case)}, ignored);
    R::invoke(engine.object(), "Pattern", TOLVAR_INVOKE_PUT, {R::text(pattern)}, ignored);
    int32_t code = R::invoke(engine.object(), "Execute", TOLVAR_INVOKE_METHOD, {R::text(subject)}, found);
    if (error) *error = code;
    if (code != TOLVAR_S_OK) return "error";
    R::invoke(found.object, "Count", TOLVAR_INVOKE_GET, {}, count);
    std::string out;
    for (int32_t i = 0; i < count.number; ++i) {
        tolvar_variant match{}, index{}, value{};
        R::invoke(found.object, "Item", TOLVAR_INVOKE_GET, {R::number(i)}, match);
        R::invoke(match.object, "FirstIndex", TOLVAR_INVOKE_GET, {}, index);
        R::invoke(match.object, "Value", TOLVAR_INVOKE_GET, {}, value);
        std::u16string text = R::take_text(value);
        out += (out.empty() ? "" : "|") + std::to_string(index.number) + ":" + std::string(text.begin(), text.end());
        R::release(match.object);
    }
    R::release(found.object);
    return out;
}

TEST(WindowsMeaning, PerlOnlyEscapesAreTheLetterItself) {
    EXPECT_EQ("0:A", matches(u"\\A", u"A"));
    EXPECT_EQ("0:z|1:Z", matches(u"\\z|\\Z", u"zZ"));
    EXPECT_EQ("0:GKhRea", matches(u"\\G\\K\\h\\R\\e\\a", u"GKhRea"));
    EXPECT_EQ("0:QxE", matches(u"\\Qx\\E", u"QxE"));
}

TEST(WindowsMeaning, PerlOnlySyntaxIsAnErrorOrText) {
    for (const char16_t *pattern : {u"(?i)a", u"(?#note)a", u"(?>a)", u"a*+", u"a++", u"(?<name>a)", u"(?<=a)b", u"(?P<n>a)"}) {
        int32_t error = 0;
        EXPECT_EQ("error", matches(pattern, u"a")) << std::string(pattern, pattern + std::char_traits<char16_t>::length(pattern));
        matches(pattern, u"a", false, false, &error);
        EXPECT_EQ(TOLVAR_E_PATTERN_SYNTAX, error);
    }
    // A POSIX class is a class of its characters followed by a ']'.
    EXPECT_EQ("1:a]", matches(u"[[:alpha:]]", u"ba]"));
    EXPECT_EQ("", matches(u"[[:alpha:]]", u"b"));
}

TEST(WindowsMeaning, VerticalTabEscapeIsTheVerticalTabAlone) {
    EXPECT_EQ("1:\v", matches(u"\\v", u"\n\v\f\r\u2028"));
}

TEST(WindowsMeaning, CarriageReturnAndLineFeedAreTwoCharacters) {
    EXPECT_EQ("0:|2:|3:", matches(u"^", u"a\r\nb", true));
    EXPECT_EQ("2:\nb", matches(u"\\s\\w", u"a\r\nb"));
    EXPECT_EQ("1:|2:|4:", matches(u"$", u"a\r\nb", true));
}

TEST(WindowsMeaning, AnIterationThatMatchesEmptyEndsTheRepetition) {
    EXPECT_EQ("0:a|1:", matches(u"(?:a?" u"?)*", u"a"));
    EXPECT_EQ("0:ab|2:", matches(u"(?:a|b?" u"?)+", u"ab"));
}

TEST(WindowsMeaning, CapturesOfARepeatedGroupAreClearedEachIteration) {
    R engine;
    tolvar_variant ignored{}, found{}, match{}, submatches{}, group{};
    R::invoke(engine.object(), "Pattern", TOLVAR_INVOKE_PUT, {R::text(u"(?:(a)|b)+")}, ignored);
    R::invoke(engine.object(), "Execute", TOLVAR_INVOKE_METHOD, {R::text(u"ab")}, found);
    R::invoke(found.object, "Item", TOLVAR_INVOKE_GET, {R::number(0)}, match);
    R::invoke(match.object, "SubMatches", TOLVAR_INVOKE_GET, {}, submatches);
    R::invoke(submatches.object, "Item", TOLVAR_INVOKE_GET, {R::number(0)}, group);
    EXPECT_EQ(TOLVAR_VT_EMPTY, group.type);  // PCRE2 would keep "a"
    R::release(submatches.object);
    R::release(match.object);
    R::release(found.object);
}

TEST(WindowsMeaning, ASearchTooLongForTheBoundsFailsVisiblyAndALongOneCompletes) {
    // Exponential backtracking: given up at the engine's bounds, as an error, never "no match".
    int32_t error = 0;
    EXPECT_EQ("error", matches(u"(a+)+b", std::u16string(40, u'a'), false, false, &error));
    EXPECT_EQ(TOLVAR_E_SEARCH_TOO_LONG, error);
    // Many backtracking steps, fewer than the bound: the search completes.
    EXPECT_EQ("", matches(u"(x+x+)+y", std::u16string(16, u'x'), false, false, &error));
    EXPECT_EQ(TOLVAR_S_OK, error);
    EXPECT_EQ("0:" + std::string(20000, 'x') + "y", matches(u"(?:x|xx)*y", std::u16string(20000, u'x') + u"y"));
}

}  // namespace
