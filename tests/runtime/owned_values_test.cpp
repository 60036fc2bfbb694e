// The blocks the program takes from the kernel are held by owners and
// released through the service table, and no exception leaves a routine: on
// the recording fake kernel, which counts the blocks still alive.
#include <gtest/gtest.h>

#include <new>

#include "abi/win32.h"
#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "tests/support/recording_kernel.h"

using namespace tolvar;
using namespace tolvar::test;
using runtime::Dll;

namespace {

int skin_attached(const void *, int, const char *, int, int, int) { return 0; }
int skin_out_of_memory(const void *, int, const char *, int, int, int) { throw std::bad_alloc(); }

class OwnedValues : public RecordingKernel {
protected:
    void answer_skin(void *function) {
        recorder.dll_functions[static_cast<uint32_t>(Dll::SkinH_AttachRes)] = function;
    }
    static tolvar_routine routine(const char *name) { return reinterpret_cast<tolvar_routine>(routine_named(name)); }
};

// The start-up takes the program directory, paths, the skin file's byte set
// and the default number; only the referrer number outlives it.
TEST_F(OwnedValues, TheStartUpKeepsOnlyTheReferrerNumberAndTheCleanUpReleasesIt) {
    answer_skin(reinterpret_cast<void *>(skin_attached));
    size_t allocated = 0, alive_after = 0;
    recorder.during_event_loop = [&] {
        size_t before = recorder.live.size();  // the window list's array
        routine("main_window_start_up")(0, nullptr);
        allocated = std::count_if(recorder.calls.begin(), recorder.calls.end(),
                                  [](const std::string &c) { return c.rfind("allocate", 0) == 0; });
        alive_after = recorder.live.size() - before;
    };
    EXPECT_EQ(0, start());
    EXPECT_GT(allocated, 5u);
    EXPECT_EQ(1u, alive_after);
    EXPECT_TRUE(recorder.live.empty());
}

// Memory that runs out inside a routine's work stops the program through slot
// 0x00 with the unexpected-failure code; nothing unwinds into the caller.
TEST_F(OwnedValues, ARoutineThatThrowsEndsAsTheUnexpectedRunTimeError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    answer_skin(reinterpret_cast<void *>(skin_out_of_memory));
    runtime::attach(&recorder.block.program);
    EXPECT_EXIT(routine("main_window_start_up")(0, nullptr), ::testing::ExitedWithCode(kRunTimeErrorStatus),
                "run-time error 7");
}

}  // namespace
