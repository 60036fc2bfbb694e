#include "service/text_between.h"

namespace tolvar::service {

std::string text_between(std::string_view text, std::string_view start, std::string_view end) {
    size_t at = text.find(start);
    if (at == std::string_view::npos) return {};
    std::string_view tail = text.substr(at + start.size());
    size_t stop = tail.find(end);
    if (stop == std::string_view::npos) return {};
    return std::string(tail.substr(0, stop));
}

}  // namespace tolvar::service
