#include "server/options.h"

#include <charconv>
#include <cstdlib>

namespace tolvar::server {

std::optional<ListenAddress> parse_listen_address(std::string_view text) {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    std::string_view host = text.substr(0, colon), port_text = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty() || host.find_first_of("[]") != std::string_view::npos) return std::nullopt;
    int port = -1;
    auto [end, ec] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
    if (ec != std::errc() || end != port_text.data() + port_text.size() || port < 0 || port > 65535)
        return std::nullopt;
    return ListenAddress{std::string(host), port};
}

std::string default_database_path(const char *xdg_data_home, const char *home) {
    std::string base;
    if (xdg_data_home && *xdg_data_home == '/')
        base = xdg_data_home;
    else
        base = std::string(home && *home ? home : ".") + "/.local/share";
    return base + "/tolvar-service/tolvar.db";
}

ParsedOptions parse_options(const std::vector<std::string> &arguments) {
    Options options;
    options.database_path = default_database_path(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &a = arguments[i];
        auto value = [&]() -> const std::string * { return i + 1 < arguments.size() ? &arguments[++i] : nullptr; };
        if (a == "--listen") {
            const std::string *v = value();
            auto listen = v ? parse_listen_address(*v) : std::nullopt;
            if (!listen) return {std::nullopt, "--listen needs ADDRESS:PORT"};
            options.listen = *listen;
        } else if (a == "--db") {
            const std::string *v = value();
            if (!v || v->empty()) return {std::nullopt, "--db needs a file name or a postgresql:// address"};
            options.database_path = *v;
        } else if (a == "--log") {
            const std::string *v = value();
            if (!v || v->empty()) return {std::nullopt, "--log needs a file name"};
            options.log_path = *v;
        } else if (a == "--verbose") {
            options.verbose = true;
        } else if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a.starts_with("-")) {
            return {std::nullopt, "unknown option " + a};
        } else {
            options.command.push_back(a);
        }
    }
    return {options, ""};
}

std::string usage_text() {
    return "usage: tolvar-service [--listen ADDRESS:PORT] [--db DATABASE] [--log FILE] [--verbose]\n"
           "       tolvar-service [--db DATABASE] COMMAND\n"
           "\n"
           "Serves the Tolvar client over HTTP (default 127.0.0.1:8086). Voice codes, calls\n"
           "and messages go to the console and the log file; --verbose adds captcha codes\n"
           "and one line per request.\n"
           "\n"
           "DATABASE is a SQLite file, by default $XDG_DATA_HOME/tolvar-service/tolvar.db\n"
           "(~/.local/share when unset), or a PostgreSQL connection URI such as\n"
           "postgresql:///tolvar or postgresql://tolvar@db.example/tolvar (keep passwords in\n"
           "~/.pgpass rather than in the URI). The tables are made or upgraded at start.\n"
           "\n"
           "Commands on the database:\n"
           "  members                     list the members\n"
           "  calls                       list the calls placed\n"
           "  messages                    list the messages sent\n"
           "  member add NUMBER [REFERRER]  register a mobile number directly\n"
           "  friend add MEMBER NUMBER    show member NUMBER in MEMBER's friend list\n"
           "                              (MEMBER: member id or mobile number)\n";
}

}  // namespace tolvar::server
