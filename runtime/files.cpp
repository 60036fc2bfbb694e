#include "runtime/files.h"

#include <vector>

#include "runtime/arguments.h"
#include "runtime/services.h"

namespace tolvar::runtime {

namespace {
bool logical(const tolvar_arg &result) { return result.type == TOLVAR_TYPE_BOOL && result.low != 0; }
}  // namespace

ByteSet read_file(const char *path) { return owned_bytes(kernel_command(TOLVAR_KCMD_READ_FILE, {text_arg(path)})); }

bool file_exists(const char *path) { return logical(kernel_command(TOLVAR_KCMD_FILE_EXISTS, {text_arg(path)})); }

int32_t open_file(const char *path) {
    return static_cast<int32_t>(kernel_command(TOLVAR_KCMD_OPEN_FILE, {text_arg(path)}).low);
}

Text read_text(int32_t file, int32_t most) {
    if (most > 0) return owned_text(kernel_command(TOLVAR_KCMD_READ_TEXT, {int_arg(file), int_arg(most)}));
    return owned_text(kernel_command(TOLVAR_KCMD_READ_TEXT, {int_arg(file)}));
}

void close_file(int32_t file) { kernel_command(TOLVAR_KCMD_CLOSE_FILE, {int_arg(file)}); }

bool create_folder(const char *path) {
    return logical(kernel_command(TOLVAR_KCMD_CREATE_FOLDER, {text_arg(path)}));
}

bool write_file(const char *path, std::initializer_list<const void *> byte_sets) {
    std::vector<tolvar_arg> args{text_arg(path)};
    for (const void *b : byte_sets) args.push_back(bytes_arg(b));
    return logical(services().kernel_command(TOLVAR_KCMD_WRITE_FILE, static_cast<int32_t>(args.size()), args.data()));
}

bool delete_file(const char *path) { return logical(kernel_command(TOLVAR_KCMD_DELETE_FILE, {text_arg(path)})); }

}  // namespace tolvar::runtime
