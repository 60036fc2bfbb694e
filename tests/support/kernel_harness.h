// Running the real kernel library in this process on Qt's offscreen platform.
// The test executable exports the program's routines, so the kernel binds the
// image's routine records to them.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QStringDecoder>
#include <QTest>
#include <QTimer>
#include <functional>

#include "abi/tolvar_abi.h"
#include "tests/support/test_image.h"

namespace tolvar::test {

inline QApplication &app() {
    static int argc = 1;
    static char name[] = "kernel_tests";
    static char *argv[] = {name, nullptr};
    // Never destroyed: devices that QTest creates must not outlive it at exit.
    static QApplication *instance = new QApplication(argc, argv);
    return *instance;
}

inline tolvar_run_image_in_folder kernel_run_image() {
    static void *kernel = dlopen(KRNLN_FNR, RTLD_NOW | RTLD_LOCAL);
    return kernel ? reinterpret_cast<tolvar_run_image_in_folder>(dlsym(kernel, "RunImageInFolder")) : nullptr;
}

// Runs the image for a program in `folder` (this executable's folder when
// empty); the result is RunImageInFolder's.
inline int32_t run_image(const std::vector<uint8_t> &bytes, const std::string &folder = {}) {
    app();
    auto run = kernel_run_image();
    EXPECT_NE(nullptr, run) << dlerror();
    return run ? run(bytes.data(), bytes.size(), folder.c_str()) : -1;
}

inline QString from_gbk(const std::string &gbk) {
    QStringDecoder decoder("GBK");
    return decoder.decode(QByteArrayView(gbk.data(), static_cast<qsizetype>(gbk.size())));
}

inline QWidget *main_window() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QString::fromUtf8("主窗口") && w->isVisible()) return w;
    return nullptr;
}

// Runs the test image and calls `drive` with the main window once the event
// loop runs; the window is closed afterwards unless `drive` ended the program.
inline int32_t run_with_window(const std::function<void(QWidget *)> &drive,
                               const std::vector<uint8_t> &bytes = test_image_bytes(),
                               const std::string &folder = {}) {
    app();
    QTimer::singleShot(0, [drive] {
        QWidget *w = main_window();
        EXPECT_NE(nullptr, w);
        if (!w) return;
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        drive(w);
        if (QWidget *still = main_window()) still->close();
    });
    return run_image(bytes, folder);
}

// Runs `drive` inside the program's event loop, with the main window up.
inline void in_program(const std::function<void()> &drive, const std::string &folder = {}) {
    run_with_window([&](QWidget *) { drive(); }, test_image_bytes(), folder);
}

// The control of the main window with this (UTF-8) name.
template <class T = QWidget>
T *find(QWidget *window, const char *name) {
    T *w = window->findChild<T *>(QString::fromUtf8(name));
    EXPECT_NE(nullptr, w) << name;
    return w;
}

}  // namespace tolvar::test
