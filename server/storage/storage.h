// The service's storage: every operation the features need, named for what
// it means, each one complete and exact on its own however many requests and
// service instances run it at once. The operations are written once in SQL
// both engines understand; the engine (a SQLite file or a PostgreSQL
// database, chosen by the address) adds its connection, its form of the
// tables and its way of making a check and a write one step.
//
// Policy (lifetimes, limits, minutes granted) is the caller's: it comes in
// as values, so the same operation serves whatever the operator sets.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/storage/connection_pool.h"
#include "server/storage/engine.h"
#include "server/storage/records.h"

namespace tolvar::server {

using storage::StorageError;

class Storage {
public:
    // `address`: postgresql://... (or postgres://...) for PostgreSQL, else the
    // path of a SQLite file. Creates or upgrades the tables before it returns;
    // a database of a newer schema than this program knows is refused.
    explicit Storage(const std::string &address);
    ~Storage();
    Storage(const Storage &) = delete;
    Storage &operator=(const Storage &) = delete;

    // Where the data is, for the log: a file path, or the PostgreSQL database
    // and host (never a password).
    const std::string &description() const { return description_; }
    // The schema version the database is at.
    int schema_version();

    // --- Members
    std::optional<MemberView> member_by_id(int64_t id);
    std::optional<MemberView> member_by_number(std::string_view number);
    // Makes `number` a member with a new 6-digit id and `minutes`; a number
    // that is a member already stays as it is. Empty when the ids are used up.
    std::optional<Registration> register_member(std::string_view number, const std::optional<std::string> &referrer,
                                                int64_t minutes, int64_t now);

    // --- Voice codes
    // Within the limits: records the ring and makes `ring.code` the number's
    // code (its wrong attempts counted from 0); false, and nothing changed,
    // when a limit refuses it. Rings of one number, or of one network, are
    // counted one after the other, never two at once.
    bool ring_voice_code(const VoiceCodeRing &ring, const VoiceCodeLimits &limits);
    // The number's code against `typed`: when right, the code is used up and
    // the number registered (`minutes` for a new member); when wrong, the
    // wrong attempt is counted and the `most_wrong`th voids the code; an
    // expired code is removed. Empty unless registered.
    std::optional<Registration> confirm_voice_code(std::string_view number, std::string_view typed, int64_t now,
                                                   int64_t most_wrong, int64_t minutes);

    // --- Sessions
    // A session that has not expired.
    std::optional<SessionRecord> find_session(std::string_view token, int64_t now);
    void extend_session(std::string_view token, int64_t expires_at);
    // A new session without a member; expired sessions are removed.
    void open_session(std::string_view token, int64_t expires_at, int64_t now);
    void set_captcha(std::string_view token, std::string_view code, int64_t expires_at);
    // Whether `typed` is the session's captcha and still valid; the captcha is
    // used up either way, and only one of several attempts at once can win.
    bool use_captcha(std::string_view token, std::string_view typed, int64_t now);
    void log_in(std::string_view token, int64_t member_id, int64_t expires_at);

    // --- Minutes and calls
    // A single-use token for the member's weekly claim; expired tokens are removed.
    void issue_claim_token(std::string_view token, int64_t member_id, int64_t expires_at, int64_t now);
    // Uses up the member's token and adds `minutes` once per `week`.
    ClaimOutcome claim_weekly_minutes(std::string_view token, int64_t member_id, int64_t week, int64_t minutes,
                                      int64_t now);
    // Takes `minutes` (never below 0) from a member who has any left and
    // records the call; the member afterwards, or empty when none were left.
    std::optional<MemberView> charge_call(int64_t member_id, std::string_view number, std::string_view address,
                                          int64_t minutes, int64_t now);

    // --- Friends and messages
    // The members `member_id` referred and those the operator added, by id.
    std::vector<FriendEntry> friends_of(int64_t member_id);
    // Whether the member has the friend with that id and number.
    bool has_friend(int64_t member_id, int64_t friend_id, std::string_view number);
    // Shows `friend_id` in the member's list; false when it was there already.
    bool add_friend(int64_t member_id, int64_t friend_id);
    void record_message(int64_t member_id, int64_t friend_id, std::string_view number, std::string_view body,
                        int64_t now);

    // --- Listings for the operator, oldest first, one row at a time
    void each_member(const std::function<void(const MemberListing &)> &f);
    void each_call(const std::function<void(const CallListing &)> &f);
    void each_message(const std::function<void(const MessageListing &)> &f);

private:
    // `work` on a connection of the pool, inside a write transaction that
    // commits when it returns (run again when it lost a race on PostgreSQL).
    template <class Work>
    auto in_transaction(Work work);
    // `work` on a connection of the pool, each statement committed on its own.
    template <class Work>
    auto on_connection(Work work);

    std::unique_ptr<storage::Engine> engine_;
    std::string description_;
    storage::ConnectionPool pool_;
};

}  // namespace tolvar::server
