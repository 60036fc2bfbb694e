#include "server/admin.h"

#include <ostream>

#include "server/friends.h"
#include "server/gbk.h"
#include "server/members.h"
#include "server/printable.h"
#include "server/service_time.h"
#include "server/shapes.h"

namespace tolvar::server {

namespace {

// Every text column is made printable: a listing is one line per row, and no
// byte a client sent reaches the operator's terminal as a control character.
void list_members(Connection &c, std::ostream &out) {
    out << "id\tnumber\tminutes\treferrer\tregistered\n";
    Query q(c, "SELECT id, number, minutes, COALESCE(referrer, '-'), registered_at FROM members ORDER BY id");
    while (q.next())
        out << q.integer(0) << '\t' << printable(q.text(1)) << '\t' << q.integer(2) << '\t' << printable(q.text(3))
            << '\t' << local_time_text(q.integer(4)) << '\n';
}

void list_calls(Connection &c, std::ostream &out) {
    out << "id\tplaced\tmember\tfrom\tto\taddress\n";
    Query q(c,
            "SELECT c.id, c.placed_at, c.member_id, m.number, c.number, c.address FROM calls c"
            " JOIN members m ON m.id = c.member_id ORDER BY c.id");
    while (q.next())
        out << q.integer(0) << '\t' << local_time_text(q.integer(1)) << '\t' << q.integer(2) << '\t'
            << printable(q.text(3)) << '\t' << printable(q.text(4)) << '\t'
            << (q.text(5).empty() ? "-" : printable(q.text(5))) << '\n';
}

void list_messages(Connection &c, std::ostream &out) {
    out << "id\tsent\tfrom\tto\tfriend\ttext\n";
    Query q(c,
            "SELECT s.id, s.sent_at, m.number, s.number, s.friend_id, s.body FROM messages s"
            " JOIN members m ON m.id = s.member_id ORDER BY s.id");
    while (q.next())
        out << q.integer(0) << '\t' << local_time_text(q.integer(1)) << '\t' << printable(q.text(2)) << '\t'
            << printable(q.text(3)) << '\t' << q.integer(4) << '\t' << printable(utf8_from_gbk(q.text(5))) << '\n';
}

// A member named by id (6 digits) or mobile number (11 digits).
std::optional<MemberView> named_member(Connection &c, const std::string &name) {
    if (is_digits(name, 6, 6)) return member_by_id(c, std::stoll(name));
    if (is_mobile_number(name)) return member_by_number(c, name);
    return std::nullopt;
}

int add_member(Connection &c, const std::vector<std::string> &words, int64_t now, std::ostream &out,
               std::ostream &err) {
    const std::string &number = words[2];
    std::optional<std::string> referrer;
    if (words.size() == 4) referrer = words[3];
    if (!is_mobile_number(number) || (referrer && (!is_mobile_number(*referrer) || *referrer == number))) {
        err << "tolvar-service: a member's number and referrer are 11-digit mobile numbers\n";
        return 1;
    }
    WriteTransaction tx(c);
    auto registration = register_member(c, number, referrer, now);
    if (!registration) {
        err << "tolvar-service: every member id is taken\n";
        return 1;
    }
    tx.commit();
    out << (registration->created ? "registered " : "already a member: ") << registration->member.number << " as "
        << registration->member.id << '\n';
    return 0;
}

int add_friend_command(Connection &c, const std::vector<std::string> &words, std::ostream &out, std::ostream &err) {
    WriteTransaction tx(c);
    auto member = named_member(c, words[2]);
    if (!member) {
        err << "tolvar-service: no member " << words[2] << '\n';
        return 1;
    }
    auto new_friend = is_mobile_number(words[3]) ? member_by_number(c, words[3]) : std::nullopt;
    if (!new_friend) {
        err << "tolvar-service: " << words[3] << " is not a member's number (add it with: member add "
            << words[3] << ")\n";
        return 1;
    }
    if (new_friend->id == member->id) {
        err << "tolvar-service: a member is not their own friend\n";
        return 1;
    }
    bool added = add_friend(c, member->id, new_friend->id);
    tx.commit();
    out << (added ? "friend added: " : "already a friend: ") << member->number << " -> " << new_friend->number
        << " (" << new_friend->id << ")\n";
    return 0;
}

}  // namespace

int run_admin_command(Database &db, const std::vector<std::string> &words, int64_t now, std::ostream &out,
                      std::ostream &err) {
    auto c = db.lease();
    try {
        if (words.size() == 1 && words[0] == "members") return list_members(*c, out), 0;
        if (words.size() == 1 && words[0] == "calls") return list_calls(*c, out), 0;
        if (words.size() == 1 && words[0] == "messages") return list_messages(*c, out), 0;
        if ((words.size() == 3 || words.size() == 4) && words[0] == "member" && words[1] == "add")
            return add_member(*c, words, now, out, err);
        if (words.size() == 4 && words[0] == "friend" && words[1] == "add") return add_friend_command(*c, words, out, err);
    } catch (const std::exception &e) {
        err << "tolvar-service: " << e.what() << '\n';
        return 1;
    }
    err << "tolvar-service: not a command:";
    for (const auto &w : words) err << ' ' << w;
    err << "\n(see tolvar-service --help)\n";
    return 2;
}

}  // namespace tolvar::server
