// The loader: finds the kernel library, asks it for its run entry and hands it
// the program image.
#pragma once

#include <optional>
#include <string>

namespace tolvar::loader {

inline constexpr const char *kBesideName = "krnln.fnr";
inline constexpr const char *kInstalledName = "krnln.fne";
inline constexpr const char *kEntryName = "GetNewSock";
inline constexpr const char *kErrorText = "Not found the kernel library or the kernel library is invalid!";
inline constexpr const char *kErrorTitle = "Error";

// The folder of the running program with a trailing '/', however long its path.
std::string program_directory();

// The install path: value "Path" of the key file "Corvane/E/Install" under
// $XDG_CONFIG_HOME (default ~/.config), the registry's stand-in. Nothing when the
// key file or the value is missing.
std::optional<std::string> install_path();

// Runs the loader routine; the result is the process's exit status (0 or -1).
int run(const void *image);

}  // namespace tolvar::loader
