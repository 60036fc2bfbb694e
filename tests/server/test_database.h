// The database a test runs the service on: a SQLite file in a scratch folder,
// or, when TOLVAR_TEST_POSTGRES names a file (which holds the address of the
// PostgreSQL cluster the test run started), a fresh database in that cluster,
// dropped again at the end. Tests look into it with the engine's own client
// library, not through the service's storage.
#pragma once

#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <optional>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tests/support/process.h"

namespace tolvar::test {

inline bool testing_postgresql() {
    const char *file = std::getenv("TOLVAR_TEST_POSTGRES");
    return file && *file;
}

// An open connection to the database a service uses, either engine, for
// looking at its rows from outside the service.
class SqlPeek {
public:
    explicit SqlPeek(const std::string &address) {
        if (address.starts_with("postgresql://")) {
            pg_ = PQconnectdb(address.c_str());
            if (PQstatus(pg_) != CONNECTION_OK) fail(PQerrorMessage(pg_), "connect");
        } else if (sqlite3_open(address.c_str(), &sqlite_) != SQLITE_OK) {
            fail(sqlite3_errmsg(sqlite_), "open");
        } else {
            sqlite3_busy_timeout(sqlite_, 5000);
        }
    }
    ~SqlPeek() {
        for (auto &[sql, s] : statements_) sqlite3_finalize(s);
        if (pg_) PQfinish(pg_);
        if (sqlite_) sqlite3_close(sqlite_);
    }
    SqlPeek(const SqlPeek &) = delete;
    SqlPeek &operator=(const SqlPeek &) = delete;

    // The first column of the first row as text ("" for none); bytes as
    // stored. `value`, when given, is bound to $1. Throws on failure.
    std::string text(const std::string &sql, const std::optional<std::string> &value = std::nullopt) {
        return pg_ ? postgres_text(sql, value) : sqlite_text(sql, value);
    }

private:
    std::string postgres_text(const std::string &sql, const std::optional<std::string> &parameter) {
        constexpr Oid bytea_type = 17;
        std::string error, value;
        const char *values[] = {parameter ? parameter->c_str() : nullptr};
        PGresult *r = parameter ? PQexecParams(pg_, sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0)
                                : PQexec(pg_, sql.c_str());
        ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            error = PQresultErrorMessage(r);
        else if (PQntuples(r) > 0 && PQnfields(r) > 0 && !PQgetisnull(r, 0, 0))
            value.assign(PQgetvalue(r, 0, 0), static_cast<size_t>(PQgetlength(r, 0, 0)));
        if (error.empty() && PQnfields(r) > 0 && PQftype(r, 0) == bytea_type && !value.empty()) {
            size_t size = 0;  // bytea comes as \x and hex digits: the bytes themselves
            unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(value.c_str()), &size);
            value.assign(reinterpret_cast<const char *>(bytes), size);
            PQfreemem(bytes);
        }
        PQclear(r);
        if (!error.empty()) fail(error, sql);
        return value;
    }

    std::string sqlite_text(const std::string &sql, const std::optional<std::string> &parameter) {
        std::string error, value;
        sqlite3_stmt *&s = statements_[sql];  // kept: a benchmark asks the same many times
        if (!s && sqlite3_prepare_v2(sqlite_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            statements_.erase(sql);
            fail(sqlite3_errmsg(sqlite_), sql);
        }
        if (parameter) sqlite3_bind_text(s, 1, parameter->data(), static_cast<int>(parameter->size()), SQLITE_TRANSIENT);
        int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
            value.assign(static_cast<const char *>(sqlite3_column_blob(s, 0)),
                         static_cast<size_t>(sqlite3_column_bytes(s, 0)));
        else if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            error = sqlite3_errmsg(sqlite_);
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        if (!error.empty()) fail(error, sql);
        return value;
    }

    [[noreturn]] static void fail(const std::string &error, const std::string &what) {
        throw std::runtime_error(error + " (" + what + ")");
    }

    PGconn *pg_ = nullptr;
    sqlite3 *sqlite_ = nullptr;
    std::map<std::string, sqlite3_stmt *> statements_;
};

class TestDatabase {
public:
    TestDatabase() {
        if (!testing_postgresql()) {
            address_ = (dir_.path() / "tolvar.db").string();
            return;
        }
        const char *file = std::getenv("TOLVAR_TEST_POSTGRES");
        std::string cluster = read_file(file);
        while (!cluster.empty() && (cluster.back() == '\n' || cluster.back() == ' ')) cluster.pop_back();
        if (cluster.empty()) throw std::runtime_error(std::string("no PostgreSQL cluster for the tests in ") + file);
        static std::atomic<int> made{0};
        name_ = "test_" + std::to_string(getpid()) + "_" + std::to_string(++made);
        cluster_ = cluster;
        SqlPeek(cluster_).text("CREATE DATABASE " + name_);
        // The cluster's address is postgresql:///postgres?...: the same with this database.
        address_ = "postgresql:///" + name_ + cluster_.substr(cluster_.find('?'));
    }
    ~TestDatabase() {
        if (name_.empty()) return;
        try {
            SqlPeek(cluster_).text("DROP DATABASE " + name_ + " WITH (FORCE)");
        } catch (const std::exception &) {
            // The cluster goes at the end of the run anyway.
        }
    }
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // What --db takes: a file path or a postgresql:// URI.
    const std::string &address() const { return address_; }
    bool postgresql() const { return !name_.empty(); }
    // A folder of the test's own, beside the database.
    const std::filesystem::path &folder() const { return dir_.path(); }

    // The first column of the first row of `sql` as text ("" for none); the
    // SQL must mean the same on both engines.
    std::string text(const std::string &sql) const { return SqlPeek(address_).text(sql); }
    void run(const std::string &sql) const { text(sql); }

private:
    ScratchDir dir_;
    std::string address_, name_, cluster_;
};

}  // namespace tolvar::test
