// The friend page: the members a member referred and those the operator
// added, each written as the client's pattern finds it.
#include <gtest/gtest.h>

#include <sstream>

#include "server/admin.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;

namespace {

// The entries as the client's friend pattern \d{6}','\d{11} finds them.
std::vector<std::string> client_entries(const std::string &page) {
    std::vector<std::string> found;
    std::regex pattern("\\d{6}','\\d{11}", std::regex::icase);
    for (auto it = std::sregex_iterator(page.begin(), page.end(), pattern); it != std::sregex_iterator(); ++it)
        found.push_back(it->str());
    return found;
}

std::string id_of(TestService &s, const std::string &number) {
    return s.query_text(("SELECT id FROM members WHERE number = '" + number + "'").c_str());
}

}  // namespace

TEST(ServiceFriends, ReferredMembersAndAddedOnesAreListedAndNobodyElse) {
    TestService service;
    ClientSession owner = member(service, "13900000001");
    ClientSession(service).register_number("13900000002", "13900000001");
    ClientSession(service).register_number("13900000003", "13900000001");
    ClientSession(service).register_number("13900000004", "13800000000");
    ClientSession(service).register_number("13900000005", "13900000002");
    EXPECT_EQ((std::vector<std::string>{id_of(service, "13900000002") + "','13900000002",
                                        id_of(service, "13900000003") + "','13900000003"}),
              client_entries(owner.get("/p.php?class=p&action=friend").body));

    std::ostringstream out, err;
    EXPECT_EQ(0, tolvar::server::run_admin_command(service.storage(), {"friend", "add", "13900000001", "13900000004"},
                                                   service.now, out, err));
    RawReply page = owner.get("/p.php?class=p&action=friend");
    EXPECT_EQ(3u, client_entries(page.body).size());
    EXPECT_TRUE(contains(page.body, id_of(service, "13900000004") + "','13900000004"));
    EXPECT_TRUE(contains(page.body, "<html>"));
    EXPECT_EQ("text/html; charset=gb2312", page.header("Content-Type"));

    // A member with no friends, and a caller with no login: no entries.
    EXPECT_TRUE(client_entries(member(service, "13900000006").get("/p.php?class=p&action=friend").body).empty());
    RawReply stranger = ClientSession(service).get("/p.php?class=p&action=friend");
    EXPECT_TRUE(client_entries(stranger.body).empty());
    EXPECT_TRUE(contains(stranger.body, gbk_not_logged_in));
}
