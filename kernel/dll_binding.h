// Binds the image's DLL commands to the platform stand-ins that lie in the
// kernel's own folder. Nothing else is searched: not the working directory, not
// the library path.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvar::kernel {

struct DllBinding {
    std::vector<void *> functions;  // entry N's function
    std::vector<void *> handles;    // stand-ins kept open for the run
};

// The stand-in file of a Windows library name: lower case, ".dll" dropped,
// ".so" added ("SkinH_EL.dll" -> "skinh_el.so", "kernel32" -> "kernel32.so").
std::string stand_in_file(const std::string &library);

// Resolves each (library, function) pair; an empty library name means "the
// standard Windows libraries" (kernel32, then user32). On failure `error` names
// the first command that could not be bound.
std::optional<DllBinding> bind_dll_commands(const std::string &folder,
                                            const std::vector<std::pair<std::string, std::string>> &commands,
                                            std::string &error);

void release_dll_binding(DllBinding &binding);

}  // namespace tolvar::kernel
