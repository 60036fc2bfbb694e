#include "server/settings.h"

namespace tolvar::server {

const Settings &default_settings() {
    static const Settings settings;
    return settings;
}

}  // namespace tolvar::server
