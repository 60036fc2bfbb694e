// The HTTP side: GNU libmicrohttpd reads requests on one thread with epoll,
// each connection within a bounded memory and a per-request deadline; whole
// requests go to a few worker threads that run the handlers, so a slow
// database call holds up no reading or writing.
#pragma once

#include <memory>

#include "server/options.h"
#include "server/request.h"

namespace tolvar::server {

// Threads that run handlers (each holds a database connection while it does).
inline constexpr int handler_threads = 8;

class HttpFront;

class HttpService {
public:
    // `ctx.settings` are the first settings (verbose too when `ctx.log` is);
    // `connection_limit` bounds the connections open at once.
    explicit HttpService(ServiceContext ctx, int64_t connection_limit = Options{}.connection_limit);
    ~HttpService();
    HttpService(const HttpService &) = delete;
    HttpService &operator=(const HttpService &) = delete;

    // The port bound (the one the system chose for port 0), or -1.
    int bind(const ListenAddress &address);
    // Serves until stop(); false if it could not.
    bool run();
    bool running() const;
    // Safe from any thread, also before run(): run() then returns at once.
    void stop();
    // New settings for the requests that come after; safe from any thread.
    void apply(const Settings &settings);

private:
    std::unique_ptr<HttpFront> front_;
};

}  // namespace tolvar::server
