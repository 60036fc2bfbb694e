#include "server/database.h"

#include "server/schema.h"

namespace tolvar::server {

static constexpr int busy_wait_milliseconds = 5000;

Connection::Connection(const std::string &path) {
    int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError("cannot open the database " + path + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busy_wait_milliseconds);
    Query wal(*this, "PRAGMA journal_mode = WAL");
    while (wal.next()) {
    }
    execute(*this, "PRAGMA synchronous = NORMAL");
    execute(*this, "PRAGMA foreign_keys = ON");
}

Connection::~Connection() {
    for (auto &[sql, s] : statements_) sqlite3_finalize(s);
    sqlite3_close(db_);
}

void Connection::fail(const char *what) {
    throw DatabaseError(std::string(what) + ": " + sqlite3_errmsg(db_));
}

sqlite3_stmt *Connection::statement(const char *sql) {
    auto found = statements_.find(sql);
    if (found != statements_.end()) return found->second;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) fail("prepare");
    statements_.emplace(sql, s);
    return s;
}

void bind_value(Connection &c, sqlite3_stmt *s, int index, int64_t value) {
    if (sqlite3_bind_int64(s, index, value) != SQLITE_OK) c.fail("bind");
}

void bind_value(Connection &c, sqlite3_stmt *s, int index, std::string_view value) {
    if (sqlite3_bind_text64(s, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK)
        c.fail("bind");
}

void bind_value(Connection &c, sqlite3_stmt *s, int index, Blob value) {
    if (sqlite3_bind_blob64(s, index, value.bytes.data(), value.bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK)
        c.fail("bind");
}

void bind_value(Connection &c, sqlite3_stmt *s, int index, std::nullopt_t) {
    if (sqlite3_bind_null(s, index) != SQLITE_OK) c.fail("bind");
}

Query::~Query() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
}

bool Query::next() {
    int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    c_.fail("step");
}

int64_t Query::integer(int column) const { return sqlite3_column_int64(s_, column); }

std::string Query::text(int column) const {
    const void *bytes = sqlite3_column_blob(s_, column);
    int size = sqlite3_column_bytes(s_, column);
    return bytes ? std::string(static_cast<const char *>(bytes), static_cast<size_t>(size)) : std::string();
}

bool Query::is_null(int column) const { return sqlite3_column_type(s_, column) == SQLITE_NULL; }

WriteTransaction::WriteTransaction(Connection &c) : c_(c) { execute(c_, "BEGIN IMMEDIATE"); }

WriteTransaction::~WriteTransaction() {
    if (done_) return;
    try {
        execute(c_, "ROLLBACK");
    } catch (const DatabaseError &) {
        // The transaction may already have been rolled back by SQLite itself.
    }
}

void WriteTransaction::commit() {
    execute(c_, "COMMIT");
    done_ = true;
}

Database::Database(std::string path) : path_(std::move(path)) {
    auto first = std::make_unique<Connection>(path_);
    create_schema(*first);
    idle_.push_back(std::move(first));
}

Database::Lease Database::lease() {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto c = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(c));
        }
    }
    return Lease(*this, std::make_unique<Connection>(path_));
}

void Database::give_back(std::unique_ptr<Connection> c) {
    if (!c) return;
    if (!sqlite3_get_autocommit(c->handle())) return;  // left inside a transaction: drop it
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(c));
}

}  // namespace tolvar::server
