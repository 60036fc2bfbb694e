#include "platform/request_driver.h"

#include <vector>

#include "platform/wininet_cookies.h"

namespace tolvar::wininet {

namespace {

// One for each exchange nested in another's wait, which is rarely more than two.
constexpr size_t kKept = 4;

std::vector<std::unique_ptr<RequestDriver>> &kept() {
    thread_local std::vector<std::unique_ptr<RequestDriver>> drivers;
    return drivers;
}

}  // namespace

CURL *RequestDriver::easy(bool with_cookies, bool &fresh) {
    fresh = false;
    if (easy_ && easy_has_cookies_ == with_cookies) return easy_;
    curl_easy_cleanup(easy_);
    easy_ = curl_easy_init();
    easy_has_cookies_ = with_cookies;
    fresh = true;
    if (easy_ && with_cookies) {
        // Set once: each CURLOPT_COOKIEFILE adds to a list read before every transfer.
        curl_easy_setopt(easy_, CURLOPT_SHARE, cookie_share());
        curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "");
    }
    return easy_;
}

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
