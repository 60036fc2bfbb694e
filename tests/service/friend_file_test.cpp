// The friend file in a fresh program folder: what a refresh writes, what
// entering page ③ lists, what a refresh that finds nothing leaves alone, a
// folder the program may not write to, damaged files, and long lists filled
// while the window answers.
#include <sys/stat.h>

#include <QListWidget>
#include <QPlainTextEdit>
#include <chrono>

#include "runtime/controls.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/window.h"
#include "tests/service/fake_service.h"
#include "tests/service/friend_pages.h"
#include "tests/support/window_pulse.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::test;

namespace {

using FriendFile = FriendsFixture;

const FriendRows kThree = {{"654321", "13911112222"}, {"012345", "13800001111"}, {"222222", "15000000003"}};
const std::vector<std::string> kThreeListed = {"13911112222/654321", "13800001111/12345", "15000000003/222222"};

std::vector<std::string> folder_entries(const fs::path &folder) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FriendFile, ARefreshSavesExactlyItsEntriesAndEveryEntryIntoPageThreeListsThemOnce) {
    // An earlier file, loaded into the staging box by a first entry into page ③.
    write_file(friend_file(), "13000000000,999999\r\n");
    answer_with(friend_page(kThree));
    std::vector<std::vector<std::string>> seen;
    std::string staged = "?";
    run([&](QWidget *w) {
        show_page(w, 2);
        seen.push_back(items(w));
        click(w, "按钮18");
        seen.push_back(items(w));
        for (int i = 0; i < 2; ++i) {
            show_page(w, 1);
            show_page(w, 2);
            seen.push_back(items(w));
        }
        staged = find<QPlainTextEdit>(w, "好友")->toPlainText().toStdString();
    });
    EXPECT_EQ(std::vector<std::string>{"13000000000/999999"}, seen[0]);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(kThreeListed, seen[i]) << i;
    EXPECT_EQ(friend_file_text(kThree), read_file(friend_file()));
    // The staging box holds a refresh's lines only while it saves them.
    EXPECT_EQ("", staged);
    EXPECT_EQ(std::vector<std::string>{"hao.txt"}, folder_entries(folder.path()));
}

TEST_F(FriendFile, ARefreshThatFindsNoEntryKeepsTheFileByteForByte) {
    const std::string saved = friend_file_text(kThree) + "not,a friend\r\nbinary\x01\xff\r\n";
    const std::vector<std::pair<std::string, Answer>> replies = {
        {"not logged in", [](const HttpRequest &, ServerConnection &c) { c.reply("<html>please log in</html>"); }},
        {"empty reply", [](const HttpRequest &, ServerConnection &c) { c.reply(""); }},
        {"failed fetch", [](const HttpRequest &, ServerConnection &c) { c.reset(); }},
        {"broken off", [](const HttpRequest &, ServerConnection &c) {
             c.send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + friend_page({{"123456", "13912345678"}}));
         }},
        {"error page", [](const HttpRequest &, ServerConnection &c) { c.reply("", "", "500 Internal Server Error"); }},
    };
    for (const auto &[name, reply] : replies) {
        write_file(friend_file(), saved);
        answer(reply);
        std::string count;
        size_t listed = 99;
        run([&](QWidget *w) {
            show_page(w, 2);
            click(w, "按钮18");
            count = text_of(w, "标签19");
            listed = items(w).size();
        });
        EXPECT_EQ(saved, read_file(friend_file())) << name;
        EXPECT_EQ(0u, listed) << name;
        EXPECT_EQ("一共有0位好友", count) << name;
        EXPECT_EQ(std::vector<std::string>{"hao.txt"}, folder_entries(folder.path())) << name;
    }
}

TEST_F(FriendFile, AFolderTheProgramMayNotWriteToKeepsTheOldFile) {
    const std::string saved = "13000000000,999999\r\n";
    write_file(friend_file(), saved);
    answer_with(friend_page(kThree));
    ASSERT_EQ(0, chmod(folder.path().c_str(), 0555));
    // Root writes whatever the modes say: the refresh runs in a child that has
    // given up the capabilities that let it.
    ProcessResult child = run_process({"/usr/bin/setpriv", "--bounding-set", "-dac_override,-dac_read_search",
                                       FRIEND_REFRESH_CHILD, folder.path().string(), server.host()});
    chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(0, child.status) << child.err;
    EXPECT_NE(std::string::npos, child.out.find("一共有3位好友 3")) << child.out << child.err;
    EXPECT_EQ(saved, read_file(friend_file()));
    EXPECT_EQ(std::vector<std::string>{"hao.txt"}, folder_entries(folder.path()));
}

TEST_F(FriendFile, DamagedFilesLoadWhatTheyCan) {
    const std::string ten_mb(10 << 20, '7');
    const std::vector<std::pair<std::string, std::vector<std::string>>> files = {
        {"13900000001,123\r\nno comma here\r\n13900000002,abc\r\n,77\r\n13900000003,45,99\r\n13900000004,\r\n",
         {"13900000001/123", "13900000002/0", "/77", "13900000003/45", "13900000004/0"}},
        // No CR LF at the end; a number too large for the value.
        {"13900000001,1\r\n13900000002,-000042\r\n13900000004,1234567890123456789012345678\r\n13900000003,99999999999",
         {"13900000001/1", "13900000002/-42", "13900000004/0", "13900000003/0"}},
        // A zero byte ends the text.
        {std::string("13900000001,1\r\n13900000002,2\0\r\n13900000003,3\r\n", 46), {"13900000001/1", "13900000002/2"}},
        {"\x81\x30\xff\xfe,5\r\n\x01\x02\x03\r\n13900000003,3\r\n", {"*/5", "13900000003/3"}},
        // Beyond 4 MiB the file counts as damaged: the whole lines within are
        // listed, not the line the bound cuts ("13900000007,12" of "...,123456").
        {"13900000005,5\r\n" + std::string((4u << 20) - 15 - 2 - 14, '7') + "\r\n13900000007,123456\r\n" + ten_mb +
             "\r\n13900000006,6\r\n",
         {"13900000005/5"}},
        {"\r\n\r\n,\r\n", {"/0"}},
        {"", {}},
    };
    for (const auto &[content, expected] : files) {
        write_file(friend_file(), content);
        std::vector<std::string> listed;
        run([&](QWidget *w) {
            show_page(w, 2);
            listed = items(w);
        });
        ASSERT_EQ(expected.size(), listed.size()) << content.substr(0, 60);
        for (size_t i = 0; i < expected.size(); ++i) {
            // "*": a text the bytes do not spell as GBK, with that value.
            if (expected[i][0] == '*') EXPECT_EQ(expected[i].substr(1), listed[i].substr(listed[i].rfind('/')));
            else EXPECT_EQ(expected[i], listed[i]);
        }
        EXPECT_EQ(content, read_file(friend_file()));
    }
}

TEST_F(FriendFile, AThreeMegabyteEntryAndAMissingFileNeverStopTheProgram) {
    const std::string long_number(3 << 20, '8');
    write_file(friend_file(), long_number + ",1\r\n13900000002,2\r\n" + std::string(2 << 20, '9') + ",3\r\n");
    std::vector<size_t> lengths;
    run([&](QWidget *w) {
        show_page(w, 2);
        auto *list = find<QListWidget>(w, "列表框1");
        for (int i = 0; i < list->count(); ++i) {
            lengths.push_back(runtime::text_view(runtime::list_item_text(runtime::列表框1, i)).size());
        }
        // The list shows the start of a huge text; the program reads the whole of
        // it, and no entry beyond the file's first 4 MiB.
        ASSERT_EQ(2, list->count());
        EXPECT_EQ(QString(1024, '8'), list->item(0)->text());
        fs::remove(friend_file());
        show_page(w, 1);
        show_page(w, 2);
        EXPECT_EQ(0, list->count());
    });
    EXPECT_EQ((std::vector<size_t>{long_number.size(), 11}), lengths);
}

// A friend page beyond 4 MiB counts as damaged: the friends within its first
// 4 MiB are listed and saved, the rest ignored, and standard error says so once.
TEST_F(FriendFile, APageBeyondTheBoundListsAndSavesTheFriendsWithinIt) {
    const size_t kBound = 4u << 20;
    FriendRows rows = numbered_friends(120000);  // 44 bytes a friend: 5.3 MB
    std::string page = friend_page(rows);
    ASSERT_GT(page.size(), kBound);
    FriendRows within;
    size_t at = 0;
    for (const auto &row : rows) {
        at = page.find(row.first + "','" + row.second, at);
        if (at + 20 <= kBound) within.push_back(row);
    }
    answer_with(page);
    ProcessResult child = run_process({FRIEND_REFRESH_CHILD, folder.path().string(), server.host()});
    EXPECT_EQ(0, child.status) << child.err;
    std::string shown = "一共有" + std::to_string(within.size()) + "位好友 " + std::to_string(within.size());
    EXPECT_NE(std::string::npos, child.out.find(shown)) << child.out;
    EXPECT_EQ(friend_file_text(within), read_file(friend_file()));
    size_t said = child.err.find("friend page is larger than");
    EXPECT_NE(std::string::npos, said) << child.err;
    EXPECT_EQ(std::string::npos, child.err.find("friend page is larger than", said + 1));
}

// 150,000 friends (3 MB) are listed item by item with the window's events
// running between them; entering the page again meanwhile starts a filling
// of its own, which ends the first: the list holds each friend once.
TEST_F(FriendFile, ALongListIsFilledWhileTheWindowAnswersAndOnceWhenThePageIsEnteredAgain) {
    const size_t kFriends = 150000;
    write_file(friend_file(), friend_file_text(numbered_friends(kFriends)));
    qint64 longest_gap = 0;
    int count = 0, entered_again = 0;
    run([&](QWidget *w) {
        auto *list = find<QListWidget>(w, "列表框1");
        QTimer again;
        QObject::connect(&again, &QTimer::timeout, [&] {
            if (entered_again == 0 && list->count() > 1000) {
                ++entered_again;
                show_page(w, 1);
                show_page(w, 2);
            }
        });
        again.start(5);
        WindowPulse pulse;
        show_page(w, 2);
        longest_gap = pulse.longest_gap_ms();
        count = list->count();
    });
    std::printf("[ friends  ] %zu friends listed; the window waited at most %lld ms\n", kFriends,
                static_cast<long long>(longest_gap));
    // The page entered again from a timer while the list was part-filled is
    // the proof that the window's events ran during the filling; the longest
    // gap is printed, not asserted (it depends on the machine's load).
    EXPECT_EQ(1, entered_again);
    EXPECT_EQ(static_cast<int>(kFriends), count);
}

}  // namespace
