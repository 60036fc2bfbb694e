// The PostgreSQL engine over libpq. Statements are prepared once per
// connection and run with bound values; results come back in binary form
// row by row (single-row mode), so a long listing is never held whole.
// Transactions are READ COMMITTED: a single statement whose changed-row count
// decides is exact as it is, and a check followed by a write is made one step
// by a transaction-scoped advisory lock taken before the check.
#include <libpq-fe.h>

#include <charconv>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "server/storage/engine.h"
#include "server/storage/records.h"
#include "server/storage/schemas.h"

namespace tolvar::server::storage {

namespace {

// Type numbers of the integer types in PostgreSQL's catalogue.
constexpr Oid int8_type = 20, int2_type = 21, int4_type = 23;

bool is_integer_type(Oid type) { return type == int8_type || type == int2_type || type == int4_type; }

int64_t big_endian(const char *bytes, int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    // Sign-extend the 2- and 4-byte types.
    if (size < 8 && size > 0 && (static_cast<unsigned char>(bytes[0]) & 0x80)) value |= ~uint64_t(0) << (8 * size);
    return static_cast<int64_t>(value);
}

class PostgresRow final : public SqlRow {
public:
    explicit PostgresRow(const PGresult *r) : r_(r) {}
    int64_t integer(int column) const override {
        const char *bytes = PQgetvalue(r_, 0, column);
        int size = PQgetlength(r_, 0, column);
        if (is_integer_type(PQftype(r_, column))) return big_endian(bytes, size);
        int64_t value = 0;
        std::from_chars(bytes, bytes + size, value);
        return value;
    }
    std::string text(int column) const override {
        if (is_integer_type(PQftype(r_, column))) return std::to_string(integer(column));
        return std::string(PQgetvalue(r_, 0, column), static_cast<size_t>(PQgetlength(r_, 0, column)));
    }
    bool is_null(int column) const override { return PQgetisnull(r_, 0, column) != 0; }

private:
    const PGresult *r_;
};

struct ResultDeleter {
    void operator()(PGresult *r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// A serialization failure or a deadlock: the transaction may be run again.
bool may_retry(const char *sqlstate) {
    return sqlstate && (std::strcmp(sqlstate, "40001") == 0 || std::strcmp(sqlstate, "40P01") == 0);
}

std::string trimmed(const char *message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Opens a connection; our defaults come before the URI's own parameters,
// which win over them. Keepalives find a server gone silent within a minute
// instead of the system's two hours, so no request thread waits on it longer.
PGconn *open_connection(const std::string &uri) {
    const char *keys[] = {"connect_timeout",  "application_name",   "client_encoding", "keepalives_idle",
                          "keepalives_interval", "keepalives_count", "dbname",          nullptr};
    const char *values[] = {"10", "tolvar-service", "UTF8", "30", "10", "3", uri.c_str(), nullptr};
    PGconn *conn = PQconnectdbParams(keys, values, 1);
    if (!conn) throw StorageError("cannot connect to PostgreSQL: out of memory");
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string message = trimmed(PQerrorMessage(conn));
        PQfinish(conn);
        throw StorageError("cannot connect to PostgreSQL: " + message);
    }
    return conn;
}

class PostgresConnection final : public SqlConnection {
public:
    explicit PostgresConnection(const std::string &uri) : conn_(open_connection(uri)) {
        // A lock waited for longer than SQLite's busy wait fails the request,
        // unless the operator chose a wait of their own.
        run_script("SELECT set_config('lock_timeout', '5s', false) WHERE current_setting('lock_timeout') = '0'");
    }
    ~PostgresConnection() override { PQfinish(conn_); }

    PGconn *handle() const { return conn_; }

    int64_t run(const char *sql, SqlValues values, const RowHandler &each) override {
        const std::string &name = prepared(sql);
        const size_t n = values.size();
        std::vector<std::string> integers(n);
        std::vector<const char *> texts(n);
        std::vector<int> lengths(n), formats(n);
        size_t i = 0;
        for (const SqlValue &v : values) {
            switch (v.kind()) {
            case SqlValue::Kind::null: texts[i] = nullptr; break;
            case SqlValue::Kind::integer:
                integers[i] = std::to_string(v.integer());
                texts[i] = integers[i].c_str();
                break;
            case SqlValue::Kind::text:
            case SqlValue::Kind::bytes:
                // Binary form: the bytes as they are, no escaping and no end mark.
                texts[i] = v.text().data() ? v.text().data() : "";
                lengths[i] = static_cast<int>(v.text().size());
                formats[i] = 1;
                break;
            }
            ++i;
        }
        if (!PQsendQueryPrepared(conn_, name.c_str(), static_cast<int>(n), texts.data(), lengths.data(),
                                 formats.data(), 1))
            throw StorageError("PostgreSQL: " + trimmed(PQerrorMessage(conn_)));
        PQsetSingleRowMode(conn_);

        // Every result is read to the end, whatever happens on the way, so the
        // connection is ready for the next statement.
        int64_t rows = 0, changed = 0;
        std::string error;
        bool retry = false;
        std::exception_ptr thrown;
        while (Result r{PQgetResult(conn_)}) {
            switch (PQresultStatus(r.get())) {
            case PGRES_SINGLE_TUPLE:
                ++rows;
                if (each && !thrown && error.empty()) {
                    try {
                        each(PostgresRow(r.get()));
                    } catch (...) {
                        thrown = std::current_exception();
                    }
                }
                break;
            case PGRES_TUPLES_OK:
            case PGRES_COMMAND_OK: {
                const char *count = PQcmdTuples(r.get());
                std::from_chars(count, count + std::strlen(count), changed);
                break;
            }
            default:
                if (error.empty()) {
                    error = trimmed(PQresultErrorMessage(r.get()));
                    retry = may_retry(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE));
                }
            }
        }
        if (!error.empty()) throw StorageError("PostgreSQL: " + error, retry);
        if (thrown) std::rethrow_exception(thrown);
        return rows > 0 ? rows : changed;
    }

    void run_script(const char *sql) override { check(Result{PQexec(conn_, sql)}); }

    void begin_write() override { run_script("BEGIN"); }
    void commit() override {
        Result r{PQexec(conn_, "COMMIT")};
        check(r);
        // A transaction that failed earlier ends in a rollback reported as success.
        if (std::strcmp(PQcmdStatus(r.get()), "COMMIT") != 0) throw StorageError("PostgreSQL: the transaction was rolled back");
    }
    void rollback() noexcept override {
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(PQexec(conn_, "ROLLBACK"));
    }

    void lock(LockKind kind, std::string_view name) override {
        execute(*this, "SELECT 1 FROM pg_advisory_xact_lock($1::integer, hashtext($2))",
                {static_cast<int>(kind), name});
    }

    std::optional<int64_t> next_member_id() override {
        auto id = first_integer(*this, "SELECT nextval('member_ids')");
        if (!id || *id < first_member_id || *id > last_member_id) return std::nullopt;
        return id;
    }

    bool reusable() const override {
        return PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) == PQTRANS_IDLE;
    }

private:
    const std::string &prepared(const char *sql) {
        auto found = statements_.find(sql);
        if (found != statements_.end()) return found->second;
        std::string name = "s" + std::to_string(statements_.size() + 1);
        check(Result{PQprepare(conn_, name.c_str(), sql, 0, nullptr)});
        return statements_.emplace(sql, std::move(name)).first->second;
    }

    void check(const Result &r) {
        if (!r) throw StorageError("PostgreSQL: " + trimmed(PQerrorMessage(conn_)));
        ExecStatusType status = PQresultStatus(r.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw StorageError("PostgreSQL: " + trimmed(PQresultErrorMessage(r.get())),
                               may_retry(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)));
    }

    PGconn *conn_;
    std::unordered_map<std::string, std::string> statements_;  // SQL text -> prepared statement's name
};

class PostgresEngine final : public Engine {
public:
    explicit PostgresEngine(std::string uri) : uri_(std::move(uri)) {
        // Connecting once at the start names the database, and an address
        // that does not work is an error now rather than at the first request.
        PostgresConnection first(uri_);
        PGconn *c = first.handle();
        const char *host = PQhost(c), *port = PQport(c);
        description_ = std::string("PostgreSQL database ") + PQdb(c) + " on " + (host && *host ? host : "localhost") +
                       (port && *port ? std::string(" port ") + port : "");
    }
    std::unique_ptr<SqlConnection> connect() override { return std::make_unique<PostgresConnection>(uri_); }
    const std::vector<SchemaVersion> &schema() const override { return postgresql_schema(); }
    std::string description() const override { return description_; }

private:
    std::string uri_;
    std::string description_;
};

}  // namespace

std::unique_ptr<Engine> postgresql_engine(const std::string &uri) { return std::make_unique<PostgresEngine>(uri); }

bool is_postgresql_address(std::string_view address) {
    return address.starts_with("postgresql://") || address.starts_with("postgres://");
}

}  // namespace tolvar::server::storage
