// Small kernel libraries for the loader's tests. FAKE_MODE picks the flavour:
// 1 a working kernel, 2 GetNewSock returns 0, 3 no GetNewSock at all. Each
// appends what happened to the file named by TOLVAR_FAKE_MARKER and says on
// stderr when it is released.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void mark(const char *what) {
    const char *path = std::getenv("TOLVAR_FAKE_MARKER");
    if (!path) return;
    if (FILE *f = std::fopen(path, "a")) {
        std::fprintf(f, "%s %s\n", FAKE_NAME, what);
        std::fclose(f);
    }
}

[[maybe_unused]] int32_t run_entry(const void *image) {
    mark(std::memcmp(image, "WJ\0\0", 4) == 0 ? "ran image" : "ran something else");
    return 0;
}

__attribute__((destructor)) void released() { std::fprintf(stderr, "released %s\n", FAKE_NAME); }

}  // namespace

#if FAKE_MODE == 1 || FAKE_MODE == 2
extern "C" __attribute__((visibility("default"))) void *GetNewSock(int32_t magic) {
    char text[64];
    std::snprintf(text, sizeof text, "GetNewSock(%d)", magic);
    mark(text);
    return FAKE_MODE == 1 ? reinterpret_cast<void *>(&run_entry) : nullptr;
}
#else
extern "C" __attribute__((visibility("default"))) void *GetOldSock(int32_t) { return nullptr; }
#endif
