// The special-edition maker (按钮19): writes the settings file that makes
// this folder an edition crediting the logged-in user's number, with the
// owner's text in the title from the next start on.
#include "app/settings_file.h"
#include "runtime/controls.h"
#include "runtime/files.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/window.h"

using namespace tolvar::runtime;

namespace tolvar::app {

namespace {

constexpr const char *kNotLoggedIn = "你还未登录，或者未注册！！";
constexpr const char *kMade = "专版程序！！制作完成！！请将本目录下所有程序压缩打包！发给您的好朋友！";

// A new heap byte set: the text's bytes followed by CR LF.
ByteSet line_bytes(const char *text) {
    Text line = join({text, "\r\n"});
    return new_bytes(line.get(), text_length(line.get()));
}

// The file is replaced at once: a write that fails (read-only folder, full
// disk) leaves an earlier settings file as it was, and is reported.
bool write_settings(const char *number, const char *owner) {
    Text directory = program_directory();
    Text path = settings_path(directory.get());
    ByteSet line1 = line_bytes(number);
    ByteSet line2 = line_bytes(owner);
    return write_file(path.get(), {line1.get(), line2.get()}) && file_exists(path.get());
}

// An empty 编辑框7 means nobody has logged in: no file is touched.
void make_special_edition() {
    Text number = text_of(编辑框7);
    if (text_length(number.get()) == 0) {
        message_box(kNotLoggedIn);
    } else {
        Text owner = text_of(编辑框8);
        message_box(write_settings(number.get(), owner.get()) ? kMade : kNotLoggedIn);
    }
}

}  // namespace

}  // namespace tolvar::app

TOLVAR_ROUTINE(int32_t, special_edition_make, (int32_t, const tolvar_arg *)) {
    tolvar::app::make_special_edition();
    return 0;
}
TOLVAR_ROUTINE_END
