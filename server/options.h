// How tolvar-service is told what to do: long options on the command line
// and, with --config FILE, lines "name = value" in a file, where the names are
// the long options without "--". The command line wins over the file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/settings.h"

namespace tolvar::server {

inline constexpr const char *default_listen_host = "127.0.0.1";
inline constexpr int default_listen_port = 8086;

struct ListenAddress {
    std::string host;
    int port = 0;

    bool operator==(const ListenAddress &) const = default;
};

struct Options {
    // Taken at start only: changing them needs a restart.
    ListenAddress listen{default_listen_host, default_listen_port};
    std::string database_path;  // a SQLite file, or postgresql://...
    std::string log_path;       // empty: standard error only
    int64_t connection_limit = 1024;  // connections open at once

    Settings settings;  // replaced on SIGHUP

    std::string config_path;            // empty: no file
    bool help = false;
    std::vector<std::string> command;   // admin command words; empty: serve
};

struct ParsedOptions {
    std::optional<Options> options;
    std::string error;  // set when options is empty; names the file's line
};

// "ADDRESS:PORT" or "[IPv6]:PORT"; port 0 lets the system choose.
std::optional<ListenAddress> parse_listen_address(std::string_view text);

// $XDG_DATA_HOME/tolvar-service/tolvar.db, else ~/.local/share/tolvar-service/tolvar.db.
std::string default_database_path(const char *xdg_data_home, const char *home);

// Reads the arguments after the program name and the file that --config
// names; the environment gives the default database path.
ParsedOptions parse_options(const std::vector<std::string> &arguments);

std::string usage_text();

}  // namespace tolvar::server
