// Compiled with -fexec-charset=GBK.
#include "service/friend_list.h"

#include "regex/regex_object.h"
#include "runtime/controls.h"
#include "runtime/internet.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "service/exchange.h"
#include "service/friend_file.h"
#include "service/login.h"
#include "service/service_text.h"

using namespace tolvar::runtime;

namespace tolvar::service {

namespace {

constexpr char kFriendPattern[] = "\\d{6}','\\d{11}";
constexpr char kFriendPagePath[] = "/p.php?class=p&action=friend";
constexpr int32_t kCallPage = 1;        // "② 第二步 打电话"
constexpr int32_t kFriendPage = 2;      // "③ 免费发短信"
constexpr int32_t kInvitationPage = 3;  // "④ 邀请好友"

// The friend file's entries, once each: the list is emptied first. The
// file's text is cut into entries as it was read; it is not staged in 好友,
// which holds a refresh's lines only (laying a damaged file's megabyte-long
// line out in a text box would hold the window for seconds).
void list_saved_friends() {
    list_clear(列表框1);
    for (const FriendEntry &entry : friend_file_entries(read_friend_file()))
        list_add(列表框1, entry.number.c_str(), entry.id);
}

void take_invitation_number() {
    if (logged_in()) {
        char *number = text_of(编辑框2);
        set_text(编辑框7, number);
        release(number);
        return;
    }
    message_box("你还未登录，或者注册！！");
    set_current_page(选择夹1, kCallPage);
}

}  // namespace

int32_t friend_list_parse(const std::string &page) {
    regex::RegexObject finder = regex::fresh_regex_object();
    if (!regex::create(finder, kFriendPattern, {true, true}, {false, true}, {true, true})) {
        regex::destroy(finder);
        return 0;
    }
    int32_t n = regex::execute(finder, page);
    set_text(标签19, ("一共有" + std::to_string(n < 0 ? 0 : n) + "位好友").c_str());  // -1: the search was given up
    // The lines are staged here and go into 好友 in one piece.
    std::string lines;
    int32_t found = 0;
    for (int32_t i = 1; i <= n; ++i) {
        std::string match = regex::match_text(finder, i);
        size_t cut = match.find("','");
        if (cut == std::string::npos) continue;
        std::string id = match.substr(0, cut), number = match.substr(cut + 3);
        list_add(列表框1, number.c_str(), text_to_integer(id));
        lines += number + "," + id + "\r\n";
        ++found;
    }
    if (!lines.empty()) append_text(好友, lines.c_str());
    regex::destroy(finder);
    return found;
}

}  // namespace tolvar::service

using namespace tolvar::service;

extern "C" int32_t friend_list_refresh(int32_t, const tolvar_arg *) {
    set_text(标签19, "");
    list_clear(列表框1);
    std::string address = service_address(kFriendPagePath);
    std::string page = take_bytes_as_text(read_web_page(address.c_str()));
    // Window messages ran during the fetch: an entry into page ③ may have
    // listed the file meanwhile. Only this page's entries are listed.
    list_clear(列表框1);
    if (friend_list_parse(page) > 0) replace_friend_file(take_text(text_of(好友)));
    set_text(好友, "");
    return 0;
}

extern "C" int32_t friend_list_load(int32_t, const tolvar_arg *) {
    int32_t page = current_page(选择夹1);
    if (page == kFriendPage) list_saved_friends();
    else if (page == kInvitationPage) take_invitation_number();
    return 0;
}
