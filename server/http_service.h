// The HTTP side: cpp-httplib on the listening address, each request turned
// into a ServiceRequest for its handler and each Reply into the response.
#pragma once

#include <memory>

#include "server/options.h"
#include "server/request.h"

namespace tolvar::server {

class ListeningServer;

inline constexpr size_t largest_body = 64 * 1024;
inline constexpr int request_threads = 32;

class HttpService {
public:
    explicit HttpService(ServiceContext ctx);
    ~HttpService();
    HttpService(const HttpService &) = delete;
    HttpService &operator=(const HttpService &) = delete;

    // The port bound (the one the system chose for port 0), or -1.
    int bind(const ListenAddress &address);
    // Serves until stop(); false if it could not.
    bool run();
    bool running() const;
    // Safe from any thread once running() is true.
    void stop();

private:
    ServiceContext ctx_;
    std::unique_ptr<ListeningServer> server_;
};

}  // namespace tolvar::server
