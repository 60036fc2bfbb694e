// The encoding conversions through the kernel32 stand-in, checked against
// independent references on a corpus: Python's codecs for GBK, Big5 and UTF-8,
// and OpenCC's traditional-to-simplified character mapping.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "tests/support/kernel_harness.h"
#include "tests/support/process.h"
#include "web/encoding.h"

using namespace tolvar;
using namespace tolvar::test;
using namespace tolvar::web;

namespace {

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    else if (c < 0x10000)
        out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
    else
        out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    return out;
}

std::string hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string unhex(const std::string &text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 2) out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Runs a Python script over input lines (hex) and returns its output lines (hex).
std::vector<std::string> python(const std::string &script, const std::vector<std::string> &input) {
    ScratchDir dir;
    std::string joined;
    for (const auto &l : input) joined += hex(l) + "\n";
    write_file(dir.path() / "in.txt", joined);
    write_file(dir.path() / "script.py", script);
    auto r = run_process({"/usr/bin/python3", (dir.path() / "script.py").string(), (dir.path() / "in.txt").string()});
    EXPECT_EQ(0, r.status) << r.err;
    std::vector<std::string> out;
    for (const auto &l : lines_of(r.out)) out.push_back(unhex(l));
    return out;
}

// Lines of random characters: ASCII, CJK ideographs, full-width forms, and a
// few that GBK cannot hold (Hangul, Thai, an emoji outside the BMP).
std::vector<std::string> utf8_corpus(size_t lines) {
    std::mt19937 rng(936);
    std::vector<std::string> out;
    for (size_t i = 0; i < lines; ++i) {
        std::string line;
        for (int n = 0; n < 40; ++n) {
            switch (rng() % 8) {
                case 0: line += utf8(0x20 + rng() % 0x5F); break;
                case 1: line += utf8(0xFF01 + rng() % 0x5E); break;
                case 2: line += utf8(rng() % 2 ? 0xAC00 + rng() % 200 : 0x0E01 + rng() % 40); break;
                case 3: line += utf8(0x1F600 + rng() % 50); break;
                default: line += utf8(0x4E00 + rng() % (0x9FA5 - 0x4E00)); break;
            }
        }
        out.push_back(line);
    }
    return out;
}

const char kUtf8ToGbk[] = R"(import sys
for line in open(sys.argv[1]):
    text = bytes.fromhex(line.strip()).decode('utf-8')
    print(text.encode('gbk', errors='replace').hex())
)";

TEST(Encoding, Utf8ToGbkAgreesWithPythonOnACorpus) {
    auto corpus = utf8_corpus(400);
    auto expected = python(kUtf8ToGbk, corpus);
    ASSERT_EQ(corpus.size(), expected.size());
    int differences = 0;
    in_program([&] {
        for (size_t i = 0; i < corpus.size(); ++i)
            if (utf8_to_gbk(corpus[i]) != expected[i] && ++differences < 5)
                ADD_FAILURE() << "line " << i << ": " << hex(utf8_to_gbk(corpus[i])) << " != " << hex(expected[i]);
    });
    EXPECT_EQ(0, differences);
}

// Every character of Big5's common level (0xA440 to 0xC67E), decoded by
// Python's code page 950, as the Big5 text, its GBK form, and its simplified
// GBK form after OpenCC's mapping (kept as it was where OpenCC gives more than
// one character).
const char kBig5Table[] = R"(import sys, subprocess
chars = []
for code in range(0xA440, 0xC67F):
    raw = code.to_bytes(2, 'big')
    try:
        chars.append((raw, raw.decode('cp950')))
    except UnicodeDecodeError:
        pass
simplified = subprocess.run(['opencc', '-c', 't2s.json'], input='\n'.join(c for _, c in chars),
                            capture_output=True, text=True, check=True).stdout.split('\n')
for (raw, c), s in zip(chars, simplified):
    gbk = c.encode('gbk', errors='replace')
    sgbk = s.encode('gbk', errors='replace') if len(s) == 1 else gbk
    print(raw.hex(), gbk.hex(), sgbk.hex())
)";

TEST(Encoding, Big5ConversionsAgreeWithPythonAndOpenCC) {
    ScratchDir dir;
    write_file(dir.path() / "table.py", kBig5Table);
    auto r = run_process({"/usr/bin/python3", (dir.path() / "table.py").string()});
    ASSERT_EQ(0, r.status) << r.err;
    struct Row {
        std::string big5, gbk, simplified;
    };
    std::vector<Row> rows;
    for (const auto &line : lines_of(r.out)) {
        std::istringstream in(line);
        std::string a, b, c;
        in >> a >> b >> c;
        rows.push_back({unhex(a), unhex(b), unhex(c)});
    }
    ASSERT_GT(rows.size(), 5400u);
    size_t plain_differences = 0, simplified_agree = 0;
    in_program([&] {
        // Whole lines of 60 characters at a time, as a reply body would come.
        for (size_t at = 0; at < rows.size(); at += 60) {
            std::string big5, gbk;
            for (size_t i = at; i < std::min(rows.size(), at + 60); ++i) {
                big5 += rows[i].big5;
                gbk += rows[i].gbk;
            }
            plain_differences += big5_to_gbk(big5) != gbk;
        }
        for (const auto &row : rows) simplified_agree += big5_to_gbk_simplified(row.big5) == row.simplified;
    });
    EXPECT_EQ(0u, plain_differences);
    // Character tables of different makers differ on some variant forms (about
    // one common character in a hundred); all others must agree.
    EXPECT_GE(simplified_agree * 1000 / rows.size(), 980u) << simplified_agree << " of " << rows.size();
}

TEST(Encoding, KnownWordsEdgesAndUnmappableCharacters) {
    in_program([] {
        EXPECT_EQ("", utf8_to_gbk(""));
        EXPECT_EQ("", big5_to_gbk_simplified(""));
        EXPECT_EQ("plain ASCII 123", utf8_to_gbk("plain ASCII 123"));
        EXPECT_EQ("plain ASCII 123", big5_to_gbk_simplified("plain ASCII 123"));
        // 登录成功 in UTF-8 (12 bytes) and GBK (8 bytes).
        EXPECT_EQ("\xB5\xC7\xC2\xBC\xB3\xC9\xB9\xA6",
                  utf8_to_gbk("\xE7\x99\xBB\xE5\xBD\x95\xE6\x88\x90\xE5\x8A\x9F"));
        // 這個軟體 in Big5 becomes 这个软体 in GBK.
        EXPECT_EQ("\xD5\xE2\xB8\xF6\xC8\xED\xCC\xE5", big5_to_gbk_simplified("\xB3\x6F\xAD\xD3\xB3\x6E\xC5\xE9"));
        // A character GBK cannot hold becomes '?', one per character.
        EXPECT_EQ("a?b?", utf8_to_gbk("a\xEA\xB0\x80" "b\xF0\x9F\x98\x80"));
        // The input ends at its first zero byte.
        EXPECT_EQ("ab", utf8_to_gbk(std::string("ab\0cd", 5)));
        // UTF-16 with its terminating zero unit, and back.
        auto units = multibyte_to_wide("A\xE4\xB8\xAD", kCodePageUtf8);
        EXPECT_EQ((std::vector<uint16_t>{0x41, 0x4E2D, 0}), units);
        EXPECT_EQ("A\xD6\xD0", wide_to_multibyte(units));
        // Traditional characters in GBK keep their byte length when simplified.
        std::string traditional = big5_to_gbk("\xB3\x6F\xAD\xD3\xB3\x6E\xC5\xE9");
        EXPECT_EQ(8u, traditional.size());
        EXPECT_EQ("\xD5\xE2\xB8\xF6\xC8\xED\xCC\xE5", to_simplified_chinese(traditional));
    });
}

}  // namespace
