#include "platform/last_error.h"

#include <dlfcn.h>

#include <string>

namespace tolvar::platform {

namespace {

using SetLastErrorFn = void (*)(DWORD);

SetLastErrorFn kernel32_set_last_error() {
    static SetLastErrorFn fn = [] () -> SetLastErrorFn {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void *>(&kernel32_set_last_error), &info) || !info.dli_fname) return nullptr;
        std::string path = info.dli_fname;
        path = path.substr(0, path.rfind('/') + 1) + "kernel32.so";
        void *kernel32 = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        return kernel32 ? reinterpret_cast<SetLastErrorFn>(dlsym(kernel32, "SetLastError")) : nullptr;
    }();
    return fn;
}

}  // namespace

void set_last_error(DWORD error) {
    if (SetLastErrorFn fn = kernel32_set_last_error()) fn(error);
}

}  // namespace tolvar::platform
