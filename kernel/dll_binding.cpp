#include "kernel/dll_binding.h"

#include <dlfcn.h>

#include <map>
#include <set>

#include "kernel/elf_symbols.h"
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
    std::map<std::string, std::optional<std::set<std::string>>> exports;  // by path
    auto exported = [&](const std::string &path, const std::string &function) {
        auto it = exports.find(path);
        if (it == exports.end()) {
            std::string ignored;
            it = exports.emplace(path, exported_functions(path, ignored)).first;
        }
        return it->second && it->second->count(function);
    };
    static const char *const kStandard[] = {"kernel32", "user32"};
    for (size_t i = 0; i < commands.size(); ++i) {
        const auto &[library, function] = commands[i];
        std::string found;
        if (library.empty()) {
            for (const char *standard : kStandard) {
                std::string path = folder + "/" + stand_in_file(standard);
                if (exported(path, function)) {
                    found = path;
                    break;
                }
            }
        } else if (std::string path = folder + "/" + stand_in_file(library); exported(path, function)) {
            found = path;
        }
        if (found.empty()) {
            error = "DLL command " + std::to_string(i) + " (" + (library.empty() ? "no library" : library) + ", " +
                    function + ") cannot be found in " + folder;
            return std::nullopt;
        }
        binding.commands.push_back({found, function});
    }
    binding.functions.assign(commands.size(), nullptr);
    return binding;
}

void *open_dll_command(DllBinding &binding, size_t index, std::string &error) {
    if (index >= binding.commands.size()) return nullptr;
    const DllBinding::Command &command = binding.commands[index];
    void *handle = nullptr;
    for (const auto &[path, h] : binding.handles)
        if (path == command.file) handle = h;
    if (!handle) {
        handle = dlopen(command.file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char *why = dlerror();
            error = "the stand-in " + command.file + " cannot be loaded: " + (why ? why : "unknown error");
            return nullptr;
        }
        binding.handles.emplace_back(command.file, handle);
    }
    void *fn = dlsym(handle, command.function.c_str());
    if (!fn) error = command.file + " has no function " + command.function;
    binding.functions[index] = fn;
    return fn;
}

void release_dll_binding(DllBinding &binding) {
    for (auto &[path, h] : binding.handles) dlclose(h);
    binding.handles.clear();
    binding.functions.clear();
    binding.commands.clear();
}

}  // namespace tolvar::kernel
