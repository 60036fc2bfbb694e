// The internet support library: reading a web page. The page is fetched
// through the wininet stand-in functions the image's DLL commands are bound
// to, so it travels with the same process-wide cookie store as the program's
// own exchanges.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "abi/tolvar_abi.h"
#include "abi/win32.h"

namespace tolvar::kernel {

// A page address cut into what the connection and the request need.
struct PageAddress {
    std::string host;
    uint16_t port = INTERNET_DEFAULT_HTTP_PORT;
    std::string path;  // from the first "/" or "?" after the host, query included; "/" when none
};

// "http://host[:port][/path][?query]" (scheme in any letter case, or left
// out), blanks around it ignored. No value for another scheme, an empty host
// or a port that is not a number from 1 to 65535.
std::optional<PageAddress> page_address(std::string address);

// Command TOLVAR_LCMD_READ_PAGE: (address) -> byte set of the reply body.
tolvar_arg internet_command(uint32_t command, int32_t count, const tolvar_arg *args);

}  // namespace tolvar::kernel
