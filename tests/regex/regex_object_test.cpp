// The regular-expression object through its operation table, on the real
// kernel: GBK texts, options, the state rules, and bad use.
#include <gtest/gtest.h>

#include "regex/regex_object.h"
#include "tests/support/kernel_harness.h"

using namespace tolvar;
using namespace tolvar::regex;
using namespace tolvar::test;

namespace {

constexpr OptionalBool yes{true, true};
constexpr OptionalBool no{false, true};

// GBK bytes of the Chinese texts used below.
const std::string kZhong = "\xD6\xD0";     // 中
const std::string kGuo = "\xB9\xFA";       // 国
const std::string kWen = "\xCE\xC4";       // 文

TEST(RegexObject, TheFriendPatternFindsEveryEntryInPageOrder) {
    in_program([] {
        RegexObject r = fresh_regex_object();
        ASSERT_TRUE(create(r, "\\d{6}','\\d{11}", yes, no, yes));
        std::string page = "<script>f('100001','13900000001');f('100002','13900000002');</script>"
                           "f('x1234567','139123456789');f('12345','13900000003');f('100004','1390000000');";
        ASSERT_EQ(3, execute(r, page));
        EXPECT_EQ("100001','13900000001", match_text(r, 1));
        EXPECT_EQ("100002','13900000002", match_text(r, 2));
        // The last six digits of a longer run before "','", the first eleven after it.
        EXPECT_EQ("234567','13912345678", match_text(r, 3));
        destroy(r);
    });
}

TEST(RegexObject, ChineseTextMatchesByCharacters) {
    in_program([] {
        RegexObject r = fresh_regex_object();
        create(r, kZhong + "." + kWen);
        EXPECT_EQ(1, execute(r, "a" + kZhong + kGuo + kWen + "b"));
        EXPECT_EQ(kZhong + kGuo + kWen, match_text(r, 1));
        // A class of two characters matches either, never half of one.
        create(r, "[" + kGuo + kWen + "]+");
        EXPECT_EQ(1, execute(r, kZhong + kGuo + kWen + kZhong));
        EXPECT_EQ(kGuo + kWen, match_text(r, 1));
        EXPECT_EQ(kGuo + "-" + kWen, replace(r, kGuo + "-" + kWen, {"$&", true}));
        EXPECT_EQ("[" + kGuo + kWen + "]+", pattern(r));
        destroy(r);
    });
}

TEST(RegexObject, OptionsDefaultToTrueAndAreSetAsGiven) {
    in_program([] {
        RegexObject r = fresh_regex_object();
        create(r, "^b");
        EXPECT_EQ(2, execute(r, "B\nb"));  // ignore case, multi-line, global
        create(r, "^b", yes, no, yes);
        EXPECT_EQ(1, execute(r, "B\nb"));
        create(r, "b", no, yes, yes);
        EXPECT_EQ(1, execute(r, "B\nb"));
        create(r, "b", yes, yes, no);
        EXPECT_EQ(1, execute(r, "B\nb"));
        EXPECT_EQ("x\nb", replace(r, "B\nb", {"x", true}));
        destroy(r);
    });
}

TEST(RegexObject, CountSubMatchesAndReplacement) {
    in_program([] {
        RegexObject r = fresh_regex_object();
        create(r, "(\\d+)-(\\d+)?");
        EXPECT_EQ(0, count(r));
        EXPECT_EQ(0, submatch_count(r));
        EXPECT_EQ(2, execute(r, "12-34 56-"));
        EXPECT_EQ(2, count(r));
        EXPECT_EQ(2, submatch_count(r));
        EXPECT_EQ("34", submatch_text(r, 1, 2));
        EXPECT_EQ("56", submatch_text(r, 2, 1));
        EXPECT_EQ("", submatch_text(r, 2, 2));  // the group took no part
        EXPECT_EQ("[34/12]$ [/56]$", replace(r, "12-34 56-", {"[$2/$1]$$", true}));
        EXPECT_EQ(0, execute(r, "none"));
        EXPECT_EQ(0, submatch_count(r));
        destroy(r);
    });
}

TEST(RegexObject, ASecondSearchReplacesTheFirstAndCopiesShareUntilEitherSearches) {
    in_program([] {
        RegexObject r = fresh_regex_object();
        create(r, "\\d");
        execute(r, "1a2");
        RegexObject *c = copy(r);
        EXPECT_EQ(2, count(*c));
        EXPECT_EQ("2", match_text(*c, 2));
        EXPECT_EQ(r.engine.handle(), c->engine.handle());
        EXPECT_EQ(1, execute(*c, "x9"));
        EXPECT_EQ("9", match_text(*c, 1));
        EXPECT_EQ(2, count(r));  // the source keeps its own collection
        EXPECT_EQ("1", match_text(r, 1));
        EXPECT_EQ(3, execute(r, "345"));
        EXPECT_EQ("5", match_text(r, 3));
        create(r, "x");  // a new engine for the source only
        EXPECT_EQ(0, count(r));
        EXPECT_EQ("\\d", pattern(*c));
        EXPECT_EQ(1, count(*c));
        destroy(*c);
        delete c;
        destroy(r);
        EXPECT_TRUE(r.engine.empty());
        EXPECT_TRUE(r.matches.empty());
    });
}

TEST(RegexObject, BadUseGivesEmptyOrZeroResults) {
    in_program([] {
        RegexObject fresh = fresh_regex_object();
        EXPECT_EQ("", pattern(fresh));
        EXPECT_EQ(-1, execute(fresh, "abc"));  // no engine to search with
        EXPECT_EQ("", replace(fresh, "abc", {"x", true}));
        EXPECT_EQ("", match_text(fresh, 1));
        EXPECT_EQ(0, submatch_count(fresh));
        destroy(fresh);

        RegexObject r = fresh_regex_object();
        EXPECT_TRUE(create(r, "(unclosed"));
        EXPECT_EQ("(unclosed", pattern(r));
        EXPECT_EQ(-1, execute(r, "(unclosed"));  // a pattern that is none: the engine refuses
        EXPECT_EQ(0, count(r));
        EXPECT_EQ("", replace(r, "(unclosed", {"x", true}));
        create(r, "a(b)?");
        execute(r, "ab a");
        for (int32_t outside : {0, -1, 3, 1000}) EXPECT_EQ("", match_text(r, outside)) << outside;
        EXPECT_EQ("", submatch_text(r, 1, 0));
        EXPECT_EQ("", submatch_text(r, 1, 2));
        EXPECT_EQ("", submatch_text(r, 3, 1));
        // A search that would backtrack without end is given up, and says so.
        create(r, "(a+)+b");
        EXPECT_EQ(1, execute(r, std::string(10, 'a') + "b"));
        EXPECT_EQ(-1, execute(r, std::string(40, 'a')));
        EXPECT_EQ(0, count(r));
        EXPECT_EQ("", match_text(r, 1));
        destroy(r);
    });
}

}  // namespace
