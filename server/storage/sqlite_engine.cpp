// The SQLite engine: one database file in WAL mode, shared by any number of
// connections and processes. A write transaction takes the file's write lock
// at its start (BEGIN IMMEDIATE), so writers take turns and every check made
// inside one still holds when its write commits.
#include <sqlite3.h>

#include <unordered_map>

#include "server/storage/engine.h"
#include "server/storage/records.h"
#include "server/storage/schemas.h"

namespace tolvar::server::storage {

namespace {

constexpr int busy_wait_milliseconds = 5000;

// The statement with its $N placeholders written as SQLite's ?N.
std::string with_sqlite_placeholders(std::string_view sql) {
    std::string out(sql);
    bool quoted = false;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\'') quoted = !quoted;
        else if (!quoted && out[i] == '$' && i + 1 < out.size() && out[i + 1] >= '0' && out[i + 1] <= '9')
            out[i] = '?';
    }
    return out;
}

class SqliteRow final : public SqlRow {
public:
    explicit SqliteRow(sqlite3_stmt *s) : s_(s) {}
    int64_t integer(int column) const override { return sqlite3_column_int64(s_, column); }
    std::string text(int column) const override {
        const void *bytes = sqlite3_column_blob(s_, column);
        int size = sqlite3_column_bytes(s_, column);
        return bytes ? std::string(static_cast<const char *>(bytes), static_cast<size_t>(size)) : std::string();
    }
    bool is_null(int column) const override { return sqlite3_column_type(s_, column) == SQLITE_NULL; }

private:
    sqlite3_stmt *s_;
};

class SqliteConnection final : public SqlConnection {
public:
    explicit SqliteConnection(const std::string &path) {
        int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) {
            std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StorageError("cannot open the database " + path + ": " + message);
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, busy_wait_milliseconds);
        run_script("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON");
    }
    ~SqliteConnection() override {
        for (auto &[sql, s] : statements_) sqlite3_finalize(s);
        sqlite3_close(db_);
    }

    int64_t run(const char *sql, SqlValues values, const RowHandler &each) override {
        sqlite3_stmt *s = statement(sql);
        struct Reset {
            sqlite3_stmt *s;
            ~Reset() {
                sqlite3_reset(s);
                sqlite3_clear_bindings(s);
            }
        } reset{s};
        int index = 0;
        for (const SqlValue &v : values) bind(s, ++index, v);
        int64_t rows = 0;
        for (;;) {
            int rc = sqlite3_step(s);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) fail("step");
            ++rows;
            if (each) each(SqliteRow(s));
        }
        return rows > 0 || sqlite3_stmt_readonly(s) ? rows : sqlite3_changes64(db_);
    }

    void run_script(const char *sql) override {
        char *message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            std::string text = message ? message : sqlite3_errmsg(db_);
            sqlite3_free(message);
            throw StorageError(text);
        }
    }

    void begin_write() override { run_script("BEGIN IMMEDIATE"); }
    void commit() override { run_script("COMMIT"); }
    void rollback() noexcept override {
        // SQLite may have rolled the transaction back itself already.
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

    void lock(LockKind, std::string_view) override {}

    std::optional<int64_t> next_member_id() override {
        // Safe because the write transaction excludes every other writer.
        auto id = first_integer(*this, "SELECT COALESCE(MAX(id) + 1, $1) FROM members", {first_member_id});
        if (!id || *id > last_member_id) return std::nullopt;
        return id;
    }

    bool reusable() const override { return sqlite3_get_autocommit(db_) != 0; }

private:
    sqlite3_stmt *statement(const char *sql) {
        auto found = statements_.find(sql);
        if (found != statements_.end()) return found->second;
        std::string text = with_sqlite_placeholders(sql);
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v3(db_, text.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
            fail("prepare");
        statements_.emplace(sql, s);
        return s;
    }

    void bind(sqlite3_stmt *s, int index, const SqlValue &v) {
        int rc = SQLITE_OK;
        switch (v.kind()) {
        case SqlValue::Kind::null: rc = sqlite3_bind_null(s, index); break;
        case SqlValue::Kind::integer: rc = sqlite3_bind_int64(s, index, v.integer()); break;
        case SqlValue::Kind::text:
            rc = sqlite3_bind_text64(s, index, v.text().data(), v.text().size(), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        case SqlValue::Kind::bytes:
            rc = sqlite3_bind_blob64(s, index, v.text().data(), v.text().size(), SQLITE_TRANSIENT);
            break;
        }
        if (rc != SQLITE_OK) fail("bind");
    }

    [[noreturn]] void fail(const char *what) { throw StorageError(std::string(what) + ": " + sqlite3_errmsg(db_)); }

    sqlite3 *db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt *> statements_;
};

class SqliteEngine final : public Engine {
public:
    explicit SqliteEngine(std::string path) : path_(std::move(path)) {}
    std::unique_ptr<SqlConnection> connect() override { return std::make_unique<SqliteConnection>(path_); }
    const std::vector<SchemaVersion> &schema() const override { return sqlite_schema(); }
    std::string description() const override { return path_; }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<Engine> sqlite_engine(const std::string &path) { return std::make_unique<SqliteEngine>(path); }

}  // namespace tolvar::server::storage
