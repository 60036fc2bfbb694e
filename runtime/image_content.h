// What the program's image holds, as each folder of the program declares it
// beside its routines: the routines it names (exported under these names),
// the routines it passes by address, and the constants it reads. The image
// builder assembles the image from these lists; the program finds its
// constants and routine addresses in the image where the builder put them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tolvar::runtime {

enum class ConstantKind {
    text,           // a fixed GBK text
    setting,        // a deployment setting of the build, named by `text`
    empty_array,    // the empty-array block: u32 1, u32 0
    routine_table,  // the routines' addresses, in the order of `routines`
    bytes,          // a byte set (u32 1, u32 length, then the bytes of `text`)
};

struct Constant {
    ConstantKind kind;
    std::string_view text = {};  // the text, the setting's name or the bytes
    std::vector<std::string_view> routines = {};
};

// One folder's part of the image.
struct ImageContent {
    std::string_view part;                           // the folder, or "deployment"
    std::vector<std::string_view> routines;          // routine records, in order
    std::vector<std::string_view> passed_by_address; // routines whose address the code takes
    std::vector<const Constant *> constants;         // constants the code reads
};

// Each folder registers its content once, from a static object of its own.
struct ContentRegistration {
    explicit ContentRegistration(const ImageContent &content);
};

// The image's three tables as the parts' lists assembled in image order.
std::vector<std::string_view> image_routines();
std::vector<std::string_view> image_routines_passed_by_address();
std::vector<const Constant *> image_constants();
// Names of parts that registered but have no place in the image's order, or
// that have a place but did not register: the builder refuses to build then.
std::vector<std::string_view> image_misplaced_parts();

}  // namespace tolvar::runtime
