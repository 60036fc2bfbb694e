#include "server/login.h"

#include "server/captcha_picture.h"
#include "server/pages.h"
#include "server/random.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

Reply captcha_request(const ServiceContext &ctx, const ServiceRequest &request) {
    int64_t now = ctx.now();
    std::string code = random_digits(4);
    Reply reply;
    std::string token = request.session_token;
    if (!find_session(ctx.storage, token, now)) {
        token = create_session(ctx.storage, now);
        reply.session_cookie = token;
    }
    set_captcha(ctx.storage, token, code, now);
    ctx.log.detail("captcha code: " + code);
    reply.body = captcha_png(code);
    reply.content_type = "image/png";
    return reply;
}

static std::string_view without_blanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

Reply login(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "MemberCode");
    const std::string &password = value_of(request.form, "MemberPassword");
    std::string_view typed_code = without_blanks(value_of(request.form, "ValidCode"));
    int64_t now = ctx.now();
    if (!find_session(ctx.storage, request.session_token, now)) return page_reply(pages::login_failed());
    // The code is used up by any attempt, right or wrong.
    bool captcha_right = ctx.storage.use_captcha(request.session_token, typed_code, now);
    if (!request.fields_ok || !captcha_right) return page_reply(pages::login_failed());
    if (!is_mobile_number(number) || password != number) return page_reply(pages::login_failed());
    auto member = ctx.storage.member_by_number(number);
    if (!member) return page_reply(pages::login_failed());
    log_in(ctx.storage, request.session_token, member->id, now);
    ctx.log.detail("login: " + number);
    return page_reply(pages::login_succeeded());
}

}  // namespace tolvar::server
