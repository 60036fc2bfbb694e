// The kernel library's exports: GetNewSock, the run entry it hands out, and
// RunImage for images of known size.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "kernel/file_commands.h"
#include "kernel/guarded.h"
#include "kernel/kernel_state.h"
#include "kernel/services.h"
#include "kernel/window_look.h"

#define TOLVAR_EXPORT extern "C" __attribute__((visibility("default")))

namespace tolvar::kernel {

KernelState &state() {
    static KernelState s;
    return s;
}

void report_error(const std::string &text) {
    std::fprintf(stderr, "tolvar: %s\n", text.c_str());
    // A box needs someone to see it: not on the offscreen or minimal platforms.
    bool seen = QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal";
    if (seen && qobject_cast<QApplication *>(QCoreApplication::instance()))
        QMessageBox::critical(state().window.get(), "Error", QString::fromStdString(text));
}

namespace {

// A termination signal closes the window as its close box would, so the
// program ends through its clean-up. The handler only writes to a pipe.
int g_signal_pipe[2] = {-1, -1};

void on_signal(int) {
    char byte = 1;
    ssize_t ignored = write(g_signal_pipe[1], &byte, 1);
    (void)ignored;
}

void watch_termination_signals(QObject *parent) {
    if (g_signal_pipe[0] < 0 && pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    auto *notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buffer[16];
        while (read(g_signal_pipe[0], buffer, sizeof buffer) > 0) {
        }
        state().quit_requested = true;
        if (state().window) state().window->close();
        QCoreApplication::quit();
    });
}

// The folder of this library: the only place stand-ins are loaded from.
std::string own_folder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&own_folder), &info) || !info.dli_fname) return ".";
    std::string path = info.dli_fname;
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

void substitute_chinese_fonts() {
    for (const char *face : {"宋体", "黑体", "SimSun", "SimHei"})
        QFont::insertSubstitution(QString::fromUtf8(face), "WenQuanYi Micro Hei");
}

// For one run: Qt's own texts (standard buttons, edit menus) in Chinese, as
// every text of the program is, and the light palette the layout's colours
// assume in place of the desktop's; both as they were afterwards.
class ChineseLightLook {
public:
    ChineseLightLook() : desktop_palette_(QApplication::palette()) {
        if (qt_texts_.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&qt_texts_);
        QApplication::setPalette(layout_palette());
    }
    ~ChineseLightLook() { QApplication::setPalette(desktop_palette_); }
    ChineseLightLook(const ChineseLightLook &) = delete;
    ChineseLightLook &operator=(const ChineseLightLook &) = delete;

private:
    QTranslator qt_texts_;  // removes itself from the application when destroyed
    QPalette desktop_palette_;
};

// Runs an image for a program whose folder is `folder` (the executable's own
// when empty): the folder the program's files are read from and written to.
int32_t run_image(const void *image, uint64_t size, const char *folder) {
    static int argc = 1;
    static char name[] = "tolvar";
    static char *argv[] = {name, nullptr};
    std::unique_ptr<QApplication> own_app;
    if (!QCoreApplication::instance()) {
#ifdef TOLVAR_WEBENGINE
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
        own_app = std::make_unique<QApplication>(argc, argv);
    }
    substitute_chinese_fonts();
    ChineseLightLook look;
    QObject signal_scope;
    watch_termination_signals(&signal_scope);

    KernelState &s = state();
    s = KernelState{};
    s.program_directory = folder && *folder ? QString::fromUtf8(folder) : QCoreApplication::applicationDirPath();
    std::string error;
    tolvar_services services = service_table();
    s.stand_in_folder = own_folder();
    s.program = load_program({static_cast<const uint8_t *>(image), size}, services, s.stand_in_folder, error);
    if (!s.program) {
        report_error(error);
        return 1;
    }
    tolvar_program *program = &s.program->block.program;
    tolvar_arg arg = tolvar_pointer_arg(program, TOLVAR_TYPE_ADDRESS);
    s.program->start(1, &arg);
    s.window.reset();
    s.at_end.clear();
    close_all_files();
    s.program.reset();
    return 0;
}

int32_t run_entry(const void *image) {
    // The image's extent comes from the executable's symbol table, so that no
    // read of a damaged image can leave it.
    Dl_info info{};
    void *symbol_entry = nullptr;
    if (!dladdr1(image, &info, &symbol_entry, RTLD_DL_SYMENT) || !symbol_entry ||
        info.dli_saddr != image || static_cast<const ElfW(Sym) *>(symbol_entry)->st_size == 0) {
        std::fprintf(stderr, "tolvar: the program image has no known size\n");
        std::exit(255);
    }
    if (run_image(image, static_cast<const ElfW(Sym) *>(symbol_entry)->st_size, nullptr) != 0) std::exit(255);
    return 0;
}

}  // namespace

}  // namespace tolvar::kernel

// The exports and the run entry they hand out run behind the guard.
TOLVAR_EXPORT void *GetNewSock(int32_t magic) noexcept {
    return magic == 1000 ? reinterpret_cast<void *>(tolvar::kernel::guarded<tolvar::kernel::run_entry>) : nullptr;
}

TOLVAR_EXPORT int32_t RunImage(const void *image, uint64_t size) noexcept {
    return tolvar::kernel::guarded<tolvar::kernel::run_image>(image, size, nullptr);
}

TOLVAR_EXPORT int32_t RunImageInFolder(const void *image, uint64_t size, const char *folder) noexcept {
    return tolvar::kernel::guarded<tolvar::kernel::run_image>(image, size, folder);
}
