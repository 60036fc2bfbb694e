// An HTTP server on 127.0.0.1 for tests that keeps every connection open after
// its reply, as an HTTP/1.1 server does unless told otherwise, and answers each
// request that comes on it with the same reply (GET requests: no body is read).
// It counts the connections it accepted. It stops when destroyed.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_server.h"

namespace tolvar::test {

class KeptConnectionServer {
public:
    explicit KeptConnectionServer(std::string reply) : reply_(std::move(reply)) {
        listen_fd_ = listen_on_loopback(port_);
        acceptor_ = std::thread([this] { accept_loop(); });
    }
    ~KeptConnectionServer() {
        stopping_ = true;
        acceptor_.join();
        for (auto &t : connections_) t.join();
        close(listen_fd_);
    }

    uint16_t port() const { return port_; }
    int connections() const { return accepted_; }
    // The head of every request, in the order they came.
    std::vector<std::string> heads() {
        std::lock_guard lock(mutex_);
        return heads_;
    }

private:
    void accept_loop() {
        while (!stopping_) {
            pollfd p{listen_fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++accepted_;
            connections_.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd) {
        std::string pending;
        char buffer[4096];
        while (!stopping_) {
            size_t end = pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                {
                    std::lock_guard lock(mutex_);
                    heads_.push_back(pending.substr(0, end));
                }
                pending.erase(0, end + 4);
                if (send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply_.size())) break;
                continue;
            }
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;  // the client closed the connection
            pending.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
    }

    std::string reply_;
    int listen_fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
    std::vector<std::thread> connections_;  // the acceptor's own
    std::mutex mutex_;
    std::vector<std::string> heads_;
};

}  // namespace tolvar::test
