// Members: what a new member starts with.
#pragma once

#include <cstdint>

namespace tolvar::server {

inline constexpr int64_t starting_minutes = 30;

}  // namespace tolvar::server
