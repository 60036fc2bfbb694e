// Compiled with -fexec-charset=GBK: the messages are GBK texts.
// Registration by a spoken code: the service rings the number and speaks a
// code, which the user then sends back. A watchdog timer warns when the first
// request is still running, or its message still open, after ten seconds.
#include "runtime/controls.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "service/exchange.h"
#include "service/service_text.h"
#include "service/inputs.h"
#include "web/form_text.h"

using namespace tolvar::runtime;
using namespace tolvar::service;
using tolvar::web::form_value;

namespace {

constexpr char kWaitMessage[] =
    "请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！";
constexpr char kNetworkWarning[] = "请检查你的网络是否正常！！！！";
constexpr char kRegistered[] = "注册成功！！！";
constexpr char kWrongCode[] = "语音验证码错误，或者手机号码错误！！";
constexpr char kRegisteredReply[] = "6";
constexpr int32_t kWatchdogMs = 10000;
constexpr int32_t kLoginPage = 1;

}  // namespace

// The reply's content tells nothing: the wait message follows whatever came
// back, and the watchdog runs until that message is closed. An exchange that
// failed (no connection, a reply broken off) shows the network warning instead.
TOLVAR_ROUTINE(int32_t, voice_code_request, (int32_t, const tolvar_arg *)) {
    set_timer_interval(时钟1, kWatchdogMs);
    std::string form = "action=taste&tel=" + form_value(referrer_number()) +
                       "&MemberMobile=" + form_value(trimmed_box_text(编辑框3));
    post_form(service_address("/url.php?class=check"), form);
    message_box(tolvar::web::last_exchange_failed() ? kNetworkWarning : kWaitMessage);
    set_timer_interval(时钟1, 0);
    return 0;
}
TOLVAR_ROUTINE_END

// The timer is stopped before the warning is shown, so a warning left open
// is not followed by another one every ten seconds.
TOLVAR_ROUTINE(int32_t, network_watchdog, (int32_t, const tolvar_arg *)) {
    set_timer_interval(时钟1, 0);
    message_box(kNetworkWarning);
    return 0;
}
TOLVAR_ROUTINE_END

// Only the reply "6" itself, byte for byte, is a registration.
TOLVAR_ROUTINE(int32_t, registration_confirm, (int32_t, const tolvar_arg *)) {
    std::string form = "class=check&action=one&tel=" + form_value(referrer_number()) +
                       "&MemberMobile=" + form_value(trimmed_box_text(编辑框3)) +
                       "&VerifyCode=" + form_value(trimmed_box_text(编辑框4));
    std::string reply = bytes_as_text(post_form(service_address("/url.php"), form));
    if (reply == kRegisteredReply) {
        message_box(kRegistered);
        set_current_page(选择夹1, kLoginPage);
    } else {
        message_box(kWrongCode);
    }
    return 0;
}
TOLVAR_ROUTINE_END
