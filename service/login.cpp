// Compiled with -fexec-charset=GBK: the messages and captions are GBK texts.
// Login with the member's number (sent as code and password) and the captcha,
// and the captcha picture itself, converted in memory for the picture box.
#include "service/login.h"

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

constexpr char kLoginMark[] = "登录成功！！";
constexpr char kLoginFailed[] = "登录失败！请确认注册了！或者验证码输入正确！！";
constexpr char kUserPrefix[] = "用户号码：";
constexpr char kLoggedInPage[] = "p.php";

// True when the reply names the member page; sets the login mark then.
bool login_request() {
    std::string form = "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=" + form_value(trimmed_box_text(编辑框2)) +
                       "&MemberPassword=" + form_value(trimmed_box_text(编辑框2)) +
                       "&ValidCode=" + form_value(box_text(编辑框1)) + "&Image2.x=73&Image2.y=14";
    std::string reply = bytes_as_text(post_form(service_address("/validate.php"), form));
    if (reply.find(kLoggedInPage) == std::string::npos) return false;
    set_text(标签1, kLoginMark);
    return true;
}

// A reply that holds no picture clears the box, so no earlier code stays in view.
void show_new_captcha() {
    tolvar::web::Bytes reply = fetch(service_address("/verifycode.php"));
    ByteSet received = new_bytes(reply.data(), static_cast<uint32_t>(reply.size()));
    ByteSet picture = picture_as_bmp(received.get());
    set_picture(图片框1, picture.get());
}

}  // namespace

namespace tolvar::service {

bool logged_in() { return box_text(标签1) == kLoginMark; }

}  // namespace tolvar::service

TOLVAR_ROUTINE(int32_t, login_submit, (int32_t, const tolvar_arg *)) {
    if (login_request()) {
        set_text(标签5, (kUserPrefix + trimmed_box_text(编辑框2)).c_str());
        set_disabled(按钮14, false);
        set_disabled(按钮2, false);
        return 0;
    }
    message_box(kLoginFailed);
    set_text(编辑框2, "");
    set_text(编辑框1, "");
    show_new_captcha();
    return 0;
}
TOLVAR_ROUTINE_END

TOLVAR_ROUTINE(int32_t, captcha_refresh, (int32_t, const tolvar_arg *)) {
    show_new_captcha();
    return 0;
}
TOLVAR_ROUTINE_END
