#include "server/storage/sql.h"

namespace tolvar::server::storage {

std::optional<int64_t> first_integer(SqlConnection &c, const char *sql, SqlValues values) {
    std::optional<int64_t> value;
    c.run(sql, values, [&](const SqlRow &row) {
        if (!value && !row.is_null(0)) value = row.integer(0);
    });
    return value;
}

}  // namespace tolvar::server::storage
