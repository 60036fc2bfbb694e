// The storage itself, on the engine of the test run: schema versions and
// upgrades, databases it must refuse, member ids to the last one, bytes kept
// as they are, and a connection lost under it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "server/members.h"
#include "server/storage/storage.h"
#include "tests/server/test_database.h"

using namespace tolvar::test;
using tolvar::server::Storage;
using tolvar::server::StorageError;

namespace {

// The tables as the service made them before its schema had versions (SQLite).
const char *const unversioned_schema =
    "CREATE TABLE members (id INTEGER PRIMARY KEY CHECK (id BETWEEN 100000 AND 999999),"
    " number TEXT NOT NULL UNIQUE, referrer TEXT, minutes INTEGER NOT NULL, registered_at INTEGER NOT NULL);"
    "CREATE INDEX members_by_referrer ON members (referrer);"
    "CREATE TABLE voice_codes (number TEXT PRIMARY KEY, code TEXT NOT NULL, referrer TEXT,"
    " expires_at INTEGER NOT NULL, wrong_attempts INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE voice_requests (number TEXT NOT NULL, address TEXT NOT NULL, requested_at INTEGER NOT NULL);"
    "CREATE INDEX voice_requests_by_number ON voice_requests (number, requested_at);"
    "CREATE INDEX voice_requests_by_address ON voice_requests (address, requested_at);"
    "CREATE INDEX voice_requests_by_time ON voice_requests (requested_at);"
    "CREATE TABLE sessions (token TEXT PRIMARY KEY, member_id INTEGER REFERENCES members (id), captcha TEXT,"
    " captcha_expires_at INTEGER, expires_at INTEGER NOT NULL) WITHOUT ROWID;"
    "CREATE INDEX sessions_by_expiry ON sessions (expires_at);"
    "CREATE TABLE claim_tokens (token TEXT PRIMARY KEY, member_id INTEGER NOT NULL REFERENCES members (id),"
    " expires_at INTEGER NOT NULL) WITHOUT ROWID;"
    "CREATE INDEX claim_tokens_by_expiry ON claim_tokens (expires_at);"
    "CREATE TABLE weekly_claims (member_id INTEGER NOT NULL REFERENCES members (id), week INTEGER NOT NULL,"
    " claimed_at INTEGER NOT NULL, PRIMARY KEY (member_id, week));"
    "CREATE TABLE friends (member_id INTEGER NOT NULL REFERENCES members (id),"
    " friend_id INTEGER NOT NULL REFERENCES members (id), PRIMARY KEY (member_id, friend_id));"
    "CREATE TABLE calls (id INTEGER PRIMARY KEY, member_id INTEGER NOT NULL REFERENCES members (id),"
    " number TEXT NOT NULL, address TEXT NOT NULL, placed_at INTEGER NOT NULL);"
    "CREATE TABLE messages (id INTEGER PRIMARY KEY, member_id INTEGER NOT NULL REFERENCES members (id),"
    " friend_id INTEGER NOT NULL REFERENCES members (id), number TEXT NOT NULL, body BLOB NOT NULL,"
    " sent_at INTEGER NOT NULL);"
    "INSERT INTO members VALUES (100000, '13900000001', NULL, 12, 1000), (100001, '13900000002', '13900000001', 30, 2000);"
    "INSERT INTO sessions VALUES ('0123456789abcdef0123456789abcdef', 100000, NULL, NULL, 4000000000);"
    "INSERT INTO messages VALUES (1, 100000, 100001, '13900000002', X'c4e3bac3', 3000);"
    "INSERT INTO weekly_claims VALUES (100000, 2897, 1000);";

}  // namespace

TEST(ServiceStorage, ADatabaseMadeBeforeSchemaVersionsKeepsItsRowsAndGetsTheCurrentVersion) {
    TestDatabase database;
    if (database.postgresql()) GTEST_SKIP() << "databases from before schema versions are SQLite files only";
    sqlite3 *db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(database.address().c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, unversioned_schema, nullptr, nullptr, nullptr)) << sqlite3_errmsg(db);
    sqlite3_close(db);

    {
        Storage storage(database.address());
        EXPECT_EQ(1, storage.schema_version());
        auto member = storage.member_by_number("13900000001");
        ASSERT_TRUE(member);
        EXPECT_EQ(12, member->minutes);
        auto session = storage.find_session("0123456789abcdef0123456789abcdef", 5000);
        ASSERT_TRUE(session);
        EXPECT_EQ(100000, session->member_id.value_or(0));
        std::string body;
        storage.each_message([&](const tolvar::server::MessageListing &m) { body = m.body; });
        EXPECT_EQ("\xc4\xe3\xba\xc3", body);
        // New rows follow the old ones.
        auto added = storage.register_member("13900000003", std::nullopt, 30, 5000);
        ASSERT_TRUE(added);
        EXPECT_EQ(100002, added->member.id);
    }
    EXPECT_EQ("1", database.text("SELECT COUNT(*) FROM schema_version"));
    EXPECT_EQ("3", database.text("SELECT COUNT(*) FROM members"));
    // Opened again: nothing to upgrade, nothing lost.
    EXPECT_EQ(1, Storage(database.address()).schema_version());
    EXPECT_EQ("1", database.text("SELECT COUNT(*) FROM weekly_claims"));
}

TEST(ServiceStorage, ADatabaseOfANewerSchemaIsRefusedUntouched) {
    TestDatabase database;
    {
        Storage storage(database.address());
        EXPECT_EQ(1, storage.schema_version());
        ASSERT_TRUE(storage.register_member("13900000001", std::nullopt, 30, 0));
    }
    database.run("UPDATE schema_version SET version = 7");
    try {
        Storage newer(database.address());
        ADD_FAILURE() << "a database of schema version 7 was opened";
    } catch (const StorageError &e) {
        EXPECT_TRUE(std::string(e.what()).find("schema version 7") != std::string::npos) << e.what();
    }
    EXPECT_EQ("7", database.text("SELECT version FROM schema_version"));
    EXPECT_EQ("1", database.text("SELECT COUNT(*) FROM members"));

    ProcessResult program = run_process({TOLVAR_SERVICE, "--db", database.address(), "members"});
    EXPECT_EQ(1, program.status);
    EXPECT_TRUE(program.err.find("schema version 7") != std::string::npos) << program.err;
}

TEST(ServiceStorage, MemberIdsRunFromTheFirstToTheLastAndThenNoneIsGiven) {
    TestDatabase database;
    Storage storage(database.address());
    auto first = storage.register_member("13900000001", std::nullopt, 30, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(tolvar::server::first_member_id, first->member.id);
    EXPECT_TRUE(first->created);
    auto again = storage.register_member("13900000001", std::string("13900000009"), 30, 0);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->created);
    EXPECT_EQ(first->member.id, again->member.id);

    // Up to the last 6-digit id.
    if (database.postgresql())
        database.run("SELECT setval('member_ids', 999998)");
    else
        database.run("INSERT INTO members (id, number, minutes, registered_at) VALUES (999998, '13900000998', 0, 0)");
    auto last = storage.register_member("13900000002", std::nullopt, 30, 0);
    ASSERT_TRUE(last);
    EXPECT_EQ(tolvar::server::last_member_id, last->member.id);
    EXPECT_FALSE(storage.register_member("13900000003", std::nullopt, 30, 0));
    EXPECT_FALSE(storage.member_by_number("13900000003"));

    // A right voice code with no id left registers nobody and stays for a later try.
    tolvar::server::VoiceCodeRing ring{"13900000004", "123456", std::nullopt, "127.0.0.1", 0, 600};
    ASSERT_TRUE(storage.ring_voice_code(ring, {3, 600, 20, 3600}));
    EXPECT_FALSE(storage.confirm_voice_code("13900000004", "123456", 1, 5, 30));
    EXPECT_EQ("123456", database.text("SELECT code FROM voice_codes WHERE number = '13900000004'"));
}

TEST(ServiceStorage, MessageBytesComeBackExactlyAsTheyWent) {
    TestDatabase database;
    Storage storage(database.address());
    ASSERT_TRUE(storage.register_member("13900000001", std::nullopt, 30, 0));
    ASSERT_TRUE(storage.register_member("13900000002", std::string("13900000001"), 30, 0));
    std::string every_byte;
    for (int i = 0; i < 256; ++i) every_byte += static_cast<char>(255 - i);  // NUL, quotes and backslashes included
    storage.record_message(100000, 100001, "13900000002", every_byte, 7);
    std::vector<tolvar::server::MessageListing> listed;
    storage.each_message([&](const tolvar::server::MessageListing &m) { listed.push_back(m); });
    ASSERT_EQ(1u, listed.size());
    EXPECT_EQ(every_byte, listed[0].body);
    EXPECT_EQ("13900000001", listed[0].member_number);
    EXPECT_EQ(100001, listed[0].friend_id);
    EXPECT_EQ(7, listed[0].sent_at);
    // A text value with quotes is bound, never spliced into the statement.
    EXPECT_FALSE(storage.member_by_number("' OR '1'='1"));
}

TEST(ServiceStorage, AnAddressThatLeadsNowhereIsAnErrorNamingIt) {
    TestDatabase database;
    // No server on that socket folder; a folder where a file should be.
    std::string nowhere = database.postgresql() ? "postgresql:///no_such_database?host=" + database.folder().string()
                                                : database.folder().string();
    try {
        Storage storage(nowhere);
        ADD_FAILURE() << "opened " << nowhere;
    } catch (const StorageError &e) {
        EXPECT_FALSE(std::string(e.what()).empty());
    }
    ProcessResult program = run_process({TOLVAR_SERVICE, "--db", nowhere, "members"});
    EXPECT_EQ(1, program.status) << program.err;
    EXPECT_TRUE(program.err.starts_with("tolvar-service: ")) << program.err;
}

TEST(ServiceStorage, ThePostgresqlDescriptionNamesTheDatabaseButNeverThePassword) {
    TestDatabase database;
    if (!database.postgresql()) GTEST_SKIP() << "a SQLite database is described by its path";
    std::string with_password = database.address();
    with_password.insert(std::string("postgresql://").size(), "tolvar:s3cret-word@");
    Storage storage(with_password);
    EXPECT_TRUE(storage.description().find("PostgreSQL database test_") == 0) << storage.description();
    EXPECT_EQ(std::string::npos, storage.description().find("s3cret-word"));
}

TEST(ServiceStorage, ConnectionsCutByTheServerAreAllReplacedAfterOneFailedOperation) {
    TestDatabase database;
    if (!database.postgresql()) GTEST_SKIP() << "a SQLite file has no server to lose";
    Storage storage(database.address());
    ASSERT_TRUE(storage.register_member("13900000001", std::nullopt, 30, 0));
    // Four listings at the same moment leave four connections in the pool.
    std::atomic<int> inside{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            storage.each_member([&](const tolvar::server::MemberListing &) {
                ++inside;
                for (int wait = 0; inside < 4 && wait < 5000; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
        });
    for (auto &t : threads) t.join();
    ASSERT_EQ(4, inside.load());
    database.run("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                 " WHERE datname = current_database() AND pid <> pg_backend_pid()");
    int failures = 0;
    for (int i = 0; i < 3; ++i) {
        try {
            EXPECT_TRUE(storage.member_by_number("13900000001"));
        } catch (const StorageError &) {
            ++failures;
        }
    }
    EXPECT_LE(failures, 1);
    EXPECT_TRUE(storage.member_by_number("13900000001"));
}

TEST(ServiceStorage, WrongVoiceCodesFromTwoProcessesWorthOfConnectionsAreEachCounted) {
    TestDatabase database;
    Storage first(database.address()), second(database.address());
    tolvar::server::VoiceCodeRing ring{"13900000001", "123456", std::nullopt, "127.0.0.1", 0, 600};
    ASSERT_TRUE(first.ring_voice_code(ring, {3, 600, 20, 3600}));
    const int threads_each = 8, tries = 10;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (Storage *storage : {&first, &second})
        for (int t = 0; t < threads_each; ++t)
            threads.emplace_back([&, storage] {
                while (!go) std::this_thread::yield();
                for (int i = 0; i < tries; ++i) storage->confirm_voice_code("13900000001", "000000", 1, 1000, 30);
            });
    go = true;
    for (auto &t : threads) t.join();
    EXPECT_EQ(std::to_string(2 * threads_each * tries),
              database.text("SELECT wrong_attempts FROM voice_codes WHERE number = '13900000001'"));
    // Under a lower limit those attempts void the code, the right one included.
    EXPECT_FALSE(first.confirm_voice_code("13900000001", "123456", 1, 5, 30));
    EXPECT_EQ("", database.text("SELECT code FROM voice_codes"));
    EXPECT_FALSE(first.member_by_number("13900000001"));
}

TEST(ServiceStorage, RingsForOneNumberFromTwoProcessesWorthOfConnectionsStopAtTheLimit) {
    TestDatabase database;
    Storage first(database.address()), second(database.address());
    const int threads_each = 8, numbers = 30;
    std::atomic<int> arrived{0};
    std::vector<std::thread> threads;
    for (Storage *storage : {&first, &second})
        for (int t = 0; t < threads_each; ++t)
            threads.emplace_back([&, storage] {
                for (int n = 0; n < numbers; ++n) {
                    // All threads start on each number together.
                    ++arrived;
                    while (arrived < (n + 1) * 2 * threads_each) std::this_thread::yield();
                    std::string number = std::to_string(13900000000LL + n);
                    tolvar::server::VoiceCodeRing ring{number, "123456", std::nullopt, "127.0.0.1", 0, 600};
                    storage->ring_voice_code(ring, {3, 600, 1000, 3600});
                }
            });
    for (auto &t : threads) t.join();
    EXPECT_EQ(std::to_string(3 * numbers), database.text("SELECT COUNT(*) FROM voice_requests"));
    EXPECT_EQ("3", database.text("SELECT MAX(n) FROM (SELECT COUNT(*) AS n FROM voice_requests GROUP BY number) counts"));
}
