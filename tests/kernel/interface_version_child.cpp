// A program that says it was built for the interface version given on its
// command line, and nothing else: it exports that version and no routine, and
// runs an image file on the real kernel.
//   interface_version_child KERNEL IMAGE MAJOR MINOR
// The exit status is RunImage's; the kernel says why it refused on standard error.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "abi/tolvar_abi.h"

extern "C" {
__attribute__((visibility("default"))) uint32_t tolvar_program_abi_version = 0;
}

int main(int argc, char **argv) {
    if (argc != 5) return 2;
    tolvar_program_abi_version = TOLVAR_ABI_VERSION_OF(std::strtoul(argv[3], nullptr, 10),
                                                       std::strtoul(argv[4], nullptr, 10));
    std::ifstream in(argv[2], std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(in)), {});
    void *kernel = dlopen(argv[1], RTLD_NOW);
    if (!kernel || image.empty()) return 3;
    using RunImage = int32_t(const void *, uint64_t);
    auto *run = reinterpret_cast<RunImage *>(dlsym(kernel, "RunImage"));
    return run ? run(image.data(), image.size()) : 4;
}
