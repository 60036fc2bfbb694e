#include "runtime/text.h"

#include <cstring>

#include "runtime/runtime.h"

namespace tolvar::runtime {

uint32_t text_length(const char *text) { return text ? static_cast<uint32_t>(std::strlen(text)) : 0; }

Text join(std::initializer_list<const char *> texts) {
    uint32_t total = 0;
    for (const char *t : texts) total += text_length(t);
    Text out(static_cast<char *>(allocate(total + 1)));
    char *at = out.get();
    for (const char *t : texts) {
        uint32_t n = text_length(t);
        if (n) std::memcpy(at, t, n);
        at += n;
    }
    *at = 0;
    return out;
}

int32_t compare(const char *a, const char *b) {
    int r = std::strcmp(a ? a : "", b ? b : "");
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

}  // namespace tolvar::runtime
