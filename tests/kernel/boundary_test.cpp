// Nothing unwinds across the boundary between the program, the kernel and the
// stand-ins: on the real kernel, a routine that throws stops the program with
// the kernel's run-time error, and a stand-in whose work throws fails its call
// as a Windows function fails.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "abi/win32.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "tests/support/kernel_harness.h"

namespace {

using EnumWindowsFn = BOOL (*)(WNDENUMPROC, LPARAM);
using GetLastErrorFn = DWORD (*)();

}  // namespace

// A window callback declared as every program routine is, that fails inside.
TOLVAR_ROUTINE(BOOL, failing_window_callback, (HWND, LPARAM)) {
    throw std::runtime_error("a fault inside the routine");
}
TOLVAR_ROUTINE_END

namespace {

BOOL enum_windows(WNDENUMPROC callback) {
    return tolvar::runtime::dll<EnumWindowsFn>(tolvar::runtime::Dll::EnumWindows)(callback, 0);
}

TEST(BoundaryDeathTest, ARoutineThatThrowsStopsTheProgramWithTheUnexpectedRunTimeError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(tolvar::test::in_program([] { enum_windows(failing_window_callback); }),
                ::testing::ExitedWithCode(1), "Run-time error 7: an operation failed unexpectedly");
}

// A callback that is no program routine lets an exception out; user32's
// EnumWindows takes it as a failure of its own, with the last error saying which.
BOOL out_of_memory_callback(HWND, LPARAM) { throw std::bad_alloc(); }
BOOL faulty_callback(HWND, LPARAM) { throw std::logic_error("fault"); }

TEST(Boundary, AStandInWhoseWorkThrowsFailsTheCallWithTheLastErrorSet) {
    void *kernel32 = dlopen(TOLVAR_BIN "/kernel32.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, kernel32) << dlerror();
    auto last_error = reinterpret_cast<GetLastErrorFn>(dlsym(kernel32, "GetLastError"));
    BOOL out_of_memory = TRUE, faulty = TRUE;
    DWORD out_of_memory_error = 0, faulty_error = 0;
    tolvar::test::in_program([&] {
        out_of_memory = enum_windows(out_of_memory_callback);
        out_of_memory_error = last_error();
        faulty = enum_windows(faulty_callback);
        faulty_error = last_error();
    });
    EXPECT_EQ(FALSE, out_of_memory);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, out_of_memory_error);
    EXPECT_EQ(FALSE, faulty);
    EXPECT_EQ(ERROR_INTERNAL_ERROR, faulty_error);
    dlclose(kernel32);
}

}  // namespace
