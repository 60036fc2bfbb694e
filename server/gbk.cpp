#include "server/gbk.h"

#include <unicode/ucnv.h>

#include <stdexcept>

namespace tolvar::server {

static constexpr const char *gbk_converter = "windows-936-2000";

static std::string convert(const char *to, const char *from, std::string_view text) {
    if (text.empty()) return {};
    std::string out(text.size() * 2 + 16, '\0');
    for (int round = 0; round < 2; ++round) {
        UErrorCode status = U_ZERO_ERROR;
        int32_t length = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                      static_cast<int32_t>(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.assign(static_cast<size_t>(length) + 1, '\0');
            continue;
        }
        if (U_FAILURE(status)) throw std::runtime_error("text conversion failed");
        out.resize(static_cast<size_t>(length));
        return out;
    }
    throw std::runtime_error("text conversion failed");
}

std::string gbk_from_utf8(std::string_view utf8) { return convert(gbk_converter, "UTF-8", utf8); }

std::string utf8_from_gbk(std::string_view gbk) { return convert("UTF-8", gbk_converter, gbk); }

}  // namespace tolvar::server
