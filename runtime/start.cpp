// The start routine the kernel calls once it has loaded the image, and the
// clean-up routine it runs when the program ends.
#include <cstring>

#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "runtime/runtime_content.h"

namespace tolvar::runtime {

Globals &globals() {
    static Globals g;
    return g;
}

namespace {

// The two module start hooks: nothing is initialised before the window exists.
int32_t first_start_hook() { return 0; }
int32_t second_start_hook() { return 0; }

// A fresh heap copy of the image's empty-array constant.
void *new_empty_array() {
    void *array = allocate(8);
    std::memcpy(array, const_data(kEmptyArray), 8);
    return array;
}

}  // namespace

}  // namespace tolvar::runtime

using namespace tolvar::runtime;

// The ABI this program was built against; the kernel checks it before it
// binds any routine.
extern "C" __attribute__((visibility("default"))) const uint32_t tolvar_program_abi_version = TOLVAR_ABI_VERSION;

extern "C" int32_t tolvar_start(int32_t count, const tolvar_arg *args) {
    if (count < 1 || args[0].type != TOLVAR_TYPE_ADDRESS) return -1;
    auto *program = static_cast<const tolvar_program *>(tolvar_arg_pointer(args[0]));
    if (!program || program->abi_version != TOLVAR_ABI_VERSION) return -1;
    attach(program);

    globals().window_list = new_empty_array();
    at_end("tolvar_cleanup");
    first_start_hook();
    second_start_hook();
    load_window(TOLVAR_MAIN_WINDOW);
    event_loop();
    end_program();
    return 0;
}

extern "C" int32_t tolvar_cleanup(int32_t, const tolvar_arg *) {
    Globals &g = globals();
    if (g.referrer_number) {
        release(g.referrer_number);
        g.referrer_number = nullptr;
    }
    if (g.window_list) {
        uint32_t n = array_count(g.window_list);
        void **records = array_elements(g.window_list);
        for (uint32_t i = 0; i < n; ++i) {
            auto *record = static_cast<WindowRecord *>(records[i]);
            if (!record) continue;
            if (record->title) release(record->title);
            if (record->class_name) release(record->class_name);
            release(record);
        }
        release(g.window_list);
        g.window_list = nullptr;
    }
    return 0;
}
