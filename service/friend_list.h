// The friend list of page ③ and the phone number of page ④.
#pragma once

#include <cstdint>
#include <string>

namespace tolvar::service {

// Scans a friend page for "\d{6}','\d{11}" and shows what it finds: 标签19
// the count, one 列表框1 item per match in page order (text the 11 digits,
// value the 6 digits), and "number,id" CR LF per match appended to the hidden
// box 好友. Nothing changes when the regular-expression engine cannot be
// made. Returns the number of entries found; -1 when a newer filling of the
// list began while the window's events ran between the items (this one then
// stops and leaves 好友 as it was).
int32_t friend_list_parse(const std::string &page);

}  // namespace tolvar::service
