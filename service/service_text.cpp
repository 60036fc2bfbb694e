#include "service/service_text.h"

#include <cstring>

#include "runtime/runtime.h"

namespace tolvar::service {

std::string take_text(runtime::Text text) { return std::string(runtime::text_view(text)); }

namespace {
std::string text_in(const void *data, size_t length) {
    if (length == 0) return {};
    const char *bytes = static_cast<const char *>(data);
    return std::string(bytes, strnlen(bytes, length));
}
}  // namespace

std::string take_bytes_as_text(runtime::ByteSet byte_set) {
    std::string_view bytes = runtime::bytes_view(byte_set);
    return text_in(bytes.data(), bytes.size());
}

std::string bytes_as_text(const std::vector<uint8_t> &bytes) { return text_in(bytes.data(), bytes.size()); }

int32_t text_to_integer(std::string_view text) {
    size_t at = text.find_first_not_of(" \t");
    if (at == std::string_view::npos) return 0;
    bool negative = text[at] == '-';
    if (text[at] == '-' || text[at] == '+') ++at;
    int64_t value = 0;
    bool digits = false;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        digits = true;
        value = value * 10 + (text[at] - '0');
        if (value > int64_t{INT32_MAX} + 1) return 0;
    }
    if (!digits) return 0;
    if (negative) value = -value;
    return value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<int32_t>(value);
}

}  // namespace tolvar::service
