#include "server/settings.h"

#include <algorithm>

namespace tolvar::server {

bool is_uncredited_referrer(const Settings &settings, std::string_view number) {
    const auto &list = settings.uncredited_referrers;
    return std::find(list.begin(), list.end(), number) != list.end();
}

const Settings &default_settings() {
    static const Settings settings;
    return settings;
}

}  // namespace tolvar::server
