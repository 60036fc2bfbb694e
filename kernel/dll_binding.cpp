#include "kernel/dll_binding.h"

#include <dlfcn.h>

#include <algorithm>
#include <map>

#include "platform/ascii.h"

namespace tolvar::kernel {

std::string stand_in_file(const std::string &library) {
    std::string name = platform::ascii_lower(library);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0) name.resize(name.size() - 4);
    return name + ".so";
}

std::optional<DllBinding> bind_dll_commands(const std::string &folder,
                                            const std::vector<std::pair<std::string, std::string>> &commands,
                                            std::string &error) {
    DllBinding binding;
    std::map<std::string, void *> opened;
    auto open = [&](const std::string &file) -> void * {
        auto it = opened.find(file);
        if (it != opened.end()) return it->second;
        std::string path = folder + "/" + file;
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        opened[file] = handle;
        if (handle) binding.handles.push_back(handle);
        return handle;
    };
    static const char *const kStandard[] = {"kernel32", "user32"};
    for (size_t i = 0; i < commands.size(); ++i) {
        const auto &[library, function] = commands[i];
        void *fn = nullptr;
        if (library.empty()) {
            for (const char *standard : kStandard)
                if (void *h = open(stand_in_file(standard)); h && (fn = dlsym(h, function.c_str()))) break;
        } else if (void *h = open(stand_in_file(library))) {
            fn = dlsym(h, function.c_str());
        }
        if (!fn) {
            error = "DLL command " + std::to_string(i) + " (" + (library.empty() ? "no library" : library) + ", " +
                    function + ") cannot be found in " + folder;
            release_dll_binding(binding);
            return std::nullopt;
        }
        binding.functions.push_back(fn);
    }
    return binding;
}

void release_dll_binding(DllBinding &binding) {
    for (void *h : binding.handles) dlclose(h);
    binding.handles.clear();
    binding.functions.clear();
}

}  // namespace tolvar::kernel
