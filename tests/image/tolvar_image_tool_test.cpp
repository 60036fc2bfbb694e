// tolvar-image on the embedded image and on damaged copies of it.
#include <gtest/gtest.h>

#include <random>

#include "image/image_reader.h"
#include "tests/support/process.h"
#include "tests/support/test_image.h"

using namespace tolvar::test;
using tolvar::test::read_ok;

namespace {

const std::string kTool = TOLVAR_IMAGE_TOOL;
const std::string kImage = TOLVAR_IMAGE_FILE;

size_t count_lines(const std::string &s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

TEST(TolvarImageTool, DumpsTheBuiltImage) {
    auto r = run_process({kTool, kImage});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
    for (const char *expected :
         {"first section       0x000002A2", "0x28 0x2C 0x30 0x34 0x00000001 0x00000003 0x00000000 0x0001338F",
          "DLL commands        20", "start routine       0x", "(tolvar_start)", "17\t\"kernel32\"\tWideCharToMultiByte",
          "9\t(none)\tMessageBoxA", "support libraries (426 bytes)", "6\tiext\t27bb20fdd3e145e4bee3db39ddd6e64c\t2.0",
          "const\theader 0x000002A2 flags 0x00000001", "relocations 10 (kind 0: 0, 1: 0, 2: 0, 3: 10)",
          "code\theader", "(kind 0: 13,", "var\theader", "stored 0 at none", "group 1: 2 marked constants",
          "group 2: 20 marked constants", "tolvar_cleanup", "regex_submatch_count", "size 740x510",
          "title \"Tolvar V 1.5版 每周领取15分钟  无限发短信 ★限★：接听免费的用户使用！！！\""})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected;
    auto reloc1 = r.out.find("@reloc1\theader");
    ASSERT_NE(reloc1, std::string::npos);
    EXPECT_NE(r.out.find("occupied", reloc1), std::string::npos);
}

TEST(TolvarImageTool, ReadsTheImageEmbeddedInTheExecutable) {
    auto from_file = run_process({kTool, kImage});
    auto from_executable = run_process({kTool, TOLVAR_EXE});
    ASSERT_EQ(0, from_executable.status) << from_executable.err;
    EXPECT_EQ(from_file.out, from_executable.out);
    auto not_tolvar = run_process({kTool, kTool});
    EXPECT_EQ(1, not_tolvar.status);
    EXPECT_NE(std::string::npos, not_tolvar.err.find("without an embedded program image"));
}

// A hundred damaged copies: each is refused with exactly one line, no crash.
// Damage goes where every change must be noticed: truncations, and bit flips
// in the header and the section headers.
TEST(TolvarImageTool, RefusesAHundredDamagedCopies) {
    auto clean_text = read_file(kImage);
    std::vector<uint8_t> clean(clean_text.begin(), clean_text.end());
    auto layout = read_ok(clean).layout;
    std::vector<std::pair<size_t, size_t>> regions = {{0, 0x58}};
    for (uint32_t h : layout.header_offsets) regions.push_back({h, h + 0x38});
    // The var section's size in memory is free (nothing is stored): no flips there.
    uint32_t var = layout.header_offsets[tolvar::image::kVar];
    regions[1 + tolvar::image::kVar] = {var, var + 0x24};
    regions.push_back({var + 0x28, var + 0x38});
    std::mt19937 rng(42);
    ScratchDir dir;
    for (int i = 0; i < 100; ++i) {
        auto bytes = clean;
        if (i % 2 == 0) {
            bytes.resize(rng() % bytes.size());
        } else {
            auto [from, to] = regions[rng() % regions.size()];
            size_t at = from + rng() % (to - from);
            if (at >= 0x04 && at < 0x24 && rng() % 2) at = 0x24 + rng() % 0x34;  // fewer hits on zero fields
            bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        auto file = dir.path() / ("damaged" + std::to_string(i) + ".img");
        write_file(file, std::string(bytes.begin(), bytes.end()));
        auto r = run_process({kTool, file.string()});
        EXPECT_EQ(1, r.status) << "copy " << i << ": " << r.err;
        EXPECT_EQ(1u, count_lines(r.err)) << "copy " << i << ": " << r.err;
        EXPECT_EQ(0u, r.err.find("tolvar-image: " + file.string() + ": ")) << r.err;
        EXPECT_EQ("", r.out);
    }
}

TEST(TolvarImageTool, RefusesARoutineTheProgramLacks) {
    auto text = read_file(kImage);
    auto at = text.find("regex_copy");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 10, "regex_cop_");
    ScratchDir dir;
    write_file(dir.path() / "renamed.img", text);
    auto r = run_process({kTool, "--check", (dir.path() / "renamed.img").string()});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(r.err.find("routine \"regex_cop_\" is not in the program"), std::string::npos) << r.err;
}

}  // namespace
