// Compiled with -fexec-charset=GBK: the messages are GBK texts.
#include "service/free_call.h"

#include "runtime/controls.h"
#include "runtime/deployment.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "service/exchange.h"
#include "service/service_text.h"
#include "service/inputs.h"
#include "runtime/routine.h"
#include "service/login.h"
#include "service/reply_values.h"
#include "service/text_between.h"
#include "web/form_text.h"

using namespace tolvar::runtime;
using namespace tolvar::service;

namespace {

constexpr char kCallPlaced[] = "呼叫成功！！正在处理！！请耐心等待5~60秒！";
constexpr char kCallFailed[] = "呼叫失败！请重试！！";
constexpr char kNotLoggedIn[] = "你还未登录，或者未注册！！";
// A reply of this many bytes is the service's acceptance, whatever it says.
constexpr size_t kShortestAccepted = 101, kLongestAccepted = 159;

// Asks the service to ring `number`; the reply's length tells the outcome. A
// reply that broke off is no reply: the exchange failed, whatever its length.
void free_call(const std::string &number) {
    std::string address = service_address("/url.php");
    std::string ip = public_address_lookup();
    std::string form = "action=sendfreecall&tel=" + tolvar::web::form_value(number) + "&url=" + service_host() +
                       "&ip=" + tolvar::web::form_value(ip);
    size_t length = post_form(address, form).size();
    message_box(length >= kShortestAccepted && length <= kLongestAccepted ? kCallPlaced : kCallFailed);
}

std::string list_item(int32_t index) { return take_text(list_item_text(列表框1, index)); }

}  // namespace

namespace tolvar::service {

std::string public_address_lookup() {
    return internet_address(text_between(bytes_as_text(fetch(const_text(kEchoUrl))), "<h2>", "</h2>"));
}

}  // namespace tolvar::service

// No login test here, and an empty box is sent as it is.
TOLVAR_ROUTINE(int32_t, free_call_button, (int32_t, const tolvar_arg *)) {
    free_call(trimmed_box_text(拨打电话));
    return 0;
}
TOLVAR_ROUTINE_END

// The selected friend (an empty number when none is selected), once logged in.
TOLVAR_ROUTINE(int32_t, friend_call, (int32_t, const tolvar_arg *)) {
    if (!logged_in()) {
        message_box(kNotLoggedIn);
        return 0;
    }
    int32_t index = current_item(列表框1);
    set_text(编辑框6, list_item(index).c_str());
    free_call(list_item(index));
    return 0;
}
TOLVAR_ROUTINE_END
