// What the storage layer needs of a SQL database, whichever engine it is:
// statements with values bound to $1, $2, ... (never built from values),
// rows read column by column, write transactions, and locks that make a check
// and the write that follows it one step. Each engine (SQLite, PostgreSQL)
// implements it once; the service's operations are written over it once.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tolvar::server::storage {

class StorageError : public std::runtime_error {
public:
    // `retry`: the transaction lost a race with another one (a serialization
    // failure or a deadlock) and may be run again from its start.
    explicit StorageError(const std::string &what, bool retry = false) : std::runtime_error(what), retry_(retry) {}
    bool retry() const { return retry_; }

private:
    bool retry_;
};

// Bytes stored as they are (a BLOB, a bytea), not as text.
struct Bytes {
    std::string_view bytes;
};

// One value bound to a statement. Texts and bytes are viewed, not copied:
// they must outlive the statement's run.
class SqlValue {
public:
    enum class Kind { null, integer, text, bytes };

    SqlValue(std::nullopt_t) {}
    template <std::integral I>
    SqlValue(I value) : kind_(Kind::integer), integer_(static_cast<int64_t>(value)) {}
    SqlValue(std::string_view text) : kind_(Kind::text), text_(text) {}
    SqlValue(const std::string &text) : SqlValue(std::string_view(text)) {}
    SqlValue(const char *text) : SqlValue(std::string_view(text)) {}
    SqlValue(const std::optional<std::string> &text) {
        if (text) *this = SqlValue(std::string_view(*text));
    }
    SqlValue(Bytes bytes) : kind_(Kind::bytes), text_(bytes.bytes) {}

    Kind kind() const { return kind_; }
    int64_t integer() const { return integer_; }
    std::string_view text() const { return text_; }  // the bytes of a text or bytes value

private:
    Kind kind_ = Kind::null;
    int64_t integer_ = 0;
    std::string_view text_;
};

using SqlValues = std::initializer_list<SqlValue>;

// A row of a result; valid only inside the call that hands it over.
class SqlRow {
public:
    virtual int64_t integer(int column) const = 0;
    virtual std::string text(int column) const = 0;  // text or bytes, as stored
    virtual bool is_null(int column) const = 0;

protected:
    ~SqlRow() = default;
};

using RowHandler = std::function<void(const SqlRow &)>;

// What a lock is taken on; with the name it forms the lock's key.
enum class LockKind : int {
    schema = 1,         // creating or upgrading the tables
    voice_number = 2,   // a number's voice code and rings
    voice_network = 3,  // the rings asked for from one client network
};

class SqlConnection {
public:
    virtual ~SqlConnection() = default;

    // Runs one statement (prepared on first use and kept), calling `each` for
    // every row it gives. The number of rows it changed, or of the rows it
    // gave when it changes nothing or has a RETURNING clause.
    virtual int64_t run(const char *sql, SqlValues values, const RowHandler &each) = 0;

    // Runs statements without values and without keeping them (schema changes).
    virtual void run_script(const char *sql) = 0;

    // A transaction that will write: on SQLite it holds the database's write
    // lock from its start, on PostgreSQL it is an ordinary READ COMMITTED one.
    virtual void begin_write() = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;

    // Until the transaction ends, no other transaction takes the same lock.
    // On SQLite every write transaction already excludes all others.
    virtual void lock(LockKind kind, std::string_view name) = 0;

    // A member id never given before, inside a write transaction; empty when
    // the 6-digit ids are used up.
    virtual std::optional<int64_t> next_member_id() = 0;

    // Outside a transaction and in working order: fit to serve the next request.
    virtual bool reusable() const = 0;
};

inline int64_t execute(SqlConnection &c, const char *sql, SqlValues values = {}) { return c.run(sql, values, {}); }

// The first column of the first row as an integer, if there is a row.
std::optional<int64_t> first_integer(SqlConnection &c, const char *sql, SqlValues values = {});

// Commits when told to, rolls back otherwise.
class WriteTransaction {
public:
    explicit WriteTransaction(SqlConnection &c) : c_(c) { c_.begin_write(); }
    ~WriteTransaction() {
        if (!done_) c_.rollback();
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    void commit() {
        c_.commit();
        done_ = true;
    }

private:
    SqlConnection &c_;
    bool done_ = false;
};

}  // namespace tolvar::server::storage
