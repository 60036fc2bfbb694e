#include "server/calls.h"

#include "server/members.h"
#include "server/pages.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

Reply free_call(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "tel");
    const std::string &address = value_of(request.form, "ip");
    int64_t now = ctx.now();
    auto c = ctx.database.lease();
    auto member_id = session_member(*c, request.session_token, now);
    if (!member_id) return page_reply(pages::not_logged_in());
    if (!request.fields_ok || !is_callable_number(number, ctx.settings.call_shapes) || !is_address_text(address))
        return page_reply(pages::call_refused());

    WriteTransaction tx(*c);
    if (execute(*c, "UPDATE members SET minutes = MAX(minutes - ?2, 0) WHERE id = ?1 AND minutes > 0", *member_id,
                minutes_per_call) == 0)
        return page_reply(pages::call_no_minutes());
    execute(*c, "INSERT INTO calls (member_id, number, address, placed_at) VALUES (?1, ?2, ?3, ?4)", *member_id,
            number, address, now);
    auto member = member_by_id(*c, *member_id);
    tx.commit();
    // The voice gateway: a deployment would set up the call here.
    ctx.log.line("call: " + (member ? member->number : std::to_string(*member_id)) + " -> " + number);
    return page_reply(pages::call_placed());
}

Reply address_echo(const ServiceContext &, const ServiceRequest &request) {
    return page_reply(pages::address_page(request.remote_address));
}

}  // namespace tolvar::server
