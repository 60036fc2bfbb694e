#include "runtime/internet.h"

#include "runtime/arguments.h"
#include "runtime/services.h"

namespace tolvar::runtime {

ByteSet read_web_page(const char *address) {
    tolvar_arg arg = text_arg(address);
    return owned_bytes(services().library_command(TOLVAR_LIB_INTERNET, TOLVAR_LCMD_READ_PAGE, 1, &arg));
}

}  // namespace tolvar::runtime
