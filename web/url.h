// Cutting an address into the host, the path (with its query) and the port,
// by plain text searches, as the web access routine needs them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar::web {

// The host in lower case: every "https://" and then every "http://" removed,
// cut at the first "/", then at the first ":".
std::string url_host(std::string_view address);
// From the first "/" after the host's first occurrence (case ignored) behind
// the scheme's "://" (the whole text when there is no "://") to the end, query
// included; "/" when there is none.
std::string url_path(std::string_view address);
// The number after the first ":" of the authority, 80 when there is no ":".
// An "https://" address has the authority "https:" and so gives 0; a port text
// that is no number gives 0. A number outside 0..65535 is returned as it is
// (beyond the 32-bit range: INT32_MAX or INT32_MIN): it names no port, and the
// web access routine fails on it.
int32_t url_port(std::string_view address);

}  // namespace tolvar::web
