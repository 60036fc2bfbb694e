// The process-wide cookie store of the wininet stand-in: one libcurl share
// handle that every request uses, fed by replies and by InternetSetCookieA, and
// the per-user file that keeps persistent cookies across runs.
#pragma once

#include <curl/curl.h>

#include <string>

namespace tolvar::wininet {

// The share handle every request attaches to (made on first use, with the
// persistent cookies of earlier runs loaded).
CURLSH *cookie_share();

// InternetSetCookieA's meaning: the value ends at the first ';' of `data`;
// "domain=" (a leading dot dropped) must match the address's host; "path=" as
// given, else the address's path; "expires=" makes the cookie persistent, and
// a date in the past deletes it; other attributes are ignored. False when the
// address or the domain does not fit.
bool set_cookie(const std::string &url, const std::string &name, const std::string &data);

// Marks the store as changed by a reply, so the file is written again.
void cookies_changed();
// Writes the persistent cookies to the per-user file (mode 0600) if the store
// changed since the last write.
void save_cookies();

// The per-user cookie file: $XDG_DATA_HOME/Corvane/WinINet/cookies.txt.
std::string cookie_file();

}  // namespace tolvar::wininet
