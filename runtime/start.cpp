// The start routine the kernel calls once it has loaded the image, and the
// clean-up routine it runs when the program ends.
#include "runtime/globals.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/runtime_content.h"

namespace tolvar::runtime {

Globals &globals() {
    static Globals *g = new Globals;
    return *g;
}

namespace {

// The two module start hooks: nothing is initialised before the window exists.
int32_t first_start_hook() { return 0; }
int32_t second_start_hook() { return 0; }

}  // namespace

}  // namespace tolvar::runtime

using namespace tolvar::runtime;

// The ABI this program was built against; the kernel checks it before it
// binds any routine.
extern "C" __attribute__((visibility("default"))) const uint32_t tolvar_program_abi_version = TOLVAR_ABI_VERSION;

TOLVAR_ROUTINE(int32_t, tolvar_start, (int32_t count, const tolvar_arg *args)) {
    if (count < 1 || args[0].type != TOLVAR_TYPE_ADDRESS) return -1;
    auto *program = static_cast<const tolvar_program *>(tolvar_arg_pointer(args[0]));
    if (!program || program->abi_version != TOLVAR_ABI_VERSION) return -1;
    attach(program);

    globals().window_list.start_empty();
    at_end("tolvar_cleanup");
    first_start_hook();
    second_start_hook();
    load_window(TOLVAR_MAIN_WINDOW);
    event_loop();
    end_program();
    return 0;
}
TOLVAR_ROUTINE_END

// The referrer number, then each window record with its texts, then the array.
TOLVAR_ROUTINE(int32_t, tolvar_cleanup, (int32_t, const tolvar_arg *)) {
    Globals &g = globals();
    g.referrer_number.reset();
    g.window_list.release_all();
    return 0;
}
TOLVAR_ROUTINE_END
