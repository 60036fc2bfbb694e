// The storage operations in SQL that SQLite and PostgreSQL both run: $N
// placeholders, ON CONFLICT, RETURNING, CASE instead of two-argument MAX.
// Each operation takes one connection; one that reads and then writes runs
// in a write transaction and takes the engine's lock on what it checks first.
#include "server/storage/storage.h"

#include <algorithm>

#include "server/storage/schema_upgrade.h"

namespace tolvar::server {

using namespace storage;

namespace {

// One per request thread of the service.
constexpr size_t most_connections = 32;
// A transaction that lost a race on PostgreSQL (serialization failure,
// deadlock) is run again from its start, at most this many times in all.
constexpr int most_attempts = 5;

std::unique_ptr<Engine> engine_for(const std::string &address) {
    if (is_postgresql_address(address)) return postgresql_engine(address);
    return sqlite_engine(address);
}

MemberView member_from(const SqlRow &row) { return MemberView{row.integer(0), row.text(1), row.integer(2)}; }

std::optional<MemberView> find_member_by_number(SqlConnection &c, std::string_view number) {
    std::optional<MemberView> member;
    c.run("SELECT id, number, minutes FROM members WHERE number = $1", {number},
          [&](const SqlRow &row) { member = member_from(row); });
    return member;
}

// Inside the caller's write transaction.
std::optional<Registration> register_in(SqlConnection &c, std::string_view number,
                                        const std::optional<std::string> &referrer, int64_t minutes, int64_t now) {
    if (auto existing = find_member_by_number(c, number)) return Registration{*existing, false, std::nullopt};
    auto id = c.next_member_id();
    if (!id) return std::nullopt;
    // Another instance may register the same number at this moment: the
    // unique number decides, and the loser finds the winner's member.
    if (execute(c,
                "INSERT INTO members (id, number, referrer, minutes, registered_at) VALUES ($1, $2, $3, $4, $5)"
                " ON CONFLICT (number) DO NOTHING",
                {*id, number, referrer, minutes, now}) == 0) {
        if (auto existing = find_member_by_number(c, number)) return Registration{*existing, false, std::nullopt};
        throw StorageError("the member " + std::string(number) + " was neither added nor found");
    }
    return Registration{MemberView{*id, std::string(number), minutes}, true, referrer};
}

int64_t count(SqlConnection &c, const char *sql, SqlValues values) { return first_integer(c, sql, values).value_or(0); }

}  // namespace

template <class Work>
auto Storage::in_transaction(Work work) {
    for (int attempt = 1;; ++attempt) {
        auto c = pool_.lease();
        try {
            WriteTransaction tx(*c);
            auto result = work(*c);
            tx.commit();
            return result;
        } catch (const StorageError &e) {
            if (!e.retry() || attempt == most_attempts) throw;
        }
    }
}

template <class Work>
auto Storage::on_connection(Work work) {
    auto c = pool_.lease();
    return work(*c);
}

Storage::Storage(const std::string &address)
    : engine_(engine_for(address)), description_(engine_->description()),
      pool_([engine = engine_.get()] { return engine->connect(); }, most_connections) {
    auto c = pool_.lease();
    upgrade_schema(*c, engine_->schema());
}

Storage::~Storage() = default;

int Storage::schema_version() {
    return on_connection([](SqlConnection &c) { return static_cast<int>(current_schema_version(c)); });
}

// --- Members

std::optional<MemberView> Storage::member_by_id(int64_t id) {
    return on_connection([&](SqlConnection &c) {
        std::optional<MemberView> member;
        c.run("SELECT id, number, minutes FROM members WHERE id = $1", {id},
              [&](const SqlRow &row) { member = member_from(row); });
        return member;
    });
}

std::optional<MemberView> Storage::member_by_number(std::string_view number) {
    return on_connection([&](SqlConnection &c) { return find_member_by_number(c, number); });
}

std::optional<Registration> Storage::register_member(std::string_view number,
                                                     const std::optional<std::string> &referrer, int64_t minutes,
                                                     int64_t now) {
    return in_transaction([&](SqlConnection &c) { return register_in(c, number, referrer, minutes, now); });
}

// --- Voice codes

bool Storage::ring_voice_code(const VoiceCodeRing &ring, const VoiceCodeLimits &limits) {
    return in_transaction([&](SqlConnection &c) {
        // Always the number first, then the network: two rings never wait for
        // each other's locks the other way round.
        c.lock(LockKind::voice_number, ring.number);
        c.lock(LockKind::voice_network, ring.network);
        if (count(c, "SELECT COUNT(*) FROM voice_requests WHERE number = $1 AND requested_at > $2",
                  {ring.number, ring.now - limits.number_window}) >= limits.per_number)
            return false;
        if (count(c, "SELECT COUNT(*) FROM voice_requests WHERE address = $1 AND requested_at > $2",
                  {ring.network, ring.now - limits.network_window}) >= limits.per_network)
            return false;
        execute(c, "DELETE FROM voice_requests WHERE requested_at <= $1",
                {ring.now - std::max(limits.number_window, limits.network_window)});
        execute(c, "INSERT INTO voice_requests (number, address, requested_at) VALUES ($1, $2, $3)",
                {ring.number, ring.network, ring.now});
        execute(c,
                "INSERT INTO voice_codes (number, code, referrer, expires_at, wrong_attempts)"
                " VALUES ($1, $2, $3, $4, 0)"
                " ON CONFLICT (number) DO UPDATE SET code = excluded.code, referrer = excluded.referrer,"
                " expires_at = excluded.expires_at, wrong_attempts = 0",
                {ring.number, ring.code, ring.referrer, ring.expires_at});
        return true;
    });
}

std::optional<Registration> Storage::confirm_voice_code(std::string_view number, std::string_view typed, int64_t now,
                                                        int64_t most_wrong, int64_t minutes) {
    struct Code {
        std::string code;
        std::optional<std::string> referrer;
        int64_t expires_at = 0, wrong_attempts = 0;
    };
    // The code is read after the lock, so two confirmations of one number are
    // judged one after the other and every wrong attempt is counted.
    return in_transaction([&](SqlConnection &c) -> std::optional<Registration> {
        c.lock(LockKind::voice_number, number);
        std::optional<Code> stored;
        c.run("SELECT code, referrer, expires_at, wrong_attempts FROM voice_codes WHERE number = $1", {number},
              [&](const SqlRow &row) {
                  stored = Code{row.text(0), row.is_null(1) ? std::nullopt : std::optional(row.text(1)),
                                row.integer(2), row.integer(3)};
              });
        if (!stored) return std::nullopt;
        // A code with its wrong attempts used up (a lower limit set since) is void.
        if (now >= stored->expires_at || stored->wrong_attempts >= most_wrong) {
            execute(c, "DELETE FROM voice_codes WHERE number = $1", {number});
            return std::nullopt;
        }
        if (typed != stored->code) {
            if (stored->wrong_attempts + 1 >= most_wrong)
                execute(c, "DELETE FROM voice_codes WHERE number = $1", {number});
            else
                execute(c, "UPDATE voice_codes SET wrong_attempts = wrong_attempts + 1 WHERE number = $1", {number});
            return std::nullopt;
        }
        auto registration = register_in(c, number, stored->referrer, minutes, now);
        // With the ids used up the code stays, for a later try.
        if (registration) execute(c, "DELETE FROM voice_codes WHERE number = $1", {number});
        return registration;
    });
}

// --- Sessions

std::optional<SessionRecord> Storage::find_session(std::string_view token, int64_t now) {
    return on_connection([&](SqlConnection &c) {
        std::optional<SessionRecord> session;
        c.run("SELECT member_id, expires_at FROM sessions WHERE token = $1 AND expires_at > $2", {token, now},
              [&](const SqlRow &row) {
                  session = SessionRecord{row.is_null(0) ? std::nullopt : std::optional(row.integer(0)),
                                          row.integer(1)};
              });
        return session;
    });
}

void Storage::extend_session(std::string_view token, int64_t expires_at) {
    on_connection([&](SqlConnection &c) {
        return execute(c, "UPDATE sessions SET expires_at = $2 WHERE token = $1", {token, expires_at});
    });
}

void Storage::open_session(std::string_view token, int64_t expires_at, int64_t now) {
    on_connection([&](SqlConnection &c) {
        execute(c, "DELETE FROM sessions WHERE expires_at <= $1", {now});
        return execute(c, "INSERT INTO sessions (token, expires_at) VALUES ($1, $2)", {token, expires_at});
    });
}

void Storage::set_captcha(std::string_view token, std::string_view code, int64_t expires_at) {
    on_connection([&](SqlConnection &c) {
        return execute(c, "UPDATE sessions SET captcha = $2, captcha_expires_at = $3 WHERE token = $1",
                       {token, code, expires_at});
    });
}

bool Storage::use_captcha(std::string_view token, std::string_view typed, int64_t now) {
    return on_connection([&](SqlConnection &c) {
        // One statement decides, so two attempts at once cannot both use the code.
        bool right = !typed.empty() &&
                     execute(c,
                             "UPDATE sessions SET captcha = NULL, captcha_expires_at = NULL"
                             " WHERE token = $1 AND captcha = $2 AND captcha_expires_at > $3",
                             {token, typed, now}) == 1;
        if (!right)
            execute(c, "UPDATE sessions SET captcha = NULL, captcha_expires_at = NULL WHERE token = $1", {token});
        return right;
    });
}

void Storage::log_in(std::string_view token, int64_t member_id, int64_t expires_at) {
    on_connection([&](SqlConnection &c) {
        return execute(c, "UPDATE sessions SET member_id = $2, expires_at = $3 WHERE token = $1",
                       {token, member_id, expires_at});
    });
}

// --- Minutes and calls

void Storage::issue_claim_token(std::string_view token, int64_t member_id, int64_t expires_at, int64_t now) {
    on_connection([&](SqlConnection &c) {
        execute(c, "DELETE FROM claim_tokens WHERE expires_at <= $1", {now});
        return execute(c, "INSERT INTO claim_tokens (token, member_id, expires_at) VALUES ($1, $2, $3)",
                       {token, member_id, expires_at});
    });
}

ClaimOutcome Storage::claim_weekly_minutes(std::string_view token, int64_t member_id, int64_t week, int64_t minutes,
                                           int64_t now) {
    return in_transaction([&](SqlConnection &c) {
        // Deleting the token decides who used it; the week's row decides
        // whether it is the first claim of the week.
        if (execute(c, "DELETE FROM claim_tokens WHERE token = $1 AND member_id = $2 AND expires_at > $3",
                    {token, member_id, now}) == 0)
            return ClaimOutcome::not_valid;
        if (execute(c, "INSERT INTO weekly_claims (member_id, week, claimed_at) VALUES ($1, $2, $3) ON CONFLICT DO NOTHING",
                    {member_id, week, now}) == 0)
            return ClaimOutcome::already_claimed;
        execute(c, "UPDATE members SET minutes = minutes + $2 WHERE id = $1", {member_id, minutes});
        return ClaimOutcome::granted;
    });
}

std::optional<MemberView> Storage::charge_call(int64_t member_id, std::string_view number, std::string_view address,
                                               int64_t minutes, int64_t now) {
    return in_transaction([&](SqlConnection &c) {
        std::optional<MemberView> member;
        c.run("UPDATE members SET minutes = CASE WHEN minutes > $2 THEN minutes - $2 ELSE 0 END"
              " WHERE id = $1 AND minutes > 0 RETURNING id, number, minutes",
              {member_id, minutes}, [&](const SqlRow &row) { member = member_from(row); });
        if (member)
            execute(c, "INSERT INTO calls (member_id, number, address, placed_at) VALUES ($1, $2, $3, $4)",
                    {member_id, number, address, now});
        return member;
    });
}

// --- Friends and messages

std::vector<FriendEntry> Storage::friends_of(int64_t member_id) {
    return on_connection([&](SqlConnection &c) {
        std::vector<FriendEntry> friends;
        c.run("SELECT f.id, f.number FROM members m JOIN members f ON f.referrer = m.number AND f.id <> m.id"
              " WHERE m.id = $1"
              " UNION"
              " SELECT f.id, f.number FROM friends a JOIN members f ON f.id = a.friend_id WHERE a.member_id = $1"
              " ORDER BY 1",
              {member_id}, [&](const SqlRow &row) { friends.push_back(FriendEntry{row.integer(0), row.text(1)}); });
        return friends;
    });
}

bool Storage::has_friend(int64_t member_id, int64_t friend_id, std::string_view number) {
    return on_connection([&](SqlConnection &c) {
        return execute(c,
                       "SELECT 1 FROM members f WHERE f.id = $2 AND f.number = $3 AND f.id <> $1 AND ("
                       " f.referrer = (SELECT number FROM members WHERE id = $1)"
                       " OR EXISTS (SELECT 1 FROM friends WHERE member_id = $1 AND friend_id = $2))",
                       {member_id, friend_id, number}) > 0;
    });
}

bool Storage::add_friend(int64_t member_id, int64_t friend_id) {
    return on_connection([&](SqlConnection &c) {
        return execute(c, "INSERT INTO friends (member_id, friend_id) VALUES ($1, $2) ON CONFLICT DO NOTHING",
                       {member_id, friend_id}) == 1;
    });
}

void Storage::record_message(int64_t member_id, int64_t friend_id, std::string_view number, std::string_view body,
                             int64_t now) {
    on_connection([&](SqlConnection &c) {
        return execute(c,
                       "INSERT INTO messages (member_id, friend_id, number, body, sent_at) VALUES ($1, $2, $3, $4, $5)",
                       {member_id, friend_id, number, Bytes{body}, now});
    });
}

// --- Listings

void Storage::each_member(const std::function<void(const MemberListing &)> &f) {
    on_connection([&](SqlConnection &c) {
        return c.run("SELECT id, number, minutes, referrer, registered_at FROM members ORDER BY id", {},
                     [&](const SqlRow &row) {
                         f(MemberListing{row.integer(0), row.text(1), row.integer(2),
                                         row.is_null(3) ? std::nullopt : std::optional(row.text(3)), row.integer(4)});
                     });
    });
}

void Storage::each_call(const std::function<void(const CallListing &)> &f) {
    on_connection([&](SqlConnection &c) {
        return c.run("SELECT c.id, c.placed_at, c.member_id, m.number, c.number, c.address FROM calls c"
                     " JOIN members m ON m.id = c.member_id ORDER BY c.id",
                     {}, [&](const SqlRow &row) {
                         f(CallListing{row.integer(0), row.integer(1), row.integer(2), row.text(3), row.text(4),
                                       row.text(5)});
                     });
    });
}

void Storage::each_message(const std::function<void(const MessageListing &)> &f) {
    on_connection([&](SqlConnection &c) {
        return c.run("SELECT s.id, s.sent_at, m.number, s.number, s.friend_id, s.body FROM messages s"
                     " JOIN members m ON m.id = s.member_id ORDER BY s.id",
                     {}, [&](const SqlRow &row) {
                         f(MessageListing{row.integer(0), row.integer(1), row.text(2), row.text(3), row.integer(4),
                                          row.text(5)});
                     });
    });
}

}  // namespace tolvar::server
