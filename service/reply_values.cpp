#include "service/reply_values.h"

#include <arpa/inet.h>

namespace tolvar::service {

std::string internet_address(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    std::string address(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
    if (address.size() > 45 || address.find('\0') != std::string::npos) return {};  // 45: the longest address text
    unsigned char bytes[16];
    if (inet_pton(AF_INET, address.c_str(), bytes) == 1 || inet_pton(AF_INET6, address.c_str(), bytes) == 1)
        return address;
    return {};
}

}  // namespace tolvar::service
