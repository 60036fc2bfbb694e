// The window lookup's program-wide list on the recording fake kernel, with the
// user32 functions answered by the test: what goes into the list, the growth
// notice before each growth, and the list emptied after each enumeration.
#include <gtest/gtest.h>

#include <cstring>

#include "abi/win32.h"
#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "tests/support/recording_kernel.h"
#include "web/window_lookup.h"

using namespace tolvar;
using namespace tolvar::test;
using runtime::Dll;

namespace {

// Three windows: 0x10 hidden, 0x14 of process 77 with a 300-byte title, 0x18 of process 88.
BOOL fake_enum_windows(WNDENUMPROC callback, LPARAM parameter) {
    for (uintptr_t h : {0x10, 0x14, 0x18})
        if (!callback(reinterpret_cast<HWND>(h), parameter)) break;
    return TRUE;
}
BOOL fake_is_visible(HWND h) { return reinterpret_cast<uintptr_t>(h) != 0x10; }
DWORD fake_thread_process(HWND h, LPDWORD process) {
    if (process) *process = reinterpret_cast<uintptr_t>(h) == 0x14 ? 77 : 88;
    return 5;
}
int fill(LPSTR out, int size, char c, int length) {
    int n = std::min(size - 1, length);
    std::memset(out, c, static_cast<size_t>(n));
    out[n] = 0;
    return n;
}
int fake_title(HWND h, LPSTR out, int size) { return fill(out, size, 'T', reinterpret_cast<uintptr_t>(h) == 0x14 ? 300 : 3); }
int fake_class(HWND, LPSTR out, int size) { return fill(out, size, 'C', 60); }

class WindowList : public RecordingKernel {
protected:
    void SetUp() override {
        RecordingKernel::SetUp();
        recorder.dll_functions = {
            {static_cast<uint32_t>(Dll::EnumWindows), reinterpret_cast<void *>(fake_enum_windows)},
            {static_cast<uint32_t>(Dll::IsWindowVisible), reinterpret_cast<void *>(fake_is_visible)},
            {static_cast<uint32_t>(Dll::GetWindowThreadProcessId), reinterpret_cast<void *>(fake_thread_process)},
            {static_cast<uint32_t>(Dll::GetWindowTextA), reinterpret_cast<void *>(fake_title)},
            {static_cast<uint32_t>(Dll::GetClassNameA), reinterpret_cast<void *>(fake_class)},
        };
    }
};

TEST_F(WindowList, EnumerationFillsEmptiesAndAnnouncesEachGrowth) {
    std::vector<web::WindowInfo> list;
    int32_t count = -1;
    std::string list_address;
    uint32_t left_in_global = 99;
    recorder.during_event_loop = [&] {
        char address[24];
        std::snprintf(address, sizeof address, "0x%llX",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&runtime::globals().window_list)));
        list_address = address;
        recorder.calls.clear();
        count = web::enum_visible_windows(list);
        left_in_global = runtime::globals().window_list.count();
    };
    start();
    ASSERT_EQ(2, count);
    EXPECT_EQ(0u, left_in_global);
    EXPECT_EQ(0x14u, list[0].handle);
    EXPECT_EQ(77u, list[0].process);
    EXPECT_EQ(5u, list[0].thread);
    EXPECT_EQ(std::string(255, 'T'), list[0].title);
    EXPECT_EQ(std::string(49, 'C'), list[0].class_name);
    EXPECT_EQ(0x18u, list[1].handle);
    EXPECT_EQ("TTT", list[1].title);
    // The growth notice (code 2 with 4 and the list's address) before each of the two growths.
    EXPECT_EQ(2, std::count(recorder.calls.begin(), recorder.calls.end(), "array grows 4 " + list_address));
    EXPECT_TRUE(recorder.live.empty());  // records, texts and the array are all released at the end
}

TEST_F(WindowList, FindOwnWindowTakesTheFirstVisibleWindowOfTheProcess) {
    uint32_t of_77 = 1, of_88 = 1, of_99 = 1;
    recorder.during_event_loop = [&] {
        of_77 = web::find_own_window(77);
        of_88 = web::find_own_window(88);
        of_99 = web::find_own_window(99);
    };
    start();
    EXPECT_EQ(0x14u, of_77);
    EXPECT_EQ(0x18u, of_88);
    EXPECT_EQ(0u, of_99);
    EXPECT_TRUE(recorder.live.empty());
}

}  // namespace
