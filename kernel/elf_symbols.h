// The functions a shared object exports, read from its ELF dynamic symbol
// table without loading it: the kernel checks the image's DLL commands against
// them at start and opens a stand-in only when one of them is first called.
#pragma once

#include <optional>
#include <set>
#include <string>

namespace tolvar::kernel {

// The names of the functions `path` defines and exports (global or weak,
// default or protected visibility), or nothing when it is no readable shared
// object of this machine; `error` then says why.
std::optional<std::set<std::string>> exported_functions(const std::string &path, std::string &error);

}  // namespace tolvar::kernel
