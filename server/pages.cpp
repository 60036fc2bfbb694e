#include "server/pages.h"

#include "server/gbk.h"

namespace tolvar::server::pages {

static std::string short_page(std::string_view utf8_text) {
    return gbk_from_utf8("<html><body>" + std::string(utf8_text) + "</body></html>");
}

#define TOLVAR_PAGE(name, text)                  \
    const std::string &name() {                  \
        static const std::string page = (text);  \
        return page;                             \
    }

TOLVAR_PAGE(voice_code_sent, short_page("语音验证码已发出，请留意来电。"))
TOLVAR_PAGE(voice_code_refused, short_page("手机号码有误。"))
TOLVAR_PAGE(voice_code_limited, short_page("请求太频繁，请稍后再试。"))
TOLVAR_PAGE(registered, std::string("6"))
TOLVAR_PAGE(registration_failed, short_page("语音验证码错误或已失效。"))
TOLVAR_PAGE(login_succeeded,
            gbk_from_utf8("<html><head><script>location.href='/p.php';</script></head>"
                          "<body>登录成功，<a href=\"/p.php\">进入会员中心</a></body></html>"))
TOLVAR_PAGE(login_failed, short_page("登录失败：号码未注册，或者验证码错误。"))
TOLVAR_PAGE(not_logged_in, short_page("没有登陆"))
TOLVAR_PAGE(call_placed, gbk_from_utf8("<html><head><title>免费电话</title></head>"
                                       "<body>呼叫已受理！系统正在为您接通，请在5到60秒内留意来电。</body></html>"))
TOLVAR_PAGE(call_no_minutes, short_page("免费通话时间已用完。"))
TOLVAR_PAGE(call_refused, short_page("号码有误，呼叫未受理。"))
TOLVAR_PAGE(claim_granted, short_page("领取成功！本周的15分钟免费通话时间已加入您的账户。"))
TOLVAR_PAGE(claim_already, short_page("您本周已经领过了，下周再来吧。"))
TOLVAR_PAGE(message_sent, short_page("短信发送成功！"))
TOLVAR_PAGE(message_refused, short_page("短信未发出：请从好友列表中选择号码。"))
TOLVAR_PAGE(request_refused, short_page("请求无效。"))

#undef TOLVAR_PAGE

static const char page_head[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"><title>";

std::string member_page(const MemberView &member, std::string_view claim_token) {
    std::string html = std::string(page_head) + "会员中心</title></head><body><h3>会员中心</h3>";
    html += "<p>用户号码：" + member.number + "　会员编号：" + std::to_string(member.id) + "</p>";
    html += "<p>免费通话时间还剩：" + std::to_string(member.minutes) + "分钟</p>";
    html += "<p><a href=\"#\" onclick=\"window.open('p.php?class=giving&hash=" + std::string(claim_token) +
            "','giving');return false;\">每周免费领取15分钟</a></p>";
    html += "<p><a href=\"p.php?class=p&action=friend\">我的好友</a></p></body></html>";
    return gbk_from_utf8(html);
}

std::string friend_page(const std::vector<FriendEntry> &friends) {
    std::string html = std::string(page_head) +
                       "我的好友</title><script>function pick(id, tel) { window.status = tel; }</script>"
                       "</head><body><h3>我的好友</h3><ul>";
    for (const FriendEntry &f : friends) {
        std::string id = std::to_string(f.id);
        html += "<li><a href=\"#\" onclick=\"pick('" + id + "','" + f.number + "');return false;\">" + f.number +
                "</a></li>";
    }
    html += "</ul><p>一共有" + std::to_string(friends.size()) + "位好友</p></body></html>";
    return gbk_from_utf8(html);
}

std::string address_page(std::string_view address) {
    return "<html><body><h2>" + std::string(address) + "</h2></body></html>";
}

}  // namespace tolvar::server::pages
