// tolvar-image: dumps and validates a program image.
//   tolvar-image FILE          print the dump; exit 1 with one line on a bad image
//   tolvar-image --check FILE  validate only
// FILE is an image, or a `tolvar` executable whose embedded image is read.
// Besides the format it checks that every routine record names a routine that
// this build of the program exports.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "image/form_format.h"
#include "runtime/image_content.h"
#include "runtime/runtime_content.h"
#include "tools/embedded_image.h"
#include "tools/image_dump.h"

namespace {

bool known_routine(const std::string &name) {
    for (std::string_view known : tolvar::runtime::image_routines())
        if (name == known) return true;
    return false;
}

int refuse(const std::string &file, const std::string &reason) {
    std::fprintf(stderr, "tolvar-image: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    bool check_only = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check_only) {
        std::fprintf(stderr, "usage: tolvar-image [--check] FILE\n");
        return 2;
    }
    std::string file = argv[argc - 1];
    std::ifstream in(file, std::ios::binary);
    if (!in) return refuse(file, "cannot open");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "\x7F" "ELF", 4) == 0) {
        auto embedded = tolvar::image::embedded_image(bytes);
        if (!embedded) return refuse(file, "an executable without an embedded program image");
        bytes = std::move(*embedded);
    }
    auto result = tolvar::image::read_image(bytes);
    if (!result.read) return refuse(file, result.error);
    for (const auto &r : result.read->code.records)
        if (!known_routine(r.name)) return refuse(file, "routine \"" + r.name + "\" is not in the program");
    std::string form_error;
    if (!tolvar::image::read_form(result.read->image.sections[tolvar::image::kForm].data, form_error))
        return refuse(file, form_error);
    auto *start = result.read->code.record_at(result.read->image.start_offset);
    if (start->name != tolvar::runtime::kStartRoutine)
        return refuse(file, "the start routine is \"" + start->name + "\", not \"" +
                                std::string(tolvar::runtime::kStartRoutine) + "\"");
    if (!check_only) tolvar::image::dump_image(*result.read, std::cout);
    return 0;
}
