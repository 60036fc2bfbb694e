#include "server/friends.h"

#include "server/pages.h"
#include "server/sessions.h"

namespace tolvar::server {

Reply friend_page(const ServiceContext &ctx, const ServiceRequest &request) {
    auto member_id = session_member(ctx.storage, request.session_token, ctx.now());
    if (!member_id) return page_reply(pages::not_logged_in());
    return page_reply(pages::friend_page(ctx.storage.friends_of(*member_id)));
}

}  // namespace tolvar::server
