// The start routine and the clean-up routine on a recording fake kernel: the
// real image is loaded and relocated, the service table is ours.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "runtime/globals.h"
#include "runtime/deployment.h"
#include "runtime/runtime.h"
#include "runtime/runtime_content.h"
#include "tests/support/recording_kernel.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

TEST_F(RecordingKernel, RunsTheStartUpSequenceAndReleasesAnEmptyWindowList) {
    const void *list_during_loop = nullptr;
    uint32_t list_words[2] = {};
    recorder.during_event_loop = [&] {
        list_during_loop = runtime::globals().window_list.block();
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
    EXPECT_EQ(nullptr, runtime::globals().window_list.block());
    EXPECT_EQ(nullptr, runtime::globals().referrer_number);
}

TEST_F(RecordingKernel, AKernelOfAnotherInterfaceVersionIsRefusedBeforeAnythingRuns) {
    recorder.block.program.abi_version = TOLVAR_ABI_VERSION + 1;
    EXPECT_EQ(-1, start());
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(RecordingKernel, CleanUpReleasesTheReferrerNumberAndEveryWindowRecord) {
    recorder.during_event_loop = [&] {
        auto &g = runtime::globals();
        g.referrer_number = runtime::new_text("13900000000");
        // Two records, as a window lookup leaves them: the second without a class name.
        g.window_list.append(runtime::new_window_record(0x14, 77, 5, "Tolvar", "QWidget"));
        runtime::OwnedRecord second = runtime::new_window_record(0x18, 77, 5, "Tolvar", "");
        runtime::Text(std::exchange(second->class_name, nullptr));
        g.window_list.append(std::move(second));
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

TEST_F(RecordingKernel, ConstantsAreReadThroughTheRelocatedReferences) {
    recorder.during_event_loop = [] {
        EXPECT_STREQ("127.0.0.1:18086", runtime::const_text(runtime::kServiceHost));
        EXPECT_STREQ("13900000000", runtime::const_text(runtime::kDefaultNumber));
        EXPECT_STREQ("", runtime::const_text(runtime::kEmptyText));
    };
    EXPECT_EQ(0, start());
}

}  // namespace
