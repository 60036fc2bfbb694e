#include "server/options.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <set>

#include "server/client_address.h"

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

namespace {

using Error = std::optional<std::string>;

Error whole_number(const std::string &text, int64_t low, int64_t high, int64_t &out) {
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    out = value;
    return std::nullopt;
}

Error yes_or_no(const std::string &text, bool &out) {
    if (text == "yes" || text == "true" || text == "on" || text == "1") out = true;
    else if (text == "no" || text == "false" || text == "off" || text == "0") out = false;
    else return "yes or no";
    return std::nullopt;
}

Error call_shapes(const std::string &text, unsigned &out) {
    unsigned shapes = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = std::min(text.find(',', start), text.size());
        std::string word = text.substr(start, comma - start);
        while (!word.empty() && word.front() == ' ') word.erase(0, 1);
        while (!word.empty() && word.back() == ' ') word.pop_back();
        if (word == "mobile") shapes |= call_shape_mobile;
        else if (word == "domestic") shapes |= call_shape_domestic;
        else if (word == "any") shapes |= call_shape_any;
        else return "a list of mobile, domestic, any";
        start = comma + 1;
    }
    out = shapes;
    return std::nullopt;
}

struct Rule {
    const char *name;
    const char *value_name;  // nullptr: a flag on the command line
    bool in_file;
    bool repeatable;
    Error (*apply)(Options &, const std::string &);
};

const Rule rules[] = {
    {"listen", "ADDRESS:PORT", true, false,
     [](Options &o, const std::string &v) -> Error {
         auto listen = parse_listen_address(v);
         if (!listen) return "ADDRESS:PORT";
         o.listen = *listen;
         return std::nullopt;
     }},
    {"db", "DATABASE", true, false,
     [](Options &o, const std::string &v) -> Error {
         if (v.empty()) return "a file name or a postgresql:// address";
         o.database_path = v;
         return std::nullopt;
     }},
    {"log", "FILE", true, false,
     [](Options &o, const std::string &v) -> Error {
         if (v.empty()) return "a file name";
         o.log_path = v;
         return std::nullopt;
     }},
    {"verbose", nullptr, true, false,
     [](Options &o, const std::string &v) { return yes_or_no(v, o.settings.verbose); }},
    {"trusted-proxy", "ADDRESS", true, true,
     [](Options &o, const std::string &v) -> Error {
         if (!is_ip_address(v)) return "a numeric IPv4 or IPv6 address";
         o.settings.trusted_proxies.push_back(v);
         return std::nullopt;
     }},
    {"call-shapes", "LIST", true, false,
     [](Options &o, const std::string &v) { return call_shapes(v, o.settings.call_shapes); }},
    {"voice-calls-per-number", "N", true, false,
     [](Options &o, const std::string &v) { return whole_number(v, 1, 1000000, o.settings.voice_calls_per_number); }},
    {"voice-calls-per-network", "N", true, false,
     [](Options &o, const std::string &v) {
         return whole_number(v, 1, 1000000, o.settings.voice_calls_per_network);
     }},
    {"header-bytes", "N", true, false,
     [](Options &o, const std::string &v) { return whole_number(v, 1024, 16 * 1024, o.settings.header_bytes); }},
    {"header-lines", "N", true, false,
     [](Options &o, const std::string &v) { return whole_number(v, 10, 200, o.settings.header_lines); }},
    {"request-timeout", "SECONDS", true, false,
     [](Options &o, const std::string &v) { return whole_number(v, 1, 3600, o.settings.request_timeout); }},
    {"connections-per-network", "N", true, false,
     [](Options &o, const std::string &v) {
         return whole_number(v, 0, 100000, o.settings.connections_per_network);
     }},
    {"connection-limit", "N", true, false,
     [](Options &o, const std::string &v) { return whole_number(v, 1, 100000, o.connection_limit); }},
    {"config", "FILE", false, false,
     [](Options &o, const std::string &v) -> Error {
         if (v.empty()) return "a file name";
         o.config_path = v;
         return std::nullopt;
     }},
    {"help", nullptr, false, false,
     [](Options &o, const std::string &) -> Error {
         o.help = true;
         return std::nullopt;
     }},
};

const Rule *rule_named(std::string_view name) {
    for (const Rule &r : rules)
        if (name == r.name) return &r;
    return nullptr;
}

struct Setting {
    const Rule *rule;
    std::string value;
};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The file's settings applied to `options`; an error names the line.
std::optional<std::string> apply_file(const std::string &path, Options &options) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read the settings file " + path;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string where = path + ":" + std::to_string(number) + ": ";
        std::string_view text = trimmed(line);
        if (text.empty() || text.front() == '#') continue;
        size_t equals = text.find('=');
        if (equals == std::string_view::npos) return where + "not a line \"name = value\"";
        std::string name(trimmed(text.substr(0, equals)));
        std::string value(trimmed(text.substr(equals + 1)));
        const Rule *rule = rule_named(name);
        if (!rule || !rule->in_file) return where + "no setting named \"" + name + "\"";
        if (Error e = rule->apply(options, value)) return where + name + " needs " + *e;
        if (number > 100000) return where + "too many lines";
    }
    if (in.bad()) return "cannot read the settings file " + path;
    return std::nullopt;
}

}  // namespace

ParsedOptions parse_options(const std::vector<std::string> &arguments) {
    Options options;
    options.database_path = default_database_path(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    std::vector<Setting> given;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &a = arguments[i];
        if (a == "-h") {
            given.push_back({rule_named("help"), ""});
            continue;
        }
        if (!a.starts_with("-")) {
            options.command.push_back(a);
            continue;
        }
        const Rule *rule = a.starts_with("--") ? rule_named(std::string_view(a).substr(2)) : nullptr;
        if (!rule) return {std::nullopt, "unknown option " + a};
        if (!rule->value_name) {
            given.push_back({rule, "yes"});
        } else if (i + 1 < arguments.size()) {
            given.push_back({rule, arguments[++i]});
        } else {
            return {std::nullopt, a + " needs " + rule->value_name};
        }
    }
    // The file first, then the command line over it.
    for (const Setting &s : given)
        if (std::string_view(s.rule->name) == "config")
            if (Error e = s.rule->apply(options, s.value)) return {std::nullopt, "--config needs " + *e};
    if (!options.config_path.empty())
        if (auto error = apply_file(options.config_path, options)) return {std::nullopt, *error};
    // A repeatable option given on the command line replaces the file's list.
    std::set<const Rule *> replaced;
    for (const Setting &s : given) {
        if (s.rule->repeatable && replaced.insert(s.rule).second) options.settings.trusted_proxies.clear();
        if (Error e = s.rule->apply(options, s.value))
            return {std::nullopt, std::string("--") + s.rule->name + " needs " + *e};
    }
    return {options, ""};
}

std::string usage_text() {
    return "usage: tolvar-service [--config FILE] [--listen ADDRESS:PORT] [--db DATABASE] [--log FILE] [--verbose]\n"
           "                      [--trusted-proxy ADDRESS]... [--call-shapes LIST] [LIMITS]\n"
           "       tolvar-service [--db DATABASE] COMMAND\n"
           "\n"
           "Serves the Tolvar client over HTTP (default 127.0.0.1:8086). Voice codes, calls\n"
           "and messages go to standard error and, with --log, to that file too; --verbose\n"
           "adds captcha codes and one line per request (for tests, never in a deployment).\n"
           "\n"
           "DATABASE is a SQLite file, by default $XDG_DATA_HOME/tolvar-service/tolvar.db\n"
           "(~/.local/share when unset), or a PostgreSQL connection URI such as\n"
           "postgresql:///tolvar or postgresql://tolvar@db.example/tolvar (keep passwords in\n"
           "~/.pgpass rather than in the URI). The tables are made or upgraded at start.\n"
           "\n"
           "Options (each also a line \"name = value\" of the --config file, without the\n"
           "dashes; the command line wins; SIGHUP reads the file again):\n"
           "  --trusted-proxy ADDRESS       a reverse proxy whose X-Forwarded-For is believed\n"
           "                                (repeatable; none by default)\n"
           "  --call-shapes LIST            numbers a call may go to: mobile (11 digits),\n"
           "                                domestic (7-12 digits from 0, never 00), any\n"
           "                                (3-20 digits, international too); default\n"
           "                                mobile,domestic\n"
           "  --voice-calls-per-number N    voice codes per number in 10 minutes (3)\n"
           "  --voice-calls-per-network N   voice codes per client network in an hour (20);\n"
           "                                a network is an IPv4 /24 or an IPv6 /64\n"
           "  --header-bytes N              largest request head, 1024 to 16384 (16384)\n"
           "  --header-lines N              most request header lines, 10 to 200 (100)\n"
           "  --request-timeout SECONDS     a request must arrive whole within this (10)\n"
           "  --connections-per-network N   connections open at once per network (64; 0: any)\n"
           "  --connection-limit N          connections open at once in all (1024; restart)\n"
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
