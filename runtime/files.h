// The kernel's file commands as the program calls them. Paths are GBK texts
// in which "\" and "/" both separate. Nothing here fails the program: a file
// that cannot be read reads as absent, a write that cannot be made leaves the
// file as it was and says so in its result.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "runtime/owned.h"

namespace tolvar::runtime {

// A new heap byte set: the whole file, empty when it is absent.
ByteSet read_file(const char *path);
bool file_exists(const char *path);
// A file number for read_text, 0 when the file cannot be opened.
int32_t open_file(const char *path);
// A new heap text: the rest of the file, up to a zero byte; empty for file
// number 0. A positive `most` reads no more than that many bytes of the file.
Text read_text(int32_t file, int32_t most = 0);
void close_file(int32_t file);
bool create_folder(const char *path);
// The byte sets one after another as the file's whole content, replacing it at once.
bool write_file(const char *path, std::initializer_list<const void *> byte_sets);
bool delete_file(const char *path);

}  // namespace tolvar::runtime
