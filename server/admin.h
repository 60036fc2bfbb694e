// The admin command line on the service's database: list members, calls and
// messages, register a number, add a friend.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "server/storage/storage.h"

namespace tolvar::server {

// Runs `words` (e.g. {"friend", "add", "100001", "13800000002"}); the exit
// status: 0 done, 1 refused or failed, 2 not a command.
int run_admin_command(Storage &storage, const std::vector<std::string> &words, int64_t now, std::ostream &out,
                      std::ostream &err);

}  // namespace tolvar::server
