#include "server/admin.h"

#include <ostream>

#include "server/gbk.h"
#include "server/members.h"
#include "server/printable.h"
#include "server/service_time.h"
#include "server/shapes.h"

namespace tolvar::server {

namespace {

// Every text column is made printable: a listing is one line per row, and no
// byte a client sent reaches the operator's terminal as a control character.
void list_members(Storage &storage, std::ostream &out) {
    out << "id\tnumber\tminutes\treferrer\tregistered\n";
    storage.each_member([&](const MemberListing &m) {
        out << m.id << '\t' << printable(m.number) << '\t' << m.minutes << '\t' << printable(m.referrer.value_or("-"))
            << '\t' << local_time_text(m.registered_at) << '\n';
    });
}

void list_calls(Storage &storage, std::ostream &out) {
    out << "id\tplaced\tmember\tfrom\tto\taddress\n";
    storage.each_call([&](const CallListing &c) {
        out << c.id << '\t' << local_time_text(c.placed_at) << '\t' << c.member_id << '\t' << printable(c.member_number)
            << '\t' << printable(c.number) << '\t' << (c.address.empty() ? "-" : printable(c.address)) << '\n';
    });
}

void list_messages(Storage &storage, std::ostream &out) {
    out << "id\tsent\tfrom\tto\tfriend\ttext\n";
    storage.each_message([&](const MessageListing &m) {
        out << m.id << '\t' << local_time_text(m.sent_at) << '\t' << printable(m.member_number) << '\t'
            << printable(m.number) << '\t' << m.friend_id << '\t' << printable(utf8_from_gbk(m.body)) << '\n';
    });
}

// A member named by id (6 digits) or mobile number (11 digits).
std::optional<MemberView> named_member(Storage &storage, const std::string &name) {
    if (is_digits(name, 6, 6)) return storage.member_by_id(std::stoll(name));
    if (is_mobile_number(name)) return storage.member_by_number(name);
    return std::nullopt;
}

int add_member(Storage &storage, const std::vector<std::string> &words, int64_t now, std::ostream &out,
               std::ostream &err) {
    const std::string &number = words[2];
    std::optional<std::string> referrer;
    if (words.size() == 4) referrer = words[3];
    if (!is_mobile_number(number) || (referrer && (!is_mobile_number(*referrer) || *referrer == number))) {
        err << "tolvar-service: a member's number and referrer are 11-digit mobile numbers\n";
        return 1;
    }
    auto registration = storage.register_member(number, referrer, starting_minutes, now);
    if (!registration) {
        err << "tolvar-service: every member id is taken\n";
        return 1;
    }
    out << (registration->created ? "registered " : "already a member: ") << registration->member.number << " as "
        << registration->member.id << '\n';
    return 0;
}

int add_friend_command(Storage &storage, const std::vector<std::string> &words, std::ostream &out,
                       std::ostream &err) {
    auto member = named_member(storage, words[2]);
    if (!member) {
        err << "tolvar-service: no member " << words[2] << '\n';
        return 1;
    }
    auto new_friend = is_mobile_number(words[3]) ? storage.member_by_number(words[3]) : std::nullopt;
    if (!new_friend) {
        err << "tolvar-service: " << words[3] << " is not a member's number (add it with: member add "
            << words[3] << ")\n";
        return 1;
    }
    if (new_friend->id == member->id) {
        err << "tolvar-service: a member is not their own friend\n";
        return 1;
    }
    bool added = storage.add_friend(member->id, new_friend->id);
    out << (added ? "friend added: " : "already a friend: ") << member->number << " -> " << new_friend->number
        << " (" << new_friend->id << ")\n";
    return 0;
}

}  // namespace

int run_admin_command(Storage &storage, const std::vector<std::string> &words, int64_t now, std::ostream &out,
                      std::ostream &err) {
    try {
        if (words.size() == 1 && words[0] == "members") return list_members(storage, out), 0;
        if (words.size() == 1 && words[0] == "calls") return list_calls(storage, out), 0;
        if (words.size() == 1 && words[0] == "messages") return list_messages(storage, out), 0;
        if ((words.size() == 3 || words.size() == 4) && words[0] == "member" && words[1] == "add")
            return add_member(storage, words, now, out, err);
        if (words.size() == 4 && words[0] == "friend" && words[1] == "add")
            return add_friend_command(storage, words, out, err);
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
