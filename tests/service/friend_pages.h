// Friend pages as the service writes them: each friend as its 6-digit id,
// "','" and its 11-digit number in a table row (44 bytes a friend).
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tolvar::test {

using FriendRows = std::vector<std::pair<std::string, std::string>>;  // (id, number)

inline std::string friend_page(const FriendRows &rows) {
    std::string page = "<html><body><table>\n";
    for (const auto &[id, number] : rows) page += "<tr><td>f('" + id + "','" + number + "')</td></tr>\n";
    return page + "</table></body></html>";
}

// `count` friends with ids from 100000 and numbers from 13900000000.
inline FriendRows numbered_friends(size_t count) {
    FriendRows rows;
    rows.reserve(count);
    char id[32], number[32];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(id, sizeof id, "%06zu", 100000 + i % 900000);
        std::snprintf(number, sizeof number, "139%08zu", i);
        rows.emplace_back(id, number);
    }
    return rows;
}

// The friend file's text for these rows: "number,id" CR LF each.
inline std::string friend_file_text(const FriendRows &rows) {
    std::string text;
    for (const auto &[id, number] : rows) text += number + "," + id + "\r\n";
    return text;
}

}  // namespace tolvar::test
