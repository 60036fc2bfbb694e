// The tables of the service. Times are seconds since the epoch.
#pragma once

#include "server/database.h"

namespace tolvar::server {

// Creates whatever tables and indexes are missing.
void create_schema(Connection &c);

}  // namespace tolvar::server
