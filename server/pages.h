// The pages the service answers with, as GBK bytes. The client judges every
// reply by one fixed test, so each failure page is chosen to fail that test:
// no "p.php" in a failed login, never exactly "6" for a failed registration,
// under 101 bytes for a refused call, no "成功" for a refused message. The
// service's own failure pages are all short and carry none of those marks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/storage/records.h"

namespace tolvar::server {

namespace pages {

const std::string &voice_code_sent();
const std::string &voice_code_refused();
const std::string &voice_code_limited();
const std::string &registered();  // exactly "6"
const std::string &registration_failed();
const std::string &login_succeeded();
const std::string &login_failed();
const std::string &not_logged_in();  // holds "没有登陆"
const std::string &call_placed();    // 101 to 159 bytes
const std::string &call_no_minutes();
const std::string &call_refused();
const std::string &claim_granted();
const std::string &claim_already();  // holds "已经领过了"
const std::string &message_sent();   // holds "成功"
const std::string &message_refused();
const std::string &request_refused();  // any other failure, and HTTP errors

// The member page, whose weekly-claim link carries `claim_token`.
std::string member_page(const MemberView &member, std::string_view claim_token);
// Each friend as pick('ID','NUMBER') in a list a browser shows.
std::string friend_page(const std::vector<FriendEntry> &friends);
// The caller's address between <h2> and </h2>.
std::string address_page(std::string_view address);

}  // namespace pages
}  // namespace tolvar::server
