// A scripted HTTP server on 127.0.0.1 for tests: it records every request's
// exact bytes and answers each with what the test's handler writes, one thread
// per connection (so a nested exchange can run while another reply drips).
// It stops, and closes its sockets, when it is destroyed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvar::test {

// A listening socket on 127.0.0.1 at a free port, which goes to `port`;
// `flags` are added to the socket's type (SOCK_NONBLOCK for a polling server).
inline int listen_on_loopback(uint16_t &port, int backlog = 16, int flags = 0) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    listen(fd, backlog);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

struct HttpRequest {
    std::string raw;   // head and body, exactly as received
    std::string head;  // request line and header lines, up to the blank line
    std::string body;
    std::string request_line() const { return head.substr(0, head.find("\r\n")); }
};

class ServerConnection {
public:
    explicit ServerConnection(int fd) : fd_(fd) {}
    void send(const std::string &bytes) {
        size_t at = 0;
        while (at < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0) return;
            at += static_cast<size_t>(n);
        }
    }
    // A whole reply with the given status, extra header lines and body.
    void reply(const std::string &body, const std::string &headers = "", const std::string &status = "200 OK") {
        send("HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers +
             "Connection: close\r\n\r\n" + body);
    }
    void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
    // Ends the connection with a reset instead of an orderly close.
    void reset() {
        linger l{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }

private:
    int fd_;
};

class LoopbackServer {
public:
    using Handler = std::function<void(const HttpRequest &, ServerConnection &)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
        listen_fd_ = listen_on_loopback(port_);
        acceptor_ = std::thread([this] { accept_loop(); });
    }

    ~LoopbackServer() {
        stopping_ = true;
        acceptor_.join();
        close(listen_fd_);
        for (auto &c : connections_) c.thread.join();
    }

    uint16_t port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

    std::vector<HttpRequest> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Threads of connections that have ended are joined as new ones come, so
    // a long run (a benchmark) keeps only the live ones.
    void join_finished() {
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (*it->done) {
                it->thread.join();
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void accept_loop() {
        while (!stopping_) {
            pollfd p{listen_fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::lock_guard lock(mutex_);
            join_finished();
            auto done = std::make_shared<std::atomic<bool>>(false);
            connections_.push_back({std::thread([this, fd, done] {
                                        serve(fd);
                                        *done = true;
                                    }),
                                    done});
        }
    }

    void serve(int fd) {
        HttpRequest request;
        if (read_request(fd, request)) {
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            ServerConnection connection(fd);
            handler_(request, connection);
        }
        close(fd);
    }

    bool read_request(int fd, HttpRequest &request) {
        char buffer[65536];
        size_t body_length = 0;
        bool have_head = false;
        auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < give_up && !stopping_) {
            if (have_head && request.raw.size() >= request.head.size() + 4 + body_length) break;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return have_head;
            request.raw.append(buffer, static_cast<size_t>(n));
            if (!have_head) {
                size_t end = request.raw.find("\r\n\r\n");
                if (end == std::string::npos) continue;
                have_head = true;
                request.head = request.raw.substr(0, end);
                std::string lower = request.head;
                for (auto &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                size_t cl = lower.find("\r\ncontent-length:");
                if (cl != std::string::npos) body_length = std::stoul(request.head.substr(cl + 17));
            }
        }
        request.body = request.raw.substr(std::min(request.raw.size(), request.head.size() + 4));
        return have_head;
    }

    Handler handler_;
    int listen_fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<Connection> connections_;
    std::vector<HttpRequest> requests_;
};

}  // namespace tolvar::test
