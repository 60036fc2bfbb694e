// Balance and weekly minutes: the four exchanges of the button in order, the
// balance read before the claim, the hash cut from the member page, and the
// claim's three outcomes from the menu.
#include "tests/service/service_fixture.h"

using namespace tolvar::test;

namespace {

const char kClaimTarget[] = "/p.php?class=giving&hash=";

TEST_F(ServiceTest, MinutesButtonReadsTheBalanceThenClaimsAndShowsTheBalance) {
    service.on("/ip.php", "<h2>198.51.100.4</h2>");
    service.on("/url.php", "42");
    service.on("/p.php", "<a onclick=\"go('p.php?class=giving&hash=9f8e7d',1)\">");
    service.on(std::string(kClaimTarget) + "9f8e7d", "<p>已经领过了</p>");  // shown nowhere
    run([&](QWidget *w) {
        show_page(w, 1);
        find(w, "按钮2")->setEnabled(true);
        MessageBoxes boxes;
        click(w, "按钮2");
        EXPECT_TRUE(boxes.texts.empty());
        EXPECT_EQ("免费通话时间还剩： 42分钟", text_of(w, "标签6"));
    });
    auto requests = service.requests();
    ASSERT_EQ(4u, requests.size());
    const std::string host = service.host();
    EXPECT_EQ(get_bytes(host, "/ip.php"), requests[0].raw);
    EXPECT_EQ(post_bytes(host, "/url.php", "action=balance&url=" + host + "&ip=198.51.100.4"), requests[1].raw);
    EXPECT_EQ(get_bytes(host, "/p.php"), requests[2].raw);
    EXPECT_EQ(get_bytes(host, std::string(kClaimTarget) + "9f8e7d"), requests[3].raw);
}

TEST_F(ServiceTest, ABalanceSayingNotLoggedInShowsTheMessageAndTheClaimIsMadeAllTheSame) {
    service.on("/url.php", std::vector<std::string>{gbk("<b>您没有登陆</b>"), "", std::string("A&B\0xyz", 7)});
    run([&](QWidget *w) {
        show_page(w, 1);
        find(w, "按钮2")->setEnabled(true);
        MessageBoxes boxes;
        click(w, "按钮2");
        EXPECT_EQ(std::vector<std::string>{"你还没有登录！！"}, boxes.texts);
        EXPECT_EQ("免费通话时间还剩：  分钟", text_of(w, "标签6"));  // as designed
        click(w, "按钮2");
        EXPECT_EQ("免费通话时间还剩： 分钟", text_of(w, "标签6"));
        click(w, "按钮2");
        EXPECT_EQ("免费通话时间还剩： A&B分钟", text_of(w, "标签6"));  // a text ends at its zero byte
        EXPECT_EQ(1u, boxes.texts.size());
    });
    auto targets = service.targets();
    ASSERT_EQ(12u, targets.size());
    EXPECT_EQ(kClaimTarget, targets[3]);  // a member page without the marker: an empty hash
}

TEST_F(ServiceTest, TheHashRunsFromTheFirstMarkerToTheNearestEnd) {
    std::vector<std::pair<std::string, std::string>> pages = {
        {"none here", ""},
        {"x giving&hash=abc',y", "abc"},
        {"giving&hash=first', giving&hash=second',", "first"},
        {"giving&hash=to the end", "to the end"},
        {"giving&hash=aa giving&hash=bb", "aa"},  // the web routine trims the address's end
        {"the end giving&hash=", ""},
        {"giving&hash=',", ""},
    };
    std::vector<std::string> bodies;
    for (const auto &p : pages) bodies.push_back(p.first);
    service.on("/p.php", bodies);
    run([&](QWidget *w) {
        MessageBoxes boxes;
        for (size_t i = 0; i < pages.size(); ++i) choose(w, "领取15分钟");
        EXPECT_EQ(pages.size(), boxes.texts.size());
    });
    std::vector<std::string> claims, expected;
    for (const auto &t : service.targets())
        if (t.rfind("/p.php?", 0) == 0) claims.push_back(t);
    for (const auto &p : pages) expected.push_back(kClaimTarget + p.second);
    // The stand-in escapes blanks in the request target as WinINet does.
    for (auto &e : expected)
        for (size_t at; (at = e.find(' ')) != std::string::npos;) e.replace(at, 1, "%20");
    EXPECT_EQ(expected, claims);
}

TEST_F(ServiceTest, TheMenuReportsEachOfTheClaimsOutcomes) {
    service.on("/p.php", "giving&hash=h1',");
    service.on(std::string(kClaimTarget) + "h1", std::vector<std::string>{gbk("您本周已经领过了！"), "ok", "", std::string(1, '\0')});
    run([&](QWidget *w) {
        MessageBoxes boxes;
        for (int i = 0; i < 4; ++i) choose(w, "领取15分钟");
        EXPECT_EQ((std::vector<std::string>{"对不起！这周已经领取了！！！", "领取成功！！！", "领取失败！请重试！！",
                                            "领取成功！！！"}),
                  boxes.texts);
    });
    EXPECT_EQ((std::vector<std::string>{"/p.php", "/p.php?class=giving&hash=h1", "/p.php", "/p.php?class=giving&hash=h1",
                                        "/p.php", "/p.php?class=giving&hash=h1", "/p.php", "/p.php?class=giving&hash=h1"}),
              service.targets());
}

}  // namespace
