// Connections for the request threads: one is lent out per storage operation
// and comes back when the lease ends; one left broken or inside a transaction
// is closed instead, and the idle ones with it. At most `most` are open at
// once; a lease waits for one to come back rather than opening more.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "server/storage/sql.h"

namespace tolvar::server::storage {

class ConnectionPool {
public:
    using Connect = std::function<std::unique_ptr<SqlConnection>()>;
    ConnectionPool(Connect connect, size_t most);
    ConnectionPool(const ConnectionPool &) = delete;
    ConnectionPool &operator=(const ConnectionPool &) = delete;

    class Lease {
    public:
        Lease(ConnectionPool &pool, std::unique_ptr<SqlConnection> c) : pool_(pool), c_(std::move(c)) {}
        ~Lease() { pool_.give_back(std::move(c_)); }
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        SqlConnection &operator*() { return *c_; }
        SqlConnection *operator->() { return c_.get(); }

    private:
        ConnectionPool &pool_;
        std::unique_ptr<SqlConnection> c_;
    };

    Lease lease();

private:
    void give_back(std::unique_ptr<SqlConnection> c);

    Connect connect_;
    size_t most_;
    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<SqlConnection>> idle_;
    size_t open_ = 0;  // lent out or idle
};

}  // namespace tolvar::server::storage
