// SQLite access: connections with their prepared statements kept for reuse,
// a pool of them for the request threads, queries with bound values and
// write transactions. Every statement is prepared; values are always bound.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace tolvar::server {

class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bytes stored as a BLOB rather than as text.
struct Blob {
    std::string_view bytes;
};

class Connection {
public:
    explicit Connection(const std::string &path);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // The statement for `sql`, prepared on first use and kept.
    sqlite3_stmt *statement(const char *sql);
    sqlite3 *handle() { return db_; }
    [[noreturn]] void fail(const char *what);

private:
    sqlite3 *db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt *> statements_;
};

void bind_value(Connection &c, sqlite3_stmt *s, int index, int64_t value);
void bind_value(Connection &c, sqlite3_stmt *s, int index, std::string_view value);
void bind_value(Connection &c, sqlite3_stmt *s, int index, Blob value);
void bind_value(Connection &c, sqlite3_stmt *s, int index, std::nullopt_t);

template <class T>
void bind_any(Connection &c, sqlite3_stmt *s, int index, const T &value) {
    if constexpr (std::is_integral_v<T>)
        bind_value(c, s, index, static_cast<int64_t>(value));
    else if constexpr (std::is_same_v<T, std::optional<std::string>> || std::is_same_v<T, std::optional<int64_t>>) {
        if (value)
            bind_any(c, s, index, *value);
        else
            bind_value(c, s, index, std::nullopt);
    } else if constexpr (std::is_same_v<T, Blob> || std::is_same_v<T, std::nullopt_t>)
        bind_value(c, s, index, value);
    else
        bind_value(c, s, index, std::string_view(value));
}

// One run of a kept statement; the statement is reset when the query ends.
class Query {
public:
    template <class... Args>
    Query(Connection &c, const char *sql, const Args &...args) : c_(c), s_(c.statement(sql)) {
        int index = 0;
        (bind_any(c_, s_, ++index, args), ...);
    }
    ~Query();
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    bool next();  // true while there is a row
    int64_t integer(int column) const;
    std::string text(int column) const;
    bool is_null(int column) const;

private:
    Connection &c_;
    sqlite3_stmt *s_;
};

// Runs a statement to its end; the number of rows it changed.
template <class... Args>
int64_t execute(Connection &c, const char *sql, const Args &...args) {
    Query q(c, sql, args...);
    while (q.next()) {
    }
    return sqlite3_changes64(c.handle());
}

// BEGIN IMMEDIATE: the write lock is taken at the start, so two writers wait
// for each other instead of failing half-way. Rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(Connection &c);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    void commit();

private:
    Connection &c_;
    bool done_ = false;
};

// Connections for the request threads: one is lent out per request and comes
// back when the lease ends. The first opening sets up the schema.
class Database {
public:
    explicit Database(std::string path);
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    class Lease {
    public:
        Lease(Database &db, std::unique_ptr<Connection> c) : db_(db), c_(std::move(c)) {}
        ~Lease() { db_.give_back(std::move(c_)); }
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        Connection &operator*() { return *c_; }
        Connection *operator->() { return c_.get(); }

    private:
        Database &db_;
        std::unique_ptr<Connection> c_;
    };

    Lease lease();
    const std::string &path() const { return path_; }

private:
    void give_back(std::unique_ptr<Connection> c);

    std::string path_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

}  // namespace tolvar::server
