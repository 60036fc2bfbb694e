#include "server/messages.h"

#include "server/gbk.h"
#include "server/pages.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

Reply send_message(const ServiceContext &ctx, const ServiceRequest &request) {
    auto friend_id = small_number(value_of(request.form, "key_id"));
    const std::string &number = value_of(request.form, "tel");
    const std::string &text = value_of(request.form, "msg");
    int64_t now = ctx.now();
    auto member_id = session_member(ctx.storage, request.session_token, now);
    if (!member_id) return page_reply(pages::not_logged_in());
    if (!request.fields_ok || !friend_id || !is_mobile_number(number) || text.empty() ||
        text.size() > longest_message || !ctx.storage.has_friend(*member_id, *friend_id, number))
        return page_reply(pages::message_refused());
    ctx.storage.record_message(*member_id, *friend_id, number, text, now);
    auto member = ctx.storage.member_by_id(*member_id);
    // The SMS gateway: a deployment would send the text here.
    ctx.log.line("message: " + (member ? member->number : std::to_string(*member_id)) + " -> " + number + ": " +
                 utf8_from_gbk(text));
    return page_reply(pages::message_sent());
}

}  // namespace tolvar::server
