// Compiled with -fexec-charset=GBK: the messages, captions and markers are GBK texts.
// The free minutes left and the weekly allowance. The service knows the
// member by the login cookies alone; none of these requests names a number.
#include <string_view>

#include "runtime/controls.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "service/exchange.h"
#include "service/service_text.h"
#include "service/free_call.h"
#include "web/form_text.h"

using namespace tolvar::runtime;
using namespace tolvar::service;

namespace {

constexpr char kClaimed[] = "领取成功！！！";
constexpr char kAlreadyClaimed[] = "对不起！这周已经领取了！！！";
constexpr char kClaimFailed[] = "领取失败！请重试！！";
constexpr char kAlreadyClaimedMarker[] = "已经领过了";
constexpr char kNotLoggedInMarker[] = "没有登陆";
constexpr char kNotLoggedIn[] = "你还没有登录！！";
constexpr char kNetworkWarning[] = "请检查你的网络是否正常！！！！";
constexpr char kMinutesPrefix[] = "免费通话时间还剩： ";
constexpr char kMinutesSuffix[] = "分钟";
constexpr std::string_view kHashMarker = "giving&hash=";
constexpr std::string_view kHashEnd = "',";

// The balance reply, unparsed: the service sends the minutes as a number.
// `failed` tells whether the balance exchange itself failed.
std::string balance_query(bool &failed) {
    std::string address = service_address("/url.php");
    std::string ip = public_address_lookup();
    std::string balance =
        bytes_as_text(post_form(address, "action=balance&url=" + service_host() + "&ip=" + tolvar::web::form_value(ip)));
    failed = tolvar::web::last_exchange_failed();
    return balance;
}

// The token behind the first marker, up to the nearest "'," or next marker or
// the end of the page; empty when the page holds no marker.
std::string claim_hash_lookup() {
    std::string page = bytes_as_text(fetch(service_address("/p.php")));
    size_t at = page.find(kHashMarker);
    if (at == std::string::npos) return {};
    std::string_view piece = std::string_view(page).substr(at + kHashMarker.size());
    piece = piece.substr(0, piece.find(kHashMarker));
    return std::string(piece.substr(0, piece.find(kHashEnd)));
}

enum class Claim { claimed, already_claimed, no_reply };

Claim weekly_claim() {
    std::string hash = claim_hash_lookup();
    tolvar::web::Bytes reply = fetch(service_address("/p.php?class=giving&hash=") + tolvar::web::form_value(hash));
    if (reply.empty()) return Claim::no_reply;
    return bytes_as_text(reply).find(kAlreadyClaimedMarker) == std::string::npos ? Claim::claimed
                                                                               : Claim::already_claimed;
}

}  // namespace

// The balance is read before the claim: minutes just claimed show on the next
// press. A balance exchange that failed leaves the label as it was.
TOLVAR_ROUTINE(int32_t, minutes_button, (int32_t, const tolvar_arg *)) {
    bool failed = false;
    std::string balance = balance_query(failed);
    weekly_claim();
    if (failed) message_box(kNetworkWarning);
    else if (balance.find(kNotLoggedInMarker) != std::string::npos) message_box(kNotLoggedIn);
    else set_text(标签6, (kMinutesPrefix + balance + kMinutesSuffix).c_str());
    return 0;
}
TOLVAR_ROUTINE_END

TOLVAR_ROUTINE(int32_t, weekly_claim_menu, (int32_t, const tolvar_arg *)) {
    switch (weekly_claim()) {
        case Claim::claimed: message_box(kClaimed); break;
        case Claim::already_claimed: message_box(kAlreadyClaimed); break;
        case Claim::no_reply: message_box(kClaimFailed); break;
    }
    return 0;
}
TOLVAR_ROUTINE_END
