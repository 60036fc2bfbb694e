#include "server/calls.h"

#include "server/pages.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

Reply free_call(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "tel");
    const std::string &address = value_of(request.form, "ip");
    int64_t now = ctx.now();
    auto member_id = session_member(ctx.storage, request.session_token, now);
    if (!member_id) return page_reply(pages::not_logged_in());
    if (!request.fields_ok || !is_callable_number(number, ctx.settings.call_shapes) || !is_address_text(address))
        return page_reply(pages::call_refused());

    auto member = ctx.storage.charge_call(*member_id, number, address, minutes_per_call, now);
    if (!member) return page_reply(pages::call_no_minutes());
    // The voice gateway: a deployment would set up the call here.
    ctx.log.line("call: " + member->number + " -> " + number);
    return page_reply(pages::call_placed());
}

Reply address_echo(const ServiceContext &, const ServiceRequest &request) {
    return page_reply(pages::address_page(request.remote_address));
}

}  // namespace tolvar::server
