#include "server/members.h"

namespace tolvar::server {

static constexpr int64_t first_member_id = 100000, last_member_id = 999999;

std::optional<MemberView> member_by_id(Connection &c, int64_t id) {
    Query q(c, "SELECT id, number, minutes FROM members WHERE id = ?1", id);
    if (!q.next()) return std::nullopt;
    return MemberView{q.integer(0), q.text(1), q.integer(2)};
}

std::optional<MemberView> member_by_number(Connection &c, std::string_view number) {
    Query q(c, "SELECT id, number, minutes FROM members WHERE number = ?1", number);
    if (!q.next()) return std::nullopt;
    return MemberView{q.integer(0), q.text(1), q.integer(2)};
}

std::optional<Registration> register_member(Connection &c, std::string_view number,
                                            const std::optional<std::string> &referrer, int64_t now) {
    if (auto existing = member_by_number(c, number)) return Registration{*existing, false};
    int64_t id = 0;
    {
        Query q(c, "SELECT COALESCE(MAX(id) + 1, ?1) FROM members", first_member_id);
        if (q.next()) id = q.integer(0);
    }
    if (id < first_member_id || id > last_member_id) return std::nullopt;
    execute(c, "INSERT INTO members (id, number, referrer, minutes, registered_at) VALUES (?1, ?2, ?3, ?4, ?5)", id,
            number, referrer, starting_minutes, now);
    return Registration{MemberView{id, std::string(number), starting_minutes}, true};
}

}  // namespace tolvar::server
