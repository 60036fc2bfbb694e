// Short messages: stored byte for byte as they arrive, only to a friend, and
// a refusal the client can never read as "成功".
#include <gtest/gtest.h>

#include "tests/server/service_harness.h"

using namespace tolvar::test;

namespace {

struct TwoFriends {
    TestService service;
    ClientSession sender = member(service, "13900000001");
    ClientSession receiver = member(service, "13900000002", "13900000001");  // referred by the sender
    std::string receiver_id = service.query_text("SELECT id FROM members WHERE number = '13900000002'");

    std::string last_stored() { return service.query_text("SELECT body FROM messages ORDER BY id DESC LIMIT 1"); }
};

}  // namespace

TEST(ServiceMessages, AMessageToAFriendIsStoredAsTheBytesThatArrived) {
    TwoFriends f;
    // "你好, A&B 100% =+" in GBK, percent-encoded by the client where it must be.
    const std::string text = "\xc4\xe3\xba\xc3, A&B 100% =+\r\nbye";
    RawReply r = f.sender.message(f.receiver_id, "13900000002", text);
    EXPECT_TRUE(contains(r.body, gbk_success)) << r.body;
    EXPECT_EQ(text, f.last_stored());
    EXPECT_EQ(f.receiver_id + "|13900000002",
              f.service.query_text("SELECT friend_id || '|' || number FROM messages"));
    EXPECT_TRUE(contains(f.service.last_logged("message: "), "13900000001 -> 13900000002: 你好, A&B 100% =+\\r\\nbye"));

    // "A%26B" on the wire is "A&B" in the store.
    f.sender.post("/p.php?class=", "action=sendsms&key_id=" + f.receiver_id + "&url=" + f.service.host() +
                                       "&tel=13900000002&msg=A%26B");
    EXPECT_EQ("A&B", f.last_stored());
}

TEST(ServiceMessages, RefusedToNonFriendsMismatchedIdsStrangersAndEmptyOrMalformedTexts) {
    TwoFriends f;
    ClientSession outsider = member(f.service, "13900000003");  // referred by 13800000000, no friend of anyone here
    std::string outsider_id = f.service.query_text("SELECT id FROM members WHERE number = '13900000003'");
    std::string sender_id = f.service.query_text("SELECT id FROM members WHERE number = '13900000001'");
    std::vector<RawReply> refused = {
        f.sender.message(outsider_id, "13900000003", "hi"),            // not a friend
        f.sender.message(f.receiver_id, "13900000003", "hi"),          // the friend's id, another number
        f.sender.message(outsider_id, "13900000002", "hi"),            // the friend's number, another id
        f.receiver.message(sender_id, "13900000001", "hi"),            // friendship runs one way
        f.sender.message(f.receiver_id, "13900000002", ""),            // nothing to send
        f.sender.message("x", "13900000002", "hi"),                    // malformed id
        f.sender.post("/p.php?class=", "action=sendsms&key_id=" + f.receiver_id + "&tel=13900000002&msg=100%"),
        ClientSession(f.service).message(f.receiver_id, "13900000002", "hi"),  // no session
    };
    for (const RawReply &r : refused) {
        EXPECT_EQ(200, r.status);
        EXPECT_FALSE(r.body.empty());
        EXPECT_FALSE(contains(r.body, gbk_success)) << r.body;
    }
    EXPECT_EQ("0", f.service.query_text("SELECT COUNT(*) FROM messages"));
}
