#include "runtime/internet.h"

#include "runtime/arguments.h"
#include "runtime/services.h"

namespace tolvar::runtime {

ByteSet read_web_page(const char *address, int32_t most) {
    tolvar_arg args[] = {text_arg(address), int_arg(most)};
    return owned_bytes(services().library_command(TOLVAR_LIB_INTERNET, TOLVAR_LCMD_READ_PAGE, most > 0 ? 2 : 1, args));
}

}  // namespace tolvar::runtime
