#include "server/registration.h"

#include "server/members.h"
#include "server/pages.h"
#include "server/random.h"
#include "server/shapes.h"

namespace tolvar::server {

Reply voice_code_request(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "MemberMobile");
    const std::string &referrer_field = value_of(request.form, "tel");
    if (!request.fields_ok || !is_mobile_number(number)) return page_reply(pages::voice_code_refused());
    std::optional<std::string> referrer;
    if (is_mobile_number(referrer_field) && referrer_field != number) referrer = referrer_field;

    int64_t now = ctx.now();
    std::string code = random_digits(6);
    VoiceCodeRing ring{number, code, referrer, request.network, now, now + voice_code_lifetime};
    VoiceCodeLimits limits{ctx.settings.voice_calls_per_number, voice_number_window,
                           ctx.settings.voice_calls_per_network, voice_network_window};
    if (!ctx.storage.ring_voice_code(ring, limits)) {
        ctx.log.line("voice code refused for " + number + ": too many requests");
        return page_reply(pages::voice_code_limited());
    }
    // The voice gateway: a deployment would have the number rung and the code spoken.
    ctx.log.line("voice code for " + number + ": " + code);
    return page_reply(pages::voice_code_sent());
}

Reply registration_confirm(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "MemberMobile");
    const std::string &code = value_of(request.form, "VerifyCode");
    if (!request.fields_ok || !is_mobile_number(number)) return page_reply(pages::registration_failed());

    auto registration =
        ctx.storage.confirm_voice_code(number, code, ctx.now(), voice_code_attempts, starting_minutes);
    if (!registration) return page_reply(pages::registration_failed());
    if (registration->created)
        ctx.log.line("member " + std::to_string(registration->member.id) + " registered: " + number +
                     (registration->referrer ? " (referrer " + *registration->referrer + ")" : ""));
    return page_reply(pages::registered());
}

}  // namespace tolvar::server
