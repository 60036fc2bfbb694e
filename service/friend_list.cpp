// Compiled with -fexec-charset=GBK.
#include "service/friend_list.h"

#include <cstdio>

#include "regex/regex_object.h"
#include "runtime/controls.h"
#include "runtime/internet.h"
#include "runtime/routine.h"
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

// Filling a long list lets the window's events run between its items; an
// event may start another filling (a refresh, an entry into page ③), which
// ends this one.
int32_t g_latest_filling = 0;

class ListFilling {
public:
    ListFilling() : mine_(++g_latest_filling) {}
    // Adds the item, lets pending events run; false once a newer filling has begun.
    bool add(const char *text, int32_t value) {
        list_add(friend_list_box, text, value);
        process_events();
        return current();
    }
    bool current() const { return mine_ == g_latest_filling; }

private:
    int32_t mine_;
};

// The friend file's entries, once each: the list is emptied first. The
// file's text is cut into entries as it was read; it is not staged in 好友,
// which holds a refresh's lines only (laying a damaged file's megabyte-long
// line out in a text box would hold the window for seconds).
void list_saved_friends() {
    ListFilling filling;
    list_clear(friend_list_box);
    for (const FriendEntry &entry : friend_file_entries(read_friend_file()))
        if (!filling.add(entry.number.c_str(), entry.id)) return;
}

void take_invitation_number() {
    if (logged_in()) {
        set_text(edition_number_box, text_of(login_number_box).get());
        return;
    }
    message_box("你还未登录，或者注册！！");
    set_current_page(选择夹1, kCallPage);
}

}  // namespace

int32_t friend_list_parse(const std::string &page) {
    ListFilling filling;
    regex::RegexObject finder = regex::fresh_regex_object();
    if (!regex::create(finder, kFriendPattern, {true, true}, {false, true}, {true, true})) {
        regex::destroy(finder);
        return 0;
    }
    int32_t n = regex::execute(finder, page);
    set_text(friend_count_label, ("一共有" + std::to_string(n < 0 ? 0 : n) + "位好友").c_str());  // -1: the search was given up
    // The lines are staged here and go into 好友 in one piece.
    std::string lines;
    int32_t found = 0;
    for (int32_t i = 1; i <= n; ++i) {
        std::string match = regex::match_text(finder, i);
        size_t cut = match.find("','");
        if (cut == std::string::npos) continue;
        std::string id = match.substr(0, cut), number = match.substr(cut + 3);
        lines += number + "," + id + "\r\n";
        ++found;
        if (!filling.add(number.c_str(), text_to_integer(id))) break;
    }
    regex::destroy(finder);
    if (!filling.current()) return -1;
    if (!lines.empty()) append_text(friend_record_box, lines.c_str());
    return found;
}

}  // namespace tolvar::service

using namespace tolvar::service;

// 按钮18: fetches the friend page, lists its entries and saves exactly those
// in the friend file; a page without entries leaves the file as it was.
TOLVAR_ROUTINE(int32_t, friend_list_refresh, (int32_t, const tolvar_arg *)) {
    set_text(friend_count_label, "");
    list_clear(friend_list_box);
    std::string address = service_address(kFriendPagePath);
    std::string page = take_bytes_as_text(read_web_page(address.c_str(), static_cast<int32_t>(kMostFriendBytes + 1)));
    static bool said = false;
    if (page.size() > kMostFriendBytes) {
        page.resize(kMostFriendBytes);
        if (!said) {
            said = true;
            std::fprintf(stderr, "tolvar: the friend page is larger than %zu bytes; only the friends within them are listed\n",
                         kMostFriendBytes);
        }
    }
    // Window messages ran during the fetch: an entry into page ③ may have
    // listed the file meanwhile. Only this page's entries are listed.
    list_clear(friend_list_box);
    if (friend_list_parse(page) > 0) replace_friend_file(take_text(text_of(friend_record_box)));
    set_text(friend_record_box, "");
    return 0;
}
TOLVAR_ROUTINE_END

// Page change of 选择夹1: page ③ lists the friend file, page ④ takes the
// login number or sends a member who is not logged in back to page ②.
TOLVAR_ROUTINE(int32_t, friend_list_load, (int32_t, const tolvar_arg *)) {
    int32_t page = current_page(选择夹1);
    if (page == kFriendPage) list_saved_friends();
    else if (page == kInvitationPage) take_invitation_number();
    return 0;
}
TOLVAR_ROUTINE_END
