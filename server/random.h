// Secret values from the system's random source: session cookies, claim
// tokens, voice codes and captcha codes.
#pragma once

#include <cstddef>
#include <string>

namespace tolvar::server {

// `bytes` random bytes written as lower-case hex (16 bytes: 32 digits, 128 bits).
std::string random_hex(size_t bytes);

// `count` decimal digits, each uniform over 0-9.
std::string random_digits(size_t count);

}  // namespace tolvar::server
