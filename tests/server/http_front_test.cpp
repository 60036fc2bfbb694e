// The HTTP front against hostile clients: connections that send a byte at a
// time, header blocks beyond the bounds, malformed heads, too many
// connections from one network; and kept connections answered without delay.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>

#include "tests/server/service_harness.h"

using namespace tolvar::test;
using Clock = std::chrono::steady_clock;

namespace {

// A connection to the service from the loopback address `source`.
int open_connection(int port, const std::string &source = "127.0.0.1") {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool send_all(int fd, std::string_view bytes) {
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Whether the service closed the connection within `wait` (without a reply).
bool closed_by_service(int fd, std::chrono::milliseconds wait) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(wait.count())) <= 0) return false;
    char byte;
    return recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
}

// One whole reply from a kept connection, or a reply with status 0.
RawReply next_reply(int fd, std::string &pending, std::chrono::milliseconds wait = std::chrono::seconds(5)) {
    auto give_up = Clock::now() + wait;
    while (Clock::now() < give_up) {
        size_t end = pending.find("\r\n\r\n");
        if (end != std::string::npos) {
            RawReply reply;
            reply.head = pending.substr(0, end);
            std::string length = reply.header("Content-Length");
            size_t size = length.empty() ? 0 : std::stoul(length);
            if (pending.size() >= end + 4 + size) {
                reply.body = pending.substr(end + 4, size);
                reply.status = std::stoi(reply.head.substr(9, 3));
                reply.complete = true;
                pending.erase(0, end + 4 + size);
                return reply;
            }
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        char buffer[65536];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        pending.append(buffer, static_cast<size_t>(n));
    }
    return {};
}

std::string head_with(const std::string &host, size_t lines, size_t line_bytes) {
    std::string head = "GET /ip.php HTTP/1.1\r\nHost: " + host + "\r\n";
    for (size_t i = 1; i < lines; ++i) {
        std::string name = "X-Fill-" + std::to_string(i) + ": ";
        head += name + std::string(line_bytes > name.size() + 2 ? line_bytes - name.size() - 2 : 1, 'a') + "\r\n";
    }
    return head + "\r\n";
}

long status_kib(pid_t pid, const char *field) {
    std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find(field);
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + std::strlen(field));
}

}  // namespace

TEST(HttpFront, ConnectionsSendingAByteAtATimeHoldUpNobodyAndAreCutAtTheRequestDeadline) {
    TestService service;
    tolvar::server::Settings settings;
    settings.connections_per_network = 0;  // all 200 from this machine are let in
    settings.request_timeout = 3;
    service.apply(settings);
    std::vector<int> slow;
    for (int i = 0; i < 200; ++i) {
        int fd = open_connection(service.port());
        ASSERT_GE(fd, 0);
        send_all(fd, "GET /ip.php HTTP/1.1\r\nHost: x\r\nX-Slow: ");
        slow.push_back(fd);
    }
    auto attack_started = Clock::now();
    std::atomic<bool> dripping{true};
    // A byte every half second from each: a time-out per read never fires.
    std::thread dripper([&] {
        while (dripping) {
            for (int fd : slow) send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    });
    int answered = 0, probes = 0;
    while (Clock::now() - attack_started < std::chrono::milliseconds(2500)) {
        ++probes;
        auto start = Clock::now();
        RawReply echo = round_trip(service.port(), client_request("GET", service.host(), "/ip.php"));
        bool in_time = Clock::now() - start < std::chrono::seconds(1);
        answered += echo.status == 200 && contains(echo.body, "<h2>127.0.0.1</h2>") && in_time;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(probes, answered) << "normal requests answered within a second while 200 connections drip";

    // Past the deadline every slow connection is closed, though each still sends.
    int cut = 0;
    auto give_up = attack_started + std::chrono::seconds(8);
    for (int fd : slow) cut += closed_by_service(fd, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                          std::max(give_up - Clock::now(), Clock::duration::zero())));
    dripping = false;
    dripper.join();
    EXPECT_EQ(200, cut);
    EXPECT_GE(Clock::now() - attack_started, std::chrono::seconds(3));
    for (int fd : slow) close(fd);
}

TEST(HttpFront, HeaderBlocksBeyondTheBoundsAreRefusedAndWithinThemAnswered) {
    TestService service;
    std::string host = service.host();
    RawReply lines_ok = round_trip(service.port(), head_with(host, 100, 40));
    EXPECT_EQ(200, lines_ok.status);
    RawReply too_many = round_trip(service.port(), head_with(host, 101, 40));
    EXPECT_EQ(431, too_many.status);
    EXPECT_EQ("close", too_many.header("Connection"));
    EXPECT_EQ("text/html; charset=gb2312", too_many.header("Content-Type"));
    EXPECT_LT(too_many.body.size(), 101u);  // a failure by every test of the client
    // A head of 16 KiB, request line to blank line: answered; a byte more: refused.
    std::string at_bound = head_with(host, 16, 1000);
    at_bound.insert(at_bound.size() - 2, "X-Pad: " + std::string(16 * 1024 - at_bound.size() - 9, 'b') + "\r\n");
    ASSERT_EQ(16u * 1024, at_bound.size());
    EXPECT_EQ(200, round_trip(service.port(), at_bound).status);
    EXPECT_EQ(431, round_trip(service.port(), at_bound.insert(at_bound.size() - 4, "b")).status);
    // A block far beyond: refused by the reader itself, which holds no more.
    EXPECT_EQ(431, round_trip(service.port(), head_with(host, 200, 1000)).status);

    tolvar::server::Settings tighter;
    tighter.header_lines = 20;
    service.apply(tighter);
    EXPECT_EQ(431, round_trip(service.port(), head_with(host, 21, 40)).status);
    EXPECT_EQ(200, round_trip(service.port(), head_with(host, 20, 40)).status);

    // The largest bounds the settings allow still fit the reader's memory:
    // the refusal just past them is the service's own page.
    tolvar::server::Settings largest;
    largest.header_lines = 200;
    service.apply(largest);
    std::string most_lines = head_with(host, 200, 78);
    ASSERT_LE(most_lines.size(), 16u * 1024);
    EXPECT_EQ(200, round_trip(service.port(), most_lines).status);
    RawReply past = round_trip(service.port(), head_with(host, 201, 78));
    EXPECT_EQ(431, past.status);
    EXPECT_EQ("text/html; charset=gb2312", past.header("Content-Type"));
}

TEST(HttpFront, HugeHeaderBlocksAreCutOffEarlyAndTheServicesMemoryStaysBounded) {
    ScratchDir dir;
    std::string db = (dir.path() / "t.db").string(), log = (dir.path() / "service.log").string();
    ProcessResult result = run_process(
        {TOLVAR_SERVICE, "--listen", "127.0.0.1:0", "--db", db, "--log", log}, {}, [&](pid_t pid) {
            std::smatch m;
            int port = 0;
            for (int i = 0; i < 500 && port == 0; ++i) {
                std::string text = read_file(log);
                if (std::regex_search(text, m, std::regex("listening on http://127\\.0\\.0\\.1:([0-9]+)")))
                    port = std::stoi(m[1]);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ASSERT_GT(port, 0);
            round_trip(port, client_request("GET", "x", "/verifycode.php"));
            long before = status_kib(pid, "VmRSS:");
            // Eight requests at once, each offering 100 MB of header lines.
            std::vector<size_t> sent(8, 0);
            std::vector<int> statuses(8, 0);
            std::vector<std::thread> senders;
            for (int i = 0; i < 8; ++i)
                senders.emplace_back([&, i] {
                    int fd = open_connection(port);
                    std::string block;
                    for (int k = 0; k < 64; ++k) block += "X-Fill: " + std::string(990, 'a') + "\r\n";
                    send_all(fd, "GET /ip.php HTTP/1.1\r\nHost: x\r\n");
                    while (sent[i] < 100u * 1000 * 1000 && send_all(fd, block)) sent[i] += block.size();
                    std::string pending;
                    statuses[i] = next_reply(fd, pending, std::chrono::seconds(2)).status;
                    close(fd);
                });
            for (auto &t : senders) t.join();
            long peak = status_kib(pid, "VmHWM:");
            for (int i = 0; i < 8; ++i) {
                EXPECT_LT(sent[i], 4u * 1024 * 1024) << "the service kept reading request " << i;
                EXPECT_TRUE(statuses[i] == 431 || statuses[i] == 0) << statuses[i];
            }
            EXPECT_LT(peak - before, 32 * 1024) << "resident KiB before " << before << ", peak " << peak;
            // And it goes on serving.
            EXPECT_EQ(200, round_trip(port, client_request("GET", "x", "/ip.php")).status);
            kill(pid, SIGTERM);
        });
    EXPECT_EQ(0, result.status) << result.err;
}

TEST(HttpFront, ConflictingLengthsLinesWithoutAColonAndBadNamesAreRefused) {
    TestService service;
    std::string host = service.host();
    auto status = [&](const std::string &bytes) { return round_trip(service.port(), bytes).status; };
    EXPECT_EQ(400, status("POST /url.php HTTP/1.1\r\nHost: " + host +
                          "\r\nContent-Length: 14\r\nContent-Length: 5\r\n\r\naction=balance"));
    EXPECT_EQ(400, status("POST /url.php HTTP/1.1\r\nHost: " + host + "\r\nContent-Length: 14\r\nContent-Length: +14\r\n"
                          "\r\naction=balance"));
    EXPECT_EQ(200, status("POST /url.php HTTP/1.1\r\nHost: " + host +
                          "\r\nContent-Length: 14\r\nContent-Length: 14\r\n\r\naction=balance"));
    EXPECT_EQ(400, status("GET /ip.php HTTP/1.1\r\nHost: " + host + "\r\nNo colon in this line\r\n\r\n"));
    EXPECT_EQ(400, status("GET /ip.php HTTP/1.1\r\nHost: " + host + "\r\nBad Name: v\r\n\r\n"));
    EXPECT_EQ(411, status("GET /ip.php HTTP/1.1\r\nHost: " + host + "\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"));
    // A refused head ends its connection: what follows it is not read as a request.
    int fd = open_connection(service.port());
    std::string pending;
    send_all(fd, "POST /url.php HTTP/1.1\r\nHost: " + host + "\r\nContent-Length: 30\r\nContent-Length: 0\r\n\r\n"
                 "GET /ip.php HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(400, next_reply(fd, pending).status);
    EXPECT_FALSE(next_reply(fd, pending, std::chrono::milliseconds(300)).complete);
    close(fd);
}

// A reply held back by Nagle's algorithm on a kept connection waits for the
// client's delayed ACK, about 40 ms: the service's end of every connection
// sends at once (TCP_NODELAY). The service runs in this process, so its end is
// found among this process's descriptors by the two addresses.
TEST(HttpFront, KeptConnectionsGetEachReplyWithoutWaitingForADelayedAcknowledgement) {
    TestService service;
    int fd = open_connection(service.port());
    ASSERT_GE(fd, 0);
    std::string pending;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(send_all(fd, client_request("GET", service.host(), "/ip.php")));
        ASSERT_EQ(200, next_reply(fd, pending).status) << i;
    }
    sockaddr_in client{};
    socklen_t length = sizeof client;
    ASSERT_EQ(0, getsockname(fd, reinterpret_cast<sockaddr *>(&client), &length));
    int service_end = -1, nodelay = -1;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        int other = std::atoi(entry.path().filename().c_str());
        sockaddr_in local{}, peer{};
        socklen_t local_length = sizeof local, peer_length = sizeof peer;
        if (other == fd || getsockname(other, reinterpret_cast<sockaddr *>(&local), &local_length) != 0 ||
            getpeername(other, reinterpret_cast<sockaddr *>(&peer), &peer_length) != 0 || local.sin_family != AF_INET ||
            ntohs(local.sin_port) != service.port() || peer.sin_port != client.sin_port)
            continue;
        service_end = other;
        socklen_t size = sizeof nodelay;
        getsockopt(other, IPPROTO_TCP, TCP_NODELAY, &nodelay, &size);
    }
    close(fd);
    ASSERT_GE(service_end, 0) << "the service's end of the connection was not found";
    EXPECT_EQ(1, nodelay);
}

TEST(HttpFront, ANetworkHoldsAtMostItsShareOfConnectionsExceptATrustedProxy) {
    TestService service;
    tolvar::server::Settings settings;
    settings.connections_per_network = 4;
    settings.trusted_proxies = {"127.0.0.1"};
    service.apply(settings);
    std::vector<int> held;
    for (int i = 0; i < 4; ++i) held.push_back(open_connection(service.port(), "127.0.0." + std::to_string(2 + i)));
    // The fifth from the same /24 is closed at once, without a reply.
    int fifth = open_connection(service.port(), "127.0.0.9");
    send_all(fifth, client_request("GET", service.host(), "/ip.php"));
    std::string pending;
    EXPECT_FALSE(next_reply(fifth, pending, std::chrono::seconds(1)).complete);
    close(fifth);
    // The trusted proxy is not counted, and what it forwards is still answered.
    RawReply proxied = round_trip(service.port(), "GET /ip.php HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 10.9.8.7\r\n\r\n");
    EXPECT_TRUE(contains(proxied.body, "<h2>10.9.8.7</h2>")) << proxied.body;
    // A held connection does its request, ends, and makes room.
    send_all(held[0], client_request("GET", service.host(), "/ip.php"));
    EXPECT_EQ(200, next_reply(held[0], pending).status);
    close(held[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RawReply again = round_trip(service.port(), client_request("GET", service.host(), "/ip.php"), "127.0.0.9");
    EXPECT_TRUE(contains(again.body, "<h2>127.0.0.9</h2>")) << again.body;
    for (size_t i = 1; i < held.size(); ++i) close(held[i]);
}

TEST(HttpFront, AnIpv6AddressIsListenedOn) {
    TestDatabase database;
    tolvar::server::Storage storage(database.address());
    tolvar::server::Log log;
    tolvar::server::HttpService service(tolvar::server::ServiceContext{storage, log, [] { return test_start_time; }});
    int probe = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 loopback{};
    loopback.sin6_family = AF_INET6;
    loopback.sin6_addr = in6addr_loopback;
    bool have_ipv6 = probe >= 0 && bind(probe, reinterpret_cast<sockaddr *>(&loopback), sizeof loopback) == 0;
    if (probe >= 0) close(probe);
    if (!have_ipv6) GTEST_SKIP() << "no IPv6 loopback here";
    int port = service.bind({"::1", 0});
    ASSERT_GT(port, 0);
    std::thread serving([&] { service.run(); });
    int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_addr = in6addr_loopback;
    addr.sin6_port = htons(static_cast<uint16_t>(port));
    ASSERT_EQ(0, connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
    send_all(fd, "GET /ip.php HTTP/1.1\r\nHost: [::1]\r\n\r\n");
    std::string pending;
    RawReply echo = next_reply(fd, pending);
    EXPECT_TRUE(contains(echo.body, "<h2>::1</h2>")) << echo.body;
    close(fd);
    service.stop();
    serving.join();
}
