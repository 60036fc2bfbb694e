#include "server/storage/connection_pool.h"

namespace tolvar::server::storage {

ConnectionPool::ConnectionPool(Connect connect, size_t most) : connect_(std::move(connect)), most_(most) {}

ConnectionPool::Lease ConnectionPool::lease() {
    {
        std::unique_lock lock(mutex_);
        returned_.wait(lock, [&] { return !idle_.empty() || open_ < most_; });
        if (!idle_.empty()) {
            auto c = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(c));
        }
        ++open_;
    }
    try {
        return Lease(*this, connect_());
    } catch (...) {
        std::lock_guard lock(mutex_);
        --open_;
        returned_.notify_one();
        throw;
    }
}

void ConnectionPool::give_back(std::unique_ptr<SqlConnection> c) {
    std::vector<std::unique_ptr<SqlConnection>> closing;  // closed outside the lock
    std::lock_guard lock(mutex_);
    if (c && c->reusable()) {
        idle_.push_back(std::move(c));
        returned_.notify_one();
        return;
    }
    // A connection that broke most often broke with its server (a restart, a
    // fail-over): the idle ones went with it, so they are closed too rather
    // than failing one request each.
    closing.push_back(std::move(c));
    for (auto &idle : idle_) closing.push_back(std::move(idle));
    open_ -= closing.size();
    idle_.clear();
    returned_.notify_all();
}

}  // namespace tolvar::server::storage
