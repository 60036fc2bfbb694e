#include "platform/request_driver.h"

#include <vector>

namespace tolvar::wininet {

namespace {

// One for each exchange nested in another's wait, which is rarely more than two.
constexpr size_t kKept = 4;

std::vector<std::unique_ptr<RequestDriver>> &kept() {
    thread_local std::vector<std::unique_ptr<RequestDriver>> drivers;
    return drivers;
}

}  // namespace

std::unique_ptr<RequestDriver> take_driver() {
    auto &drivers = kept();
    if (!drivers.empty()) {
        std::unique_ptr<RequestDriver> d = std::move(drivers.back());
        drivers.pop_back();
        return d;
    }
    CURLM *multi = curl_multi_init();
    if (!multi) return nullptr;
    return std::make_unique<RequestDriver>(multi);
}

void give_back(std::unique_ptr<RequestDriver> driver) {
    if (!driver) return;
    auto &drivers = kept();
    if (drivers.size() >= kKept || !driver->waiter().idle()) return;  // ended here
    drivers.push_back(std::move(driver));
}

}  // namespace tolvar::wininet
