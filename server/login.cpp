#include "server/login.h"

#include <algorithm>

#include "server/captcha_picture.h"
#include "server/devices.h"
#include "server/pages.h"
#include "server/random.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

// Failed logins are counted over this many seconds.
static constexpr int64_t login_failure_window = 60 * 60;

Reply captcha_request(const ServiceContext &ctx, const ServiceRequest &request) {
    int64_t now = ctx.now();
    Reply reply;
    std::string token = request.session_token;
    if (!find_session(ctx.storage, token, now)) {
        token = create_session(ctx.storage, ctx.settings, request.network, now);
        if (token.empty()) {
            // The network holds all the sessions it may: no picture, and no
            // row, for this request; the client clears its picture.
            ctx.log.detail("captcha refused for " + request.network + ": too many sessions");
            return page_reply("");
        }
        reply.cookies.push_back(session_cookie(token));
    }
    std::string code = random_digits(4);
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

// Every refusal, whatever its reason (a wrong captcha, an unknown number, no
// device cookie bound to the member, a limit reached), gets the same page.
Reply login(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "MemberCode");
    const std::string &password = value_of(request.form, "MemberPassword");
    std::string_view typed_code = without_blanks(value_of(request.form, "ValidCode"));
    int64_t now = ctx.now();
    if (!find_session(ctx.storage, request.session_token, now)) return page_reply(pages::login_failed());
    // The code is used up by any attempt, right or wrong.
    bool captcha_right = ctx.storage.use_captcha(request.session_token, typed_code, now);
    if (!request.fields_ok || !is_mobile_number(number)) return page_reply(pages::login_failed());

    LoginAttempt attempt{number, request.network, request.device_token, captcha_right, password == number, now};
    LoginLimits limits{ctx.settings.login_failures_per_number, ctx.settings.login_failures_per_network,
                       login_failure_window};
    LoginResult result = ctx.storage.attempt_login(attempt, limits);
    if (result.outcome == LoginOutcome::limited) {
        ctx.log.line("login refused for " + number + " from " + request.network + ": too many failed logins");
        return page_reply(pages::login_failed());
    }
    if (result.outcome != LoginOutcome::logged_in) return page_reply(pages::login_failed());

    std::string renewed = log_in(ctx.storage, ctx.settings, request.session_token, result.member_id, now);
    if (renewed.empty()) return page_reply(pages::login_failed());
    Reply reply = page_reply(pages::login_succeeded());
    reply.cookies.push_back(session_cookie(renewed));
    // Each login keeps the device a year from now.
    ctx.storage.bind_device(request.device_token, result.member_id, now + device_lifetime, now,
                            ctx.settings.devices_per_member);
    reply.cookies.push_back(device_cookie(request.device_token, now + device_lifetime));
    ctx.log.detail("login: " + number);
    return reply;
}

}  // namespace tolvar::server
