// The advertising page writer: it puts the two stored pages into the folder
// "ad" beside the program, byte for byte, and reloads both views. It runs on
// every focus of the login number box, and of the registration number box
// once that has been emptied.
#include "app/ad_pages.h"

#include "app/app_content.h"
#include "runtime/controls.h"
#include "runtime/files.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/window.h"

using namespace tolvar::runtime;

namespace tolvar::app {

namespace {

void point_view(uint32_t view, const char *directory, const Constant &file) {
    set_address(view, join({directory, const_text(file)}).get());
}

// Replaces the file with the stored page; a failure shows in the view alone.
void write_page(const char *directory, const Constant &file, const Constant &page) {
    write_file(join({directory, const_text(file)}).get(), {const_data(page)});
}

void write_ad_pages() {
    Text directory = program_directory();
    create_folder(join({directory.get(), const_text(kAdFolder)}).get());
    write_page(directory.get(), kAdPage2File, kAdPage2);
    write_page(directory.get(), kAdPage4File, kAdPage4);
    point_ad_views(directory.get());
}

}  // namespace

void point_ad_views(const char *directory) {
    point_view(超文本浏览框2, directory, kAdPage4File);
    point_view(超文本浏览框3, directory, kAdPage2File);
}

}  // namespace tolvar::app

// 编辑框2's focus.
TOLVAR_ROUTINE(int32_t, ad_page_writer, (int32_t, const tolvar_arg *)) {
    tolvar::app::write_ad_pages();
    return 0;
}
TOLVAR_ROUTINE_END

// 编辑框3's focus: the box is emptied (its hint, or a number typed earlier),
// then the pages are written.
TOLVAR_ROUTINE(int32_t, hint_clear_and_ad_pages, (int32_t, const tolvar_arg *)) {
    set_text(编辑框3, "");
    tolvar::app::write_ad_pages();
    return 0;
}
TOLVAR_ROUTINE_END
