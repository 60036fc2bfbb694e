// The start routine and the clean-up routine on a recording fake kernel: the
// real image is loaded and relocated, the service table is ours.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include "image/image_loader.h"
#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "tests/support/test_image.h"

using namespace tolvar;

namespace {

struct Recorder {
    std::vector<std::string> calls;
    std::set<void *> live;
    std::vector<tolvar_routine> at_end;
    std::function<void()> during_event_loop = [] {};
    image::ReadImage read;
    image::LoadedBlock block;
};
Recorder *rec = nullptr;

std::string hex(uint64_t v) {
    char b[24];
    std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
    return b;
}

void *fake_allocate(uint32_t size) {
    void *p = std::calloc(1, size ? size : 1);
    rec->live.insert(p);
    rec->calls.push_back("allocate " + std::to_string(size));
    return p;
}
void fake_release(void *p) {
    if (!rec->live.erase(p)) {
        rec->calls.push_back("release of an unknown block");
        return;
    }
    std::free(p);
    rec->calls.push_back("release");
}
void *fake_resize(void *p, uint32_t size) {
    rec->live.erase(p);
    void *q = std::realloc(p, size);
    rec->live.insert(q);
    return q;
}
void fake_error(int32_t code) { FAIL() << "run-time error " << code; }
void *fake_dll(uint32_t) { return nullptr; }
tolvar_arg fake_library(uint32_t, uint32_t, int32_t, const tolvar_arg *) { return {}; }
tolvar_arg fake_command(uint32_t, int32_t, const tolvar_arg *) { return {}; }
tolvar_arg fake_get(uint32_t, uint32_t, uint32_t, int32_t) { return {}; }
void fake_set(uint32_t, uint32_t, uint32_t, int32_t, tolvar_arg) {}
void fake_end() {
    rec->calls.push_back("end");
    for (auto r : rec->at_end) r(0, nullptr);
}
int32_t fake_loop(int32_t) {
    rec->calls.push_back("event loop");
    rec->during_event_loop();
    return 0;
}
int32_t fake_load_window(uint32_t id) {
    rec->calls.push_back("load window " + hex(id));
    return 1;
}
int32_t fake_special(int32_t code, uint64_t argument, uint64_t) {
    if (code != TOLVAR_SPECIAL_AT_END) return 0;
    auto *record = rec->read.code.record_at(static_cast<uint32_t>(argument - rec->block.program.code_data));
    if (!record) {
        rec->calls.push_back("at end: no routine at " + hex(argument));
        return 0;
    }
    rec->calls.push_back("at end " + record->name);
    rec->at_end.push_back(reinterpret_cast<tolvar_routine>(dlsym(RTLD_DEFAULT, record->name.c_str())));
    return 1;
}

class StartRoutine : public ::testing::Test {
protected:
    Recorder recorder;
    void SetUp() override {
        rec = &recorder;
        recorder.read = *image::read_image(test::test_image_bytes()).read;
        tolvar_services services{fake_error, fake_dll,     fake_library, fake_command, fake_get,
                                 fake_set,   fake_allocate, fake_resize, fake_release, fake_end,
                                 fake_loop,  fake_load_window, fake_special};
        recorder.block = image::load_block(recorder.read, services);
    }
    void TearDown() override { rec = nullptr; }
    int32_t start() {
        auto address = reinterpret_cast<uintptr_t>(&recorder.block.program);
        tolvar_arg arg{static_cast<uint32_t>(address), static_cast<uint32_t>(address >> 32), TOLVAR_TYPE_ADDRESS};
        auto start = reinterpret_cast<tolvar_routine>(dlsym(RTLD_DEFAULT, "tolvar_start"));
        return start(1, &arg);
    }
};

TEST_F(StartRoutine, RunsTheStartUpSequenceAndReleasesAnEmptyWindowList) {
    const void *list_during_loop = nullptr;
    uint32_t list_words[2] = {};
    recorder.during_event_loop = [&] {
        list_during_loop = runtime::globals().window_list;
        std::memcpy(list_words, list_during_loop, 8);
    };
    EXPECT_EQ(0, start());
    EXPECT_EQ((std::vector<std::string>{"allocate 8", "at end tolvar_cleanup", "load window 0x52010001", "event loop",
                                        "end", "release"}),
              recorder.calls);
    // A fresh heap copy of the empty-array constant: one dimension, no element.
    EXPECT_EQ(1u, list_words[0]);
    EXPECT_EQ(0u, list_words[1]);
    EXPECT_TRUE(recorder.live.empty());
    EXPECT_EQ(nullptr, runtime::globals().window_list);
    EXPECT_EQ(nullptr, runtime::globals().referrer_number);
}

TEST_F(StartRoutine, CleanUpReleasesTheReferrerNumberAndEveryWindowRecord) {
    recorder.during_event_loop = [&] {
        auto &g = runtime::globals();
        g.referrer_number = runtime::new_text("13900000000");
        // Two records, as a window lookup leaves them: the second without a class name.
        runtime::release(g.window_list);
        auto *array = static_cast<uint32_t *>(runtime::allocate(8 + 2 * sizeof(void *)));
        array[0] = 1;
        array[1] = 2;
        void **elements = runtime::array_elements(array);
        for (int i = 0; i < 2; ++i) {
            auto *record = static_cast<runtime::WindowRecord *>(runtime::allocate(sizeof(runtime::WindowRecord)));
            record->title = runtime::new_text("Tolvar");
            record->class_name = i == 0 ? runtime::new_text("QWidget") : nullptr;
            elements[i] = record;
        }
        g.window_list = array;
        recorder.calls.push_back("filled");
    };
    EXPECT_EQ(0, start());
    auto filled = std::find(recorder.calls.begin(), recorder.calls.end(), "filled");
    ASSERT_NE(filled, recorder.calls.end());
    std::vector<std::string> after(std::find(filled, recorder.calls.end(), "end"), recorder.calls.end());
    // Referrer number, record 1 (two texts and itself), record 2 (one text and itself), the array.
    EXPECT_EQ((std::vector<std::string>{"end", "release", "release", "release", "release", "release", "release",
                                        "release"}),
              after);
    EXPECT_TRUE(recorder.live.empty());
}

TEST_F(StartRoutine, ConstantsAreReadThroughTheRelocatedReferences) {
    recorder.during_event_loop = [] {
        EXPECT_STREQ("127.0.0.1:18086", runtime::const_text(program::ConstRef::service_host));
        EXPECT_STREQ("13900000000", runtime::const_text(program::ConstRef::default_number));
        EXPECT_STREQ("", runtime::const_text(program::ConstRef::empty_text));
    };
    EXPECT_EQ(0, start());
}

}  // namespace
