#include "runtime/owned.h"

#include "runtime/runtime.h"
#include "runtime/services.h"

namespace tolvar::runtime {

void BlockRelease::operator()(void *block) const noexcept {
    if (block) services().release(block);
}

std::string_view text_view(const Text &text) { return text ? std::string_view(text.get()) : std::string_view(); }

std::string_view bytes_view(const ByteSet &bytes) {
    uint32_t length = bytes_length(bytes.get());
    return length ? std::string_view(reinterpret_cast<const char *>(bytes_data(bytes.get())), length)
                  : std::string_view();
}

}  // namespace tolvar::runtime
