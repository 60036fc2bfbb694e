// The tolvar-service program itself: it serves on the address it is given,
// logs voice codes to the console and the log file, stops on SIGTERM, and
// its admin commands work on the same database.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "tests/server/service_harness.h"

using namespace tolvar::test;

namespace {

// Polls `path` until it holds a line matching `pattern`; the first group.
std::string wait_for(const std::filesystem::path &path, const std::string &pattern) {
    std::regex re(pattern);
    for (int i = 0; i < 500; ++i) {
        std::smatch m;
        std::string text = read_file(path);
        if (std::regex_search(text, m, re)) return m[1];
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

ProcessResult admin(const std::string &db, std::vector<std::string> words) {
    words.insert(words.begin(), {TOLVAR_SERVICE, "--db", db});
    return run_process(words);
}

}  // namespace

TEST(ServiceProgram, ServesLogsAndStopsOnSigterm) {
    TestDatabase database;
    std::string db = database.address(), log = (database.folder() / "service.log").string();
    ProcessResult result = run_process(
        {TOLVAR_SERVICE, "--listen", "127.0.0.1:0", "--db", db, "--log", log, "--verbose"}, {}, [&](pid_t pid) {
            int port = std::stoi("0" + wait_for(log, "listening on http://127\\.0\\.0\\.1:([0-9]+)"));
            ASSERT_GT(port, 0);
            std::string host = "127.0.0.1:" + std::to_string(port);
            round_trip(port, client_request("POST", host, "/url.php?class=check",
                                          "action=taste&tel=13800000000&MemberMobile=13900000001"));
            std::string code = wait_for(log, "voice code for 13900000001: ([0-9]{6})");
            RawReply confirmed = round_trip(port, client_request("POST", host, "/url.php",
                                                               "class=check&action=one&tel=13800000000"
                                                               "&MemberMobile=13900000001&VerifyCode=" + code));
            EXPECT_EQ("6", confirmed.body);
            RawReply picture = round_trip(port, client_request("GET", host, "/verifycode.php"));
            EXPECT_FALSE(wait_for(log, "captcha code: ([0-9]{4})").empty());
            EXPECT_FALSE(picture.header("Set-Cookie").empty());
            kill(pid, SIGTERM);
        });
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_TRUE(contains(result.err, "voice code for 13900000001: "));  // the console has it too
    EXPECT_TRUE(contains(admin(db, {"members"}).out, "\t13900000001\t30\t13800000000\t"));
}

TEST(ServiceProgram, AdminCommandsListAndAddOnTheDatabase) {
    TestDatabase database;
    const std::string &db = database.address();
    EXPECT_EQ(0, admin(db, {"member", "add", "13900000001"}).status);
    ProcessResult second = admin(db, {"member", "add", "13900000002"});
    EXPECT_EQ(0, second.status);
    EXPECT_TRUE(contains(second.out, "13900000002 as 100001"));
    EXPECT_EQ(0, admin(db, {"friend", "add", "100000", "13900000002"}).status);
    EXPECT_TRUE(contains(admin(db, {"friend", "add", "13900000001", "13900000002"}).out, "already a friend"));
    EXPECT_EQ(1, admin(db, {"friend", "add", "13900000001", "13900000009"}).status);  // not a member
    EXPECT_EQ(1, admin(db, {"friend", "add", "13900000001", "13900000001"}).status);
    EXPECT_EQ(1, admin(db, {"member", "add", "139"}).status);
    EXPECT_EQ(2, admin(db, {"frobnicate"}).status);

    // A call and a message, as the service stores them, listed for the operator.
    {
        tolvar::server::Storage storage(db);
        ASSERT_TRUE(storage.charge_call(100000, "13700000000", "1.2.3.4", 1, 0));
        storage.record_message(100000, 100001, "13900000002", "\xc4\xe3\xba\xc3\r\nA&B", 0);
    }
    EXPECT_TRUE(contains(admin(db, {"calls"}).out, "\t100000\t13900000001\t13700000000\t1.2.3.4\n"));
    EXPECT_TRUE(contains(admin(db, {"messages"}).out, "\t13900000001\t13900000002\t100001\t你好\\r\\nA&B\n"));
    ProcessResult members = admin(db, {"members"});
    EXPECT_TRUE(contains(members.out, "100000\t13900000001\t29\t-\t"));
    EXPECT_TRUE(contains(members.out, "100001\t13900000002\t30\t-\t"));
}

TEST(ServiceProgram, TheDefaultDatabaseLivesUnderTheUsersDataFolderAndABusyPortIsRefused) {
    ScratchDir dir;
    ProcessResult r = run_process({TOLVAR_SERVICE, "members"}, {{"XDG_DATA_HOME", dir.path().string()}});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "tolvar-service" / "tolvar.db"));
    EXPECT_EQ(2, run_process({TOLVAR_SERVICE, "--listen", "nowhere"}).status);

    // A port in use is refused, not shared with the service already on it.
    TestService running;
    ProcessResult second = run_process(
        {TOLVAR_SERVICE, "--listen", running.host(), "--db", (dir.path() / "2.db").string()}, {}, [](pid_t pid) {
            for (int i = 0; i < 200; ++i) {
                std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
                if (stat.empty() || stat.find(") Z") != std::string::npos) return;  // it has exited
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            kill(pid, SIGTERM);  // still serving: it shared the port
        });
    EXPECT_EQ(1, second.status);
    EXPECT_TRUE(contains(second.err, "cannot listen on " + running.host())) << second.err;
}
