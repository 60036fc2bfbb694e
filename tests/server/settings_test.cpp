// The operator's settings: the --config file and the command line over it,
// errors that name the line, SIGHUP that reads the file again while the
// service runs, standard error as the log without --log, SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "server/options.h"
#include "tests/server/service_harness.h"

using namespace tolvar::server;
using namespace tolvar::test;

namespace {

// Polls `path` until it holds `pattern`; the first group of the last match.
std::string wait_for(const std::filesystem::path &path, const std::string &pattern, int tries = 500) {
    std::regex re(pattern);
    for (int i = 0; i < tries; ++i) {
        std::string text = read_file(path), last;
        for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m) last = (*m)[1];
        if (!last.empty()) return last;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

size_t count_of(const std::string &text, const std::string &part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(ServiceSettings, TheFileSetsEveryOptionByItsLongNameAndTheCommandLineWins) {
    ScratchDir dir;
    std::string file = (dir.path() / "tolvar-service.conf").string();
    write_file(file,
               "# the service on the office network\n"
               "\n"
               "listen = 0.0.0.0:9000\n"
               "db = /var/lib/tolvar-service/tolvar.db\n"
               "  log=/var/log/tolvar-service.log  \n"
               "verbose = no\n"
               "trusted-proxy = 10.0.0.1\n"
               "trusted-proxy = ::1\n"
               "call-shapes = mobile, any\n"
               "voice-calls-per-number = 2\n"
               "voice-calls-per-network = 7\n"
               "header-bytes = 8192\n"
               "header-lines = 50\n"
               "request-timeout = 4\n"
               "connections-per-network = 0\n"
               "connection-limit = 300\n");
    ParsedOptions parsed = parse_options({"--config", file});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const Options &o = *parsed.options;
    EXPECT_EQ((ListenAddress{"0.0.0.0", 9000}), o.listen);
    EXPECT_EQ("/var/lib/tolvar-service/tolvar.db", o.database_path);
    EXPECT_EQ("/var/log/tolvar-service.log", o.log_path);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1", "::1"}), o.settings.trusted_proxies);
    EXPECT_EQ(unsigned(call_shape_mobile | call_shape_any), o.settings.call_shapes);
    EXPECT_EQ(2, o.settings.voice_calls_per_number);
    EXPECT_EQ(7, o.settings.voice_calls_per_network);
    EXPECT_EQ(8192, o.settings.header_bytes);
    EXPECT_EQ(50, o.settings.header_lines);
    EXPECT_EQ(4, o.settings.request_timeout);
    EXPECT_EQ(0, o.settings.connections_per_network);
    EXPECT_EQ(300, o.connection_limit);

    // The command line over the file, wherever --config stands in it.
    ParsedOptions over = parse_options({"--listen", "127.0.0.1:1", "--config", file, "--trusted-proxy", "10.9.9.9",
                                        "--verbose", "--voice-calls-per-number", "5"});
    ASSERT_TRUE(over.options) << over.error;
    EXPECT_EQ((ListenAddress{"127.0.0.1", 1}), over.options->listen);
    EXPECT_EQ(std::vector<std::string>{"10.9.9.9"}, over.options->settings.trusted_proxies);
    EXPECT_TRUE(over.options->settings.verbose);
    EXPECT_EQ(5, over.options->settings.voice_calls_per_number);
    EXPECT_EQ(7, over.options->settings.voice_calls_per_network);

    const Settings defaults;
    EXPECT_EQ(unsigned(call_shape_mobile | call_shape_domestic), defaults.call_shapes);
    EXPECT_EQ(16 * 1024, defaults.header_bytes);
    EXPECT_EQ(100, defaults.header_lines);
}

TEST(ServiceSettings, ABadFileIsRefusedNamingItsLine) {
    ScratchDir dir;
    std::string file = (dir.path() / "bad.conf").string();
    auto error_for = [&](const std::string &content) {
        write_file(file, content);
        ParsedOptions parsed = parse_options({"--config", file});
        return parsed.options ? std::string() : parsed.error;
    };
    EXPECT_EQ(file + ":2: no setting named \"listne\"", error_for("# x\nlistne = 1.2.3.4:5\n"));
    EXPECT_EQ(file + ":1: not a line \"name = value\"", error_for("verbose\n"));
    EXPECT_EQ(file + ":3: header-lines needs a whole number from 10 to 200", error_for("\n\nheader-lines = 5\n"));
    EXPECT_TRUE(contains(error_for("trusted-proxy = proxy.example\n"), ":1: trusted-proxy needs"));
    EXPECT_TRUE(contains(error_for("call-shapes = mobile, satellite\n"), ":1: call-shapes needs"));
    EXPECT_TRUE(contains(error_for("config = other.conf\n"), ":1: no setting named \"config\""));
    EXPECT_TRUE(contains(error_for("listen = 1.2.3.4:80 # the office\n"), ":1: listen needs"));
    EXPECT_FALSE(parse_options({"--config", (dir.path() / "missing.conf").string()}).options);
    EXPECT_FALSE(parse_options({"--config"}).options);
    EXPECT_FALSE(parse_options({"--request-timeout", "0"}).options);

    // The program refuses to start on it, naming the line.
    write_file(file, "listen = 127.0.0.1:0\nvoice-calls-per-network = lots\n");
    ProcessResult r = run_process({TOLVAR_SERVICE, "--config", file, "--db", (dir.path() / "t.db").string()});
    EXPECT_EQ(2, r.status);
    EXPECT_TRUE(contains(r.err, file + ":2: voice-calls-per-network needs")) << r.err;
}

TEST(ServiceSettings, SighupReadsTheFileAgainAndKeepsTheOldSettingsWhenItIsBad) {
    ScratchDir dir;
    std::string file = (dir.path() / "tolvar-service.conf").string();
    std::filesystem::path log = dir.path() / "service.log";
    write_file(file, "listen = 127.0.0.1:0\nlog = " + log.string() + "\ndb = " + (dir.path() / "t.db").string() + "\n");
    ProcessResult result = run_process({TOLVAR_SERVICE, "--config", file}, {}, [&](pid_t pid) {
        int port = std::stoi("0" + wait_for(log, "listening on http://127\\.0\\.0\\.1:([0-9]+)"));
        ASSERT_GT(port, 0);
        auto captcha = [&] { round_trip(port, client_request("GET", "x", "/verifycode.php")); };
        captcha();
        EXPECT_FALSE(contains(read_file(log), "captcha code: "));  // not verbose

        write_file(file, read_file(file) + "verbose = yes\nlisten = 127.0.0.1:1\n");
        kill(pid, SIGHUP);
        EXPECT_FALSE(wait_for(log, "(settings reloaded from )").empty());
        EXPECT_TRUE(contains(read_file(log), "the listening address changes at the next start"));
        captcha();
        EXPECT_FALSE(wait_for(log, "captcha code: ([0-9]{4})").empty());

        write_file(file, "verbose = no\nheader-lines = many\n");
        kill(pid, SIGHUP);
        EXPECT_FALSE(wait_for(log, "(settings not reloaded, the old ones stay: )").empty());
        EXPECT_TRUE(contains(read_file(log), file + ":2: header-lines needs"));
        captcha();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(2u, count_of(read_file(log), "captcha code: "));  // still verbose
        kill(pid, SIGTERM);
    });
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_TRUE(contains(read_file(log), "stopping"));
}

TEST(ServiceSettings, WithoutALogFileTheLogGoesToStandardErrorOneLinePerEvent) {
    ScratchDir dir;
    // A port free a moment ago; the service is stopped once it answers there.
    int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    ASSERT_EQ(0, bind(probe, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
    getsockname(probe, reinterpret_cast<sockaddr *>(&addr), &size);
    close(probe);
    int port = ntohs(addr.sin_port);
    ProcessResult result = run_process(
        {TOLVAR_SERVICE, "--listen", "127.0.0.1:" + std::to_string(port), "--db", (dir.path() / "t.db").string()}, {},
        [&](pid_t pid) {
            for (int i = 0; i < 500 && round_trip(port, client_request("GET", "x", "/ip.php")).status != 200; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            kill(pid, SIGTERM);
        });
    EXPECT_EQ(0, result.status);
    EXPECT_TRUE(std::regex_search(result.err, std::regex("^\\[[0-9: -]+\\] tolvar-service listening on http://127\\.0\\.0"
                                                         "\\.1:[0-9]+ \\(database .*t\\.db\\)\n\\[[0-9: -]+\\] stopping\n$")))
        << result.err;
}
