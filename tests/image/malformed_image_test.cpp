// Damaged images are refused with a reason, never read past their end.
#include <gtest/gtest.h>

#include <random>

#include "image/image_reader.h"
#include "tests/support/test_image.h"

using namespace tolvar;
using namespace tolvar::image;
using test::set_u32;
using test::u32_at;

namespace {

struct Damage {
    std::vector<uint8_t> bytes = test::test_image_bytes();
    ImageLayout layout = test::read_ok(bytes).layout;

    std::string refusal() {
        auto r = read_image(bytes);
        return r.read ? std::string("(accepted)") : r.error;
    }
    uint32_t header(SectionIndex s) const { return layout.header_offsets[s]; }
};

TEST(MalformedImage, EveryTruncationIsRefused) {
    auto bytes = test::test_image_bytes();
    size_t dense = test::read_ok(bytes).layout.header_offsets[kCode] + 200;
    for (size_t n = 0; n < bytes.size(); n += (n < dense ? 1 : 61)) {
        auto r = read_image(std::span(bytes.data(), n));
        EXPECT_FALSE(r.read) << "cut at " << n;
        EXPECT_FALSE(r.error.empty());
    }
    // The last group of "@reloc1" lies 4 bytes past its declared size: cutting
    // those 4 bytes is a truncation too.
    EXPECT_FALSE(read_image(std::span(bytes.data(), bytes.size() - 1)).read);
    EXPECT_FALSE(read_image(std::span(bytes.data(), bytes.size() - 4)).read);
}

TEST(MalformedImage, HeaderDamage) {
    {
        Damage d;
        d.bytes[1] = 'K';
        EXPECT_EQ("bad magic: not a program image", d.refusal());
    }
    {
        Damage d;
        set_u32(d.bytes, 0x24, 0xFFFFFF00);
        EXPECT_NE(d.refusal().find("not directly after the support-library list"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, 0x38, 0x7FFFFFFF);
        EXPECT_NE(d.refusal().find("DLL-command table"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, 0x34, 0x1338E);
        EXPECT_NE(d.refusal().find("header field 0x34"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, 0x3C, u32_at(d.bytes, 0x3C) + 4);
        EXPECT_NE(d.refusal().find("start routine"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, 0x44, d.header(kHelp));
        EXPECT_NE(d.refusal().find("\"form\" section"), std::string::npos);
    }
    {
        Damage d;  // the library name of DLL command 0 points past the const data
        set_u32(d.bytes, 0x58, 0x00FFFFFF);
        EXPECT_NE(d.refusal().find("DLL command 0"), std::string::npos);
    }
}

TEST(MalformedImage, SectionChainDamage) {
    {
        Damage d;  // form -> const: a loop
        set_u32(d.bytes, d.header(kForm) + 4, d.header(kConst));
        EXPECT_NE(d.refusal().find("loops back"), std::string::npos);
    }
    {
        Damage d;  // a chain pointing at itself
        set_u32(d.bytes, d.header(kHelp) + 4, d.header(kHelp));
        EXPECT_NE(d.refusal().find("loops back"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, d.header(kVar) + 4, 0xFFFFFFFF);
        EXPECT_NE(d.refusal().find("ends after 5 sections"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, d.header(kReloc1) + 4, d.header(kReloc1) + 8);
        EXPECT_NE(d.refusal().find("does not end"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, d.header(kCode) + 4, 0x7FFFFFF0);
        EXPECT_NE(d.refusal().find("does not follow the previous section"), std::string::npos);
    }
    {
        Damage d;
        d.bytes[d.header(kHelp) + 0x0C] = 'x';
        EXPECT_NE(d.refusal().find("expected \"help\""), std::string::npos);
    }
    {
        Damage d;  // stored data beyond the image
        set_u32(d.bytes, d.header(kForm) + 0x2C, static_cast<uint32_t>(d.bytes.size() - 10));
        EXPECT_NE(d.refusal().find("data lies outside the image"), std::string::npos);
    }
    {
        Damage d;  // stored data somewhere else than right after the header
        set_u32(d.bytes, d.header(kHelp) + 0x2C, d.layout.data_offsets[kHelp] + 4);
        EXPECT_NE(d.refusal().find("does not follow its header"), std::string::npos);
    }
    {
        Damage d;  // a relocation count that runs off the image
        set_u32(d.bytes, d.header(kCode) + 0x30, 0x40000000);
        EXPECT_NE(d.refusal().find("relocation count"), std::string::npos);
    }
    {
        Damage d;
        set_u32(d.bytes, d.layout.data_offsets[kReloc1] + 4 * (1 + 2), 0x0FFFFFFF);
        EXPECT_NE(d.refusal().find("\"@reloc1\" group"), std::string::npos);
    }
}

TEST(MalformedImage, RelocationDamage) {
    Damage base;
    uint32_t first_entry = base.header(kCode) + 0x38;
    uint32_t code_size = u32_at(base.bytes, base.header(kCode) + 0x24);
    {
        Damage d;  // an entry outside its section
        set_u32(d.bytes, first_entry, (code_size - 2) << 3);
        EXPECT_NE(d.refusal().find("lies outside the section"), std::string::npos);
    }
    for (uint32_t kind = 4; kind < 8; ++kind) {
        Damage d;
        set_u32(d.bytes, first_entry, u32_at(d.bytes, first_entry) | kind);
        EXPECT_NE(d.refusal().find("unknown kind"), std::string::npos) << kind;
    }
    {
        Damage d;  // a kind-3 fix-up of the operation table that names no routine record
        uint32_t entry = u32_at(d.bytes, d.header(kConst) + 0x38);
        uint32_t at = d.layout.data_offsets[kConst] + relocation_offset(entry);
        set_u32(d.bytes, at, u32_at(d.bytes, at) + 1);
        EXPECT_NE(d.refusal().find("names no routine"), std::string::npos);
    }
    {
        Damage d;  // a service stub that names no slot
        set_u32(d.bytes, d.layout.data_offsets[kCode] + 8, 0x38);
        EXPECT_NE(d.refusal().find("service stub"), std::string::npos);
    }
}

TEST(MalformedImage, RoutineRecordDamage) {
    Damage d;
    auto read = test::read_ok(d.bytes);
    uint32_t record = d.layout.data_offsets[kCode] + read.code.records[1].offset;
    d.bytes[record + 2] = '-';
    EXPECT_NE(d.refusal().find("holds no valid name"), std::string::npos);
}

// Random bit flips anywhere: the reader may accept (the flip hit a byte whose
// value is free) or refuse, but must stay within the image.
TEST(MalformedImage, RandomBitFlipsNeverCrash) {
    auto clean = test::test_image_bytes();
    std::mt19937 rng(20261208);
    int refused = 0;
    for (int i = 0; i < 3000; ++i) {
        auto bytes = clean;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f) {
            size_t at = rng() % bytes.size();
            bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        refused += !read_image(bytes).read;
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
