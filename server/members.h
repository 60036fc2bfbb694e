// Members: looked up by id or number, registered with their starting minutes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/database.h"
#include "server/pages.h"

namespace tolvar::server {

inline constexpr int64_t starting_minutes = 30;

std::optional<MemberView> member_by_id(Connection &c, int64_t id);
std::optional<MemberView> member_by_number(Connection &c, std::string_view number);

struct Registration {
    MemberView member;
    bool created = false;  // false: the number was a member already
};

// Makes `number` a member with the next free 6-digit id; a number that is a
// member already stays as it is. Empty when every id is taken. Runs inside
// the caller's write transaction.
std::optional<Registration> register_member(Connection &c, std::string_view number,
                                            const std::optional<std::string> &referrer, int64_t now);

}  // namespace tolvar::server
