#include "server/friends.h"

#include "server/sessions.h"

namespace tolvar::server {

std::vector<FriendEntry> friends_of(Connection &c, int64_t member_id) {
    std::vector<FriendEntry> friends;
    Query q(c,
            "SELECT f.id, f.number FROM members m JOIN members f ON f.referrer = m.number AND f.id <> m.id"
            " WHERE m.id = ?1"
            " UNION"
            " SELECT f.id, f.number FROM friends a JOIN members f ON f.id = a.friend_id WHERE a.member_id = ?1"
            " ORDER BY 1",
            member_id);
    while (q.next()) friends.push_back(FriendEntry{q.integer(0), q.text(1)});
    return friends;
}

bool has_friend(Connection &c, int64_t member_id, int64_t friend_id, std::string_view number) {
    Query q(c,
            "SELECT 1 FROM members f WHERE f.id = ?2 AND f.number = ?3 AND f.id <> ?1 AND ("
            " f.referrer = (SELECT number FROM members WHERE id = ?1)"
            " OR EXISTS (SELECT 1 FROM friends WHERE member_id = ?1 AND friend_id = ?2))",
            member_id, friend_id, number);
    return q.next();
}

bool add_friend(Connection &c, int64_t member_id, int64_t friend_id) {
    return execute(c, "INSERT OR IGNORE INTO friends (member_id, friend_id) VALUES (?1, ?2)", member_id, friend_id) ==
           1;
}

Reply friend_page(const ServiceContext &ctx, const ServiceRequest &request) {
    auto c = ctx.database.lease();
    auto member_id = session_member(*c, request.session_token, ctx.now());
    if (!member_id) return page_reply(pages::not_logged_in());
    return page_reply(pages::friend_page(friends_of(*c, *member_id)));
}

}  // namespace tolvar::server
