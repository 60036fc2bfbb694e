// The records the storage hands to the service's features and takes from
// them: plain data, no engine in sight. Times are seconds since the epoch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar::server {

// Member ids are 6 digits.
inline constexpr int64_t first_member_id = 100000, last_member_id = 999999;

struct MemberView {
    int64_t id = 0;
    std::string number;
    int64_t minutes = 0;
};

struct FriendEntry {
    int64_t id = 0;
    std::string number;
};

struct Registration {
    MemberView member;
    bool created = false;  // false: the number was a member already
    std::optional<std::string> referrer;  // of a member just created
};

struct SessionRecord {
    std::optional<int64_t> member_id;  // set once logged in
    int64_t expires_at = 0;
};

// A voice code to ring a number with, and who asked for it.
struct VoiceCodeRing {
    std::string_view number;
    std::string_view code;
    std::optional<std::string> referrer;
    std::string_view network;  // the client's address or network the per-network limit counts
    int64_t now = 0;
    int64_t expires_at = 0;
};

// Rings allowed: per number within `number_window` seconds, per client
// network within `network_window` seconds.
struct VoiceCodeLimits {
    int64_t per_number = 0, number_window = 0;
    int64_t per_network = 0, network_window = 0;
};

enum class ClaimOutcome {
    not_valid,        // the token is unknown, used, expired or another member's
    granted,          // the token is used up and the minutes are added
    already_claimed,  // the token is used up; this week's minutes were claimed before
};

// The rows the operator lists.
struct MemberListing {
    int64_t id = 0;
    std::string number;
    int64_t minutes = 0;
    std::optional<std::string> referrer;
    int64_t registered_at = 0;
};

struct CallListing {
    int64_t id = 0;
    int64_t placed_at = 0;
    int64_t member_id = 0;
    std::string member_number;
    std::string number;
    std::string address;
};

struct MessageListing {
    int64_t id = 0;
    int64_t sent_at = 0;
    std::string member_number;
    std::string number;
    int64_t friend_id = 0;
    std::string body;  // GBK bytes as they arrived
};

}  // namespace tolvar::server
