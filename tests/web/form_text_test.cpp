// User values in form texts: the four bytes that would split or change a
// field are escaped, everything else passes as typed.
#include <gtest/gtest.h>

#include "web/form_text.h"

using tolvar::web::form_value;

namespace {

TEST(FormText, TheFourFormBytesAreEscapedAndNothingElse) {
    EXPECT_EQ("A%26B%3DC%25%2B", form_value("A&B=C%+"));
    EXPECT_EQ("13800000000", form_value("13800000000"));
    EXPECT_EQ(" x y\r\n?#/", form_value(" x y\r\n?#/"));
    // GBK trail bytes lie in 0x40-0xFE and never collide with the four.
    const std::string gbk = "\xC4\xE3\xBA\xC3";  // 你好
    EXPECT_EQ(gbk, form_value(gbk));
    EXPECT_EQ("", form_value(""));
}

}  // namespace
