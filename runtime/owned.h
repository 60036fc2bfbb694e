// Blocks the kernel hands out, each held by one owner and released through
// the service table when that owner ends: texts and byte sets here, the
// window list's array and records in runtime/window_list.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace tolvar::runtime {

// Releases a heap block through the service table (slot 0x20); null is left alone.
struct BlockRelease {
    void operator()(void *block) const noexcept;
};

// A heap text: zero-ended GBK. An empty owner counts as the empty text.
using Text = std::unique_ptr<char, BlockRelease>;
// A heap byte set: u32 1, u32 length, then the bytes. An empty owner holds no bytes.
using ByteSet = std::unique_ptr<void, BlockRelease>;

// The text's bytes up to its zero; empty for an empty owner.
std::string_view text_view(const Text &text);
// The byte set's bytes; empty for an empty owner.
std::string_view bytes_view(const ByteSet &bytes);

}  // namespace tolvar::runtime
