// The friend file "hao.txt" beside the program: one line per friend, the
// mobile number, ",", the friend id, CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::service {

struct FriendEntry {
    std::string number;  // the item's text
    int32_t id = 0;      // the item's value
};

// A friend file or friend page beyond this many bytes is damaged: the
// entries of its first kMostFriendBytes are kept, the rest is ignored.
inline constexpr size_t kMostFriendBytes = 4u << 20;

// The file's whole text (up to a zero byte), or the lines within its first
// kMostFriendBytes (said once on standard error); empty when it is missing or
// unreadable.
std::string read_friend_file();
// Replaces the file with `content` at once; a write that fails leaves the old file.
bool replace_friend_file(std::string_view content);

// The entries of a friend file's text, in order: each CR LF-ended line cut at
// ",", field 1 the number, field 2 the id as a whole number (0 when it is
// none). A line without a comma, the empty piece after the last CR LF among
// them, carries no entry.
std::vector<FriendEntry> friend_file_entries(std::string_view text);

// `text` cut to `most` bytes at the end of its last whole line within them
// (false: it was not longer and stays as it is).
bool cut_to_whole_lines(std::string &text, size_t most);

}  // namespace tolvar::service
