// A child for the friend-file tests: runs the program in FOLDER against the
// service at HOST, refreshes the friend list once and prints 标签19's caption
// and the number of items listed.
//   friend_refresh_child FOLDER HOST
#include <cstdio>

#include "tests/service/fake_service.h"

using namespace tolvar;
using namespace tolvar::test;

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    program::ProgramSettings settings = loopback_settings();
    settings.service_host = argv[2];
    std::string shown;
    run_with_window(
        [&](QWidget *w) {
            show_page(w, 2);
            click(w, "按钮18");
            shown = text_of(w, "标签19") + " " + std::to_string(items(w).size());
        },
        image::write_image(program::build_program_image(settings)), argv[1]);
    std::printf("%s\n", shown.c_str());
    return shown.empty() ? 1 : 0;
}
