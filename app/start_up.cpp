// The main window's start-up, run once by the window's created event before
// the user can act: the skin, the two advertising views (their pages are not
// written here), then the settings file's title and referrer number.
#include "app/ad_pages.h"
#include "app/app_content.h"
#include "app/settings_file.h"
#include "runtime/files.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/runtime_content.h"
#include "runtime/text.h"
#include "runtime/window.h"

using namespace tolvar::runtime;

namespace tolvar::app {

namespace {

using SkinH_AttachResFn = int (*)(const void *bytes, int count, const char *text, int, int, int);

// The skin file's whole content handed to the skin library; a missing file
// is no bytes and a count of 0, handed all the same. The result is not looked at.
void attach_skin(const char *directory) {
    Text path = join({directory, const_text(kSkinFile)});
    ByteSet skin = read_file(path.get());
    uint32_t count = bytes_length(skin.get());
    dll<SkinH_AttachResFn>(Dll::SkinH_AttachRes)(count ? bytes_data(skin.get()) : nullptr, static_cast<int>(count),
                                                 const_text(kEmptyText), 0, 0, 0);
}

void choose_edition(const char *directory) {
    Text path = settings_path(directory);
    if (file_exists(path.get())) read_settings(path.get());
    else use_default_edition();
}

}  // namespace

}  // namespace tolvar::app

TOLVAR_ROUTINE(int32_t, main_window_start_up, (int32_t, const tolvar_arg *)) {
    Text directory = program_directory();
    tolvar::app::attach_skin(directory.get());
    tolvar::app::point_ad_views(directory.get());
    tolvar::app::choose_edition(directory.get());
    return 0;
}
TOLVAR_ROUTINE_END
