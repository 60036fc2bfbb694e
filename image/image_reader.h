// Reads and validates a program image. Every offset, size and count is checked
// against the image's bounds before it is followed, so a malformed image gives
// a one-line reason, never a crash or an endless walk.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "image/code_layout.h"
#include "image/image_format.h"

namespace tolvar::image {

struct ReadImage {
    Image image;
    ImageLayout layout;
    CodeLayout code;
};

struct ReadResult {
    std::optional<ReadImage> read;
    std::string error;  // set when `read` is empty
};

ReadResult read_image(std::span<const uint8_t> bytes);

// Names of DLL command i: library (empty when none named) and function.
std::string dll_library_name(const Image &image, size_t i);
std::string dll_function_name(const Image &image, size_t i);

}  // namespace tolvar::image
