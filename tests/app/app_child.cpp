// Runs the program in a folder for a test that needs a process of its own
// (one without the right to override file modes), and prints what it saw.
//   app_child start FOLDER               title and referrer number at start-up
//   app_child make FOLDER NUMBER OWNER   the special-edition maker's message
// Also says whether the process may create a file in FOLDER, so the test
// knows its read-only folder really is one.
#include <fcntl.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "tests/app/app_support.h"

using namespace tolvar::test;

namespace {

bool may_create_in(const std::string &folder) {
    std::string probe = folder + "/.probe";
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) return 2;
    std::string mode = argv[1], folder = argv[2];
    app();
    std::printf("probe: %s\n", may_create_in(folder) ? "allowed" : "denied");
    if (mode == "start") {
        StartUp seen = run_in(folder);
        std::printf("title: %s\nreferrer: %s\n", seen.title.toUtf8().constData(), seen.referrer.c_str());
        return 0;
    }
    if (mode == "make" && argc == 5) {
        MessageBoxes boxes;
        run_in(folder, [&](QWidget *w) {
            find<QLineEdit>(w, "编辑框7")->setText(QString::fromUtf8(argv[3]));
            find<QLineEdit>(w, "编辑框8")->setText(QString::fromUtf8(argv[4]));
            find<QPushButton>(w, "按钮19")->click();
        });
        for (const std::string &text : boxes.texts) std::printf("message: %s\n", text.c_str());
        return 0;
    }
    return 2;
}
