// The program's one road to the network: a complete HTTP exchange through
// WinINet on the GUI thread, returning the reply body.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar::web {

inline constexpr int32_t kMethodGet = 0;
inline constexpr int32_t kMethodPost = 1;
inline constexpr int32_t kReplyAsIs = 0;
inline constexpr int32_t kReplyFromUtf8 = 1;
inline constexpr int32_t kReplyFromBig5 = 2;

// A body is read up to this size; a longer one breaks the read off.
inline constexpr size_t kMaxBody = 32u << 20;

using Bytes = std::vector<uint8_t>;

// `address` and `extra_headers` are the caller's variables: `address` comes
// back trimmed and completed with "http://", `extra_headers` with the default
// header lines appended. Every failure gives an empty body: a handle that
// cannot be opened, a failed send, and an exchange that broke off (a failed
// read: reset, broken chunk, time-out; a body beyond kMaxBody), whatever part
// of its body had come. An access method other than 0 (GET) or 1 (POST) shows
// the reminder box and sends nothing.
Bytes 网页_访问(std::string &address, int32_t 访问方式 = kMethodGet, const std::string &proxy = {},
             std::string *extra_headers = nullptr, const std::string &post_data = {},
             int32_t reply_conversion = kReplyAsIs);

// Whether the last exchange of 网页_访问 failed, as opposed to a reply that
// came in whole (an empty one included). Asked right after the call: an
// exchange nested inside it has ended by then.
bool last_exchange_failed();

}  // namespace tolvar::web
