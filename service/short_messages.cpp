// Compiled with -fexec-charset=GBK.
// Short messages to the friend selected in 列表框1, from page ③.
#include <string>

#include "runtime/controls.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/window.h"
#include "service/exchange.h"
#include "service/login.h"
#include "service/service_text.h"
#include "web/form_text.h"

using namespace tolvar::runtime;
using namespace tolvar::service;

namespace {

// The counter's own limit, equal to the message box's.
constexpr int32_t kMessageLimit = 60;

}  // namespace

// Every content change of 编辑框5: 标签15 tells how many GBK bytes of the 60
// are left (a negative number past the limit).
TOLVAR_ROUTINE(int32_t, sms_counter_update, (int32_t, const tolvar_arg *)) {
    std::string message = take_text(text_of(编辑框5));
    int32_t left = kMessageLimit - static_cast<int32_t>(message.size());
    set_text(标签15, ("还可以输入" + std::to_string(left) + "个字符！！！").c_str());
    return 0;
}
TOLVAR_ROUTINE_END

// 按钮17 and "发短信" of the friend menu: after the login, selection and
// content checks, sends 编辑框5's text to the selected friend.
TOLVAR_ROUTINE(int32_t, sms_send, (int32_t, const tolvar_arg *)) {
    if (!logged_in()) {
        message_box("你还未登录，或者未注册！！");
        return 0;
    }
    int32_t selected = current_item(列表框1);
    if (selected < 0) {
        message_box("请选择，给哪个朋友发哦！！");
        return 0;
    }
    std::string message = take_text(text_of(编辑框5));
    if (message.empty()) {
        message_box("你还没有写内容哦！！！！");
        return 0;
    }
    std::string number = take_text(list_item_text(列表框1, selected));
    set_text(编辑框6, number.c_str());
    int32_t id = list_item_value(列表框1, selected);
    std::string form = "action=sendsms&key_id=" + std::to_string(id) + "&url=" + service_host() +
                       "&tel=" + tolvar::web::form_value(number) + "&msg=" + tolvar::web::form_value(message);
    std::string reply = bytes_as_text(post_form(service_address("/p.php?class="), form));
    if (reply.find("成功") != std::string::npos) message_box("发送成功！！！");
    return 0;
}
TOLVAR_ROUTINE_END
