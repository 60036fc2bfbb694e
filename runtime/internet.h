// The internet support library as the program calls it.
#pragma once

#include "runtime/owned.h"

#include <cstdint>

namespace tolvar::runtime {

// A new heap byte set: the body of a plain GET of the page at `address`
// ("http://" + host + path), carrying the cookies of earlier replies and
// logins; empty when the page cannot be read. Window messages keep running
// while it waits.
// A positive `most` ends the read after that many bytes: a longer page gives
// its first `most` bytes.
ByteSet read_web_page(const char *address, int32_t most = 0);

}  // namespace tolvar::runtime
