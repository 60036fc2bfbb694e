// Binds the image's DLL commands to the platform stand-ins that lie in the
// kernel's own folder. Nothing else is searched: not the working directory, not
// the library path.
//
// At start every command is checked against the dynamic symbol table of its
// stand-in, read from the file; a stand-in is opened only when one of its
// commands is first called (the wininet stand-in pulls libcurl and TLS in, which
// a run without an exchange never needs).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvar::kernel {

struct DllBinding {
    struct Command {
        std::string file;      // the stand-in's path
        std::string function;
    };
    std::vector<Command> commands;  // entry N's stand-in and function
    std::vector<void *> functions;  // entry N's function, null until first called
    std::vector<std::pair<std::string, void *>> handles;  // stand-ins opened so far, by path
};

// The stand-in file of a Windows library name: lower case, ".dll" dropped,
// ".so" added ("SkinH_EL.dll" -> "skinh_el.so", "kernel32" -> "kernel32.so").
std::string stand_in_file(const std::string &library);

// Checks each (library, function) pair; an empty library name means "the
// standard Windows libraries" (kernel32, then user32). On failure `error` names
// the first command that cannot be bound.
std::optional<DllBinding> bind_dll_commands(const std::string &folder,
                                            const std::vector<std::pair<std::string, std::string>> &commands,
                                            std::string &error);

// Entry `index`'s function, its stand-in opened if it is not yet; null, with
// `error` set, when the stand-in cannot be loaded after all.
void *open_dll_command(DllBinding &binding, size_t index, std::string &error);

void release_dll_binding(DllBinding &binding);

}  // namespace tolvar::kernel
