// The process-wide cookie store of the wininet stand-in: one libcurl share
// handle that every request uses, fed by replies and by InternetSetCookieA, and
// the per-user file that keeps persistent cookies across runs.
//
// Session cookies live in memory only. The file is written only when the set
// of persistent cookies changed, atomically (a temporary file, synced, renamed
// over the old one), and never once per cookie: cookies stored by
// InternetSetCookieA wait in a list and are settled together, before the next
// request is sent, when the event loop next runs, or at exit.
#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>

namespace tolvar::wininet {

// The share handle every request attaches to (made on first use, with the
// persistent cookies of earlier runs loaded).
CURLSH *cookie_share();

// InternetSetCookieA: the cookie as cookie_record() reads it, queued for the
// store. False when the address, the domain or the cookie does not fit.
bool set_cookie(const std::string &url, const std::string &name, const std::string &data);

// A reply's Set-Cookie line (its value, after the colon), which the engine
// stored by itself, for a request to `host`.
void reply_cookie(std::string_view host, std::string_view value);

// Moves the queued cookies into the store (the newest of each name, at most 50
// per domain, the oldest ones making room) and writes the file if the
// persistent cookies are no longer those it holds. Only session cookies for
// their own hosts, of names the file does not hold, with no domain past its
// limit, change neither: the store is then not listed.
void settle_cookies();

// The per-user cookie file: $XDG_DATA_HOME/Corvane/WinINet/cookies.txt.
std::string cookie_file();

}  // namespace tolvar::wininet
