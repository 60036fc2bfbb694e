// What the service writes for its operator: log lines and listings that no
// client text can break or turn into terminal escapes, and files that only
// the service's user can read.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <thread>

#include "server/printable.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;
using tolvar::server::printable;

namespace {

bool has_control_byte(const std::string &text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
    return false;
}

unsigned mode_of(const std::filesystem::path &p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

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

}  // namespace

TEST(ServiceOutput, PrintableTextKeepsUtf8AndEscapesEverythingThatCouldActOnATerminal) {
    EXPECT_EQ("plain 你好 text", printable("plain 你好 text"));
    EXPECT_EQ("a\\nb\\rc\\td", printable("a\nb\rc\td"));
    EXPECT_EQ("\\x1b[31mred\\x07\\x00\\x7f", printable(std::string("\x1b[31mred\x07\0\x7f", 11)));
    EXPECT_EQ("back\\\\slash", printable("back\\slash"));
    EXPECT_EQ("\\xc4\\xe3", printable("\xc4\xe3"));                  // GBK bytes are not UTF-8
    EXPECT_EQ("\\xc0\\xaf", printable("\xc0\xaf"));                  // an overlong '/'
    EXPECT_EQ("\\xed\\xa0\\x80", printable("\xed\xa0\x80"));         // a surrogate
    EXPECT_EQ("\\u{009b}31m", printable("\xc2\x9b" "31m"));          // C1 CSI
    EXPECT_EQ("\\u{202e}txt", printable("\xe2\x80\xae" "txt"));      // right-to-left override
    EXPECT_EQ("cut \\xe4\\xbd", printable("cut \xe4\xbd"));           // a sequence cut short
}

TEST(ServiceOutput, NoClientTextForgesALogLineOrReachesItRaw) {
    TestService service;
    round_trip(service.port(), "GET /x%0a[2000-01-01%2000:00:00]%20forged%1b[2J%00 HTTP/1.1\r\nHost: x\r\n\r\n");
    ClientSession sender = member(service, "13900000001");
    member(service, "13900000002", "13900000001");
    std::string friend_id = service.query_text("SELECT id FROM members WHERE number = '13900000002'");
    EXPECT_TRUE(contains(sender.message(friend_id, "13900000002", "a\x1b[31m\x07\r\nz").body, gbk_success));
    bool forged_path_logged = false;
    for (const std::string &line : service.log_lines()) {
        EXPECT_FALSE(has_control_byte(line)) << line;
        forged_path_logged |= contains(line, "/x\\n[2000-01-01 00:00:00] forged\\x1b[2J\\x00");
    }
    EXPECT_TRUE(forged_path_logged);
    EXPECT_EQ("13900000001 -> 13900000002: a\\x1b[31m\\x07\\r\\nz", service.last_logged("message: "));
}

TEST(ServiceOutput, AdminListingsEscapeWhatClientsSent) {
    ScratchDir dir;
    std::string db = (dir.path() / "t.db").string();
    ASSERT_EQ(0, run_process({TOLVAR_SERVICE, "--db", db, "member", "add", "13900000001"}).status);
    ASSERT_EQ(0, run_process({TOLVAR_SERVICE, "--db", db, "member", "add", "13900000002"}).status);
    {
        // What clients could have sent, written as the service writes it.
        tolvar::server::Storage storage(db);
        storage.charge_call(100000, "13700000000", "1.2.3.4\x1b]0;owned\x07", 1, 0);
        storage.record_message(100000, 100001, "13900000002", std::string_view("\x1b[2J\x07\0\tend", 10), 0);
    }
    std::string calls = run_process({TOLVAR_SERVICE, "--db", db, "calls"}).out;
    std::string messages = run_process({TOLVAR_SERVICE, "--db", db, "messages"}).out;
    EXPECT_TRUE(contains(calls, "\t1.2.3.4\\x1b]0;owned\\x07\n")) << calls;
    EXPECT_TRUE(contains(messages, "\t\\x1b[2J\\x07\\x00\\tend\n")) << messages;
    for (const std::string &listing : {calls, messages}) {
        std::string without_layout = listing;
        std::erase(without_layout, '\t');
        std::erase(without_layout, '\n');
        EXPECT_FALSE(has_control_byte(without_layout)) << listing;
    }
}

TEST(ServiceOutput, TheDataFolderIsTheUsersAloneAndTheDatabaseJournalsAndLogAre0600) {
    ScratchDir dir;
    std::filesystem::path data = dir.path() / "data", db = data / "tolvar.db", log = dir.path() / "service.log";
    // An operator made the folder for everyone, and an older service left its files readable.
    std::filesystem::create_directories(data);
    chmod(data.c_str(), 0755);
    write_file(log, "");
    chmod(log.c_str(), 0644);
    ASSERT_EQ(0, run_process({TOLVAR_SERVICE, "--db", db.string(), "members"}).status);
    chmod(db.c_str(), 0644);
    chmod(data.c_str(), 0755);
    ProcessResult result = run_process(
        {TOLVAR_SERVICE, "--listen", "127.0.0.1:0", "--db", db.string(), "--log", log.string()}, {}, [&](pid_t pid) {
            int port = std::stoi("0" + wait_for(log, "listening on http://127\\.0\\.0\\.1:([0-9]+)"));
            round_trip(port, client_request("GET", "x", "/verifycode.php"));  // a write: the journal files exist
            EXPECT_EQ(0700u, mode_of(data));
            EXPECT_EQ(0600u, mode_of(db));
            EXPECT_EQ(0600u, mode_of(db.string() + "-wal"));
            EXPECT_EQ(0600u, mode_of(db.string() + "-shm"));
            EXPECT_EQ(0600u, mode_of(log));
            kill(pid, SIGTERM);
        });
    EXPECT_EQ(0, result.status) << result.err;

    // A folder the service makes is 0700 too; a shared one (sticky, as /tmp)
    // is left as it is, with a warning, and the files in it are still 0600.
    std::filesystem::path made = dir.path() / "new" / "deeper";
    ASSERT_EQ(0, run_process({TOLVAR_SERVICE, "--db", (made / "t.db").string(), "members"}).status);
    EXPECT_EQ(0700u, mode_of(made));
    EXPECT_EQ(0600u, mode_of(made / "t.db"));
    std::filesystem::path shared = dir.path() / "shared";
    std::filesystem::create_directories(shared);
    chmod(shared.c_str(), 01777);
    ProcessResult in_shared = run_process({TOLVAR_SERVICE, "--db", (shared / "t.db").string(), "members"});
    EXPECT_EQ(01777u, mode_of(shared));
    EXPECT_EQ(0600u, mode_of(shared / "t.db"));
    EXPECT_TRUE(contains(in_shared.err, "is open to other users")) << in_shared.err;
}
