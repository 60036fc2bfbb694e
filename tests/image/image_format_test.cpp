// The program image as written and read: byte layout, round trip, and the
// program's own content (DLL commands, libraries, sections, tables).
#include <gtest/gtest.h>

#include <cstring>

#include "image/code_layout.h"
#include "image/form_format.h"
#include "image/image_reader.h"
#include "regex/regex_content.h"
#include "runtime/deployment.h"
#include "runtime/runtime_content.h"
#include "abi/tolvar_abi.h"
#include "tests/support/test_image.h"

using namespace tolvar;
using namespace tolvar::image;
using tolvar::test::u32_at;

namespace {

std::string text_in(const std::vector<uint8_t> &data, uint32_t offset) {
    return reinterpret_cast<const char *>(data.data() + offset);
}

TEST(ImageFormat, HeaderHoldsTheFixedValuesAndTables) {
    auto bytes = test::test_image_bytes();
    ASSERT_GE(bytes.size(), 0x100u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), "WJ\0\0", 4));
    for (size_t at = 0x04; at < 0x24; at += 4) EXPECT_EQ(0u, u32_at(bytes, at)) << at;
    EXPECT_EQ(1u, u32_at(bytes, 0x28));
    EXPECT_EQ(3u, u32_at(bytes, 0x2C));
    EXPECT_EQ(0u, u32_at(bytes, 0x30));
    EXPECT_EQ(0x0001338Fu, u32_at(bytes, 0x34));
    EXPECT_EQ(20u, u32_at(bytes, 0x38));
    // 0xF8: the support-library list, 426 bytes with its closing empty record.
    EXPECT_EQ(0xF8u + 426u, u32_at(bytes, 0x24));
    EXPECT_EQ(u32_at(bytes, 0x24), u32_at(bytes, 0x40));
    EXPECT_EQ(u32_at(bytes, 0x24), u32_at(bytes, 0x54));
    EXPECT_EQ(0, bytes[0xF8 + 425]);
    EXPECT_EQ(0, bytes[0xF8 + 424]);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 0xF8, "krnln\rd09f2340818511d396f6aaf844c7e325\r5\r0\r", 43));
}

TEST(ImageFormat, DllCommandTableNamesTheTwentyFunctionsInOrder) {
    auto read = read_image(test::test_image_bytes());
    ASSERT_TRUE(read.read) << read.error;
    const Image &img = read.read->image;
    ASSERT_EQ(20u, img.dll_commands.size());
    const char *functions[] = {"InternetOpenA", "InternetConnectA", "HttpOpenRequestA", "HttpSendRequestA",
                               "InternetReadFile", "HttpQueryInfoA", "InternetCloseHandle", "InternetSetCookieA",
                               "GetCurrentProcessId", "MessageBoxA", "EnumWindows", "IsWindowVisible",
                               "GetWindowThreadProcessId", "GetWindowTextA", "GetClassNameA",
                               "MultiByteToWideChar", "WideCharToMultiByte", "WideCharToMultiByte",
                               "LCMapStringA", "SkinH_AttachRes"};
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(functions[i], dll_function_name(img, i)) << i;
    for (size_t i : {9, 10, 11, 13, 15}) EXPECT_EQ(0u, img.dll_commands[i].library_offset) << i;
    EXPECT_EQ("kernel32", dll_library_name(img, 17));
    EXPECT_EQ("kernel32", dll_library_name(img, 18));
    EXPECT_EQ("kernel32.dll", dll_library_name(img, 16));
    EXPECT_EQ("user32.dll", dll_library_name(img, 12));
    EXPECT_EQ("SkinH_EL.dll", dll_library_name(img, 19));
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ("wininet.dll", dll_library_name(img, i));
}

TEST(ImageFormat, SectionChainAndRelocations) {
    auto bytes = test::test_image_bytes();
    auto read = read_image(bytes);
    ASSERT_TRUE(read.read) << read.error;
    const auto &r = *read.read;
    const char *names[] = {"const", "form", "help", "code", "var"};
    const uint32_t flags[] = {1, 1, 1, 5, 0x13};
    ASSERT_EQ(5u, r.image.sections.size());
    for (size_t i = 0; i < 5; ++i) {
        const Section &s = r.image.sections[i];
        EXPECT_EQ(names[i], s.name);
        EXPECT_EQ(flags[i], s.flags);
        uint32_t h = r.layout.header_offsets[i];
        EXPECT_EQ(56u + 4u * s.relocations.size(), u32_at(bytes, h)) << s.name;
        EXPECT_EQ(r.layout.header_offsets[i + 1], u32_at(bytes, h + 4)) << s.name;
        EXPECT_EQ(s.relocations.size(), u32_at(bytes, h + 0x30));
        EXPECT_EQ(0u, u32_at(bytes, h + 0x34));
        for (size_t k = 0; k < s.relocations.size(); ++k) EXPECT_EQ(s.relocations[k], u32_at(bytes, h + 0x38 + 4 * k));
    }
    EXPECT_EQ(0xFFFFFFFFu, u32_at(bytes, r.layout.header_offsets[kReloc1] + 4));
    // help: 52 zero bytes; var: 8 bytes, nothing stored.
    EXPECT_EQ(std::vector<uint8_t>(52), r.image.sections[kHelp].data);
    uint32_t var = r.layout.header_offsets[kVar];
    EXPECT_EQ(8u, u32_at(bytes, var + 0x24));
    EXPECT_EQ(0u, u32_at(bytes, var + 0x28));
    EXPECT_EQ(0xFFFFFFFFu, u32_at(bytes, var + 0x2C));
    // The const section's relocations: the ten kind-3 entries of the operation table.
    const Section &c = r.image.sections[kConst];
    ASSERT_EQ(10u, c.relocations.size());
    for (size_t k = 0; k < 10; ++k) {
        EXPECT_EQ(3u, relocation_kind(c.relocations[k]));
        if (k) {
            EXPECT_EQ(relocation_offset(c.relocations[k - 1]) + 4, relocation_offset(c.relocations[k]));
        }
        uint32_t target = load_u32(c.data.data() + relocation_offset(c.relocations[k]));
        ASSERT_NE(nullptr, r.code.record_at(target));
        EXPECT_EQ(regex::kOperationTable.routines[k], r.code.record_at(target)->name);
    }
    // Code: one kind-0 entry per service stub.
    uint32_t kind0 = 0;
    for (uint32_t e : r.image.sections[kCode].relocations) kind0 += relocation_kind(e) == 0;
    EXPECT_EQ(13u, kind0);
}

TEST(ImageFormat, ConstDataStartsWithTheEmptyTextAndHoldsTheEmptyArray) {
    auto read = read_image(test::test_image_bytes());
    ASSERT_TRUE(read.read);
    const auto &r = *read.read;
    const auto &c = r.image.sections[kConst].data;
    EXPECT_EQ(0, c[0]);
    auto ref = [&](const runtime::Constant &which) { return r.code.const_refs[test::constant_index(which)]; };
    EXPECT_EQ(0u, ref(runtime::kEmptyText));
    uint32_t empty_array = ref(runtime::kEmptyArray);
    EXPECT_EQ(1u, load_u32(c.data() + empty_array));
    EXPECT_EQ(0u, load_u32(c.data() + empty_array + 4));
    EXPECT_EQ("127.0.0.1:18086", text_in(c, ref(runtime::kServiceHost)));
    EXPECT_EQ("http://127.0.0.1:18086/ip.php", text_in(c, ref(runtime::kEchoUrl)));
    EXPECT_EQ("13900000000", text_in(c, ref(runtime::kDefaultNumber)));
}

TEST(ImageFormat, Reloc1SizeFieldHoldsFourLessAndGroupsAreReadByCount) {
    auto bytes = test::test_image_bytes();
    auto read = read_image(bytes);
    ASSERT_TRUE(read.read);
    const auto &r = *read.read;
    uint32_t h = r.layout.header_offsets[kReloc1];
    EXPECT_EQ(r.layout.reloc1_occupied_size - 4, u32_at(bytes, h + 0x24));
    EXPECT_EQ(r.layout.reloc1_occupied_size - 4, u32_at(bytes, h + 0x28));
    // The groups end exactly at the image's end, 4 bytes past the declared size.
    EXPECT_EQ(bytes.size(), r.layout.data_offsets[kReloc1] + r.layout.reloc1_occupied_size);
    EXPECT_EQ((std::vector<uint32_t>{TOLVAR_MAIN_WINDOW, TOLVAR_WINDOW_OBJECT}),
              [&] {
                  std::vector<uint32_t> v;
                  for (uint32_t o : r.image.reloc1_groups[0]) v.push_back(load_u32(r.image.sections[kCode].data.data() + o));
                  return v;
              }());
    EXPECT_EQ(20u, r.image.reloc1_groups[1].size());
}

TEST(ImageFormat, WriteReadWriteIsByteExact) {
    auto bytes = test::test_image_bytes();
    auto read = read_image(bytes);
    ASSERT_TRUE(read.read) << read.error;
    EXPECT_EQ(bytes, write_image(read.read->image));
}

TEST(ImageFormat, StartRoutineAndRecordsNameTheProgramsRoutines) {
    auto read = read_image(test::test_image_bytes());
    ASSERT_TRUE(read.read);
    const auto &r = *read.read;
    auto routines = runtime::image_routines();
    ASSERT_EQ(routines.size(), r.code.records.size());
    for (size_t i = 0; i < r.code.records.size(); ++i) EXPECT_EQ(routines[i], r.code.records[i].name);
    EXPECT_EQ("tolvar_start", r.code.record_at(r.image.start_offset)->name);
    // The two routines passed by address: the window-enumeration callback and the clean-up.
    ASSERT_EQ(2u, r.code.routine_refs.size());
    EXPECT_EQ("on_enum_window", r.code.record_at(r.code.routine_refs[0])->name);
    EXPECT_EQ("tolvar_cleanup", r.code.record_at(r.code.routine_refs[1])->name);
}

TEST(FormFormat, WindowRecordRoundTripsWithItsOptions) {
    auto read = read_image(test::test_image_bytes());
    ASSERT_TRUE(read.read);
    const auto &data = read.read->image.sections[kForm].data;
    EXPECT_EQ(8u, load_u32(data.data()));
    EXPECT_EQ(0x52010001u, load_u32(data.data() + 4));
    EXPECT_EQ(0x1901002Eu, load_u32(data.data() + 16));
    std::string error;
    auto form = read_form(data, error);
    ASSERT_TRUE(form) << error;
    const FormObject *w = form->find(TOLVAR_WINDOW_OBJECT);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(0x10001u, w->type_id);
    EXPECT_EQ(50, w->left);
    EXPECT_EQ(50, w->top);
    EXPECT_EQ(740, w->width);
    EXPECT_EQ(510, w->height);
    auto options = read_window_options(w->options);
    ASSERT_TRUE(options);
    // GBK: "Tolvar V 1.5" then 版 (B0 E6).
    EXPECT_EQ(0, options->title.compare(0, 12, "Tolvar V 1.5"));
    EXPECT_EQ("\xB0\xE6", options->title.substr(12, 2));
    EXPECT_EQ(test::loopback_settings().icon.size(), options->icon.size());
    EXPECT_EQ(data, write_form(*form));
}

TEST(FormFormat, ControlsMenuItemsAndBindingsRoundTrip) {
    Form form;
    FormObject tab;
    tab.id = 0x16010001;
    tab.type_id = TOLVAR_TYPE_ID_TAB;
    tab.name = "tab";
    tab.left = 0, tab.top = 8, tab.width = 544, tab.height = 376;
    tab.parent = TOLVAR_MAIN_WINDOW;
    tab.children = {0x16010002, 0, 0x16010003};
    tab.flags = 0x11;
    tab.bindings = {{kEventPageChanged, 0x120}, {kEventFocus, 0x160}};
    tab.options = {1, 2, 3};
    FormObject item;
    item.id = 0x26010001;
    item.type_id = TOLVAR_TYPE_ID_MENU_ITEM;
    item.name = "menu";
    item.level = 1;
    item.hidden = 1;
    item.caption = "caption";
    item.handler = -1;
    form.objects = {tab, item};
    auto bytes = write_form(form);
    std::string error;
    auto back = read_form(bytes, error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(2u, back->objects.size());
    EXPECT_EQ(tab.children, back->objects[0].children);
    ASSERT_EQ(2u, back->objects[0].bindings.size());
    EXPECT_EQ(-7, back->objects[0].bindings[1].event);
    EXPECT_EQ(0x160u, back->objects[0].bindings[1].code_offset);
    EXPECT_EQ(tab.options, back->objects[0].options);
    EXPECT_EQ("caption", back->objects[1].caption);
    EXPECT_EQ(-1, back->objects[1].handler);
    EXPECT_EQ(bytes, write_form(*back));
    // Every cut of the form is refused, never read past its end.
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(read_form(std::span(bytes.data(), n), error)) << n;
}

}  // namespace
