// Test images: Tolvar's image as the builder makes it, with a loopback service,
// and small helpers to look at or damage its bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "image/byte_io.h"
#include "image/image_format.h"
#include "image/image_reader.h"
#include "image/image_writer.h"
#include "runtime/image_content.h"
#include "tools/program_image.h"

namespace tolvar::test {

inline program::ProgramSettings loopback_settings() {
    program::ProgramSettings s;
    s.service_host = "127.0.0.1:18086";
    s.echo_url = "http://127.0.0.1:18086/ip.php";
    s.default_number = "13900000000";
    s.icon = std::vector<uint8_t>(64, 0x11);
    return s;
}

inline image::Image test_image() { return program::build_program_image(loopback_settings()); }
inline std::vector<uint8_t> test_image_bytes() { return image::write_image(test_image()); }

// The image read back; a failure to read fails the test.
inline image::ReadImage read_ok(const std::vector<uint8_t> &bytes) {
    auto r = image::read_image(bytes);
    if (!r.read) {
        ADD_FAILURE() << r.error;
        return {};
    }
    return std::move(*r.read);
}

// Where the builder put a constant in the const reference table.
inline size_t constant_index(const runtime::Constant &constant) {
    auto all = runtime::image_constants();
    return static_cast<size_t>(std::find(all.begin(), all.end(), &constant) - all.begin());
}

inline uint32_t u32_at(const std::vector<uint8_t> &bytes, size_t at) { return image::load_u32(bytes.data() + at); }
inline void set_u32(std::vector<uint8_t> &bytes, size_t at, uint32_t v) { image::store_u32(bytes.data() + at, v); }


}  // namespace tolvar::test
