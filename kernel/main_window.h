// The main window, built from the form section alone.
#pragma once

#include <QWidget>
#include <functional>

#include "image/form_format.h"

namespace tolvar::kernel {

class MainWindow : public QWidget {
public:
    // `run_routine` runs a bound routine by its code-data offset.
    MainWindow(const image::Form &form, std::function<void(uint32_t)> run_routine);

    // Shows the window at its stored place with its stored outer size, then
    // fires its created event.
    void show_from_form();

private:
    const image::FormObject &record_;
    std::function<void(uint32_t)> run_routine_;
};

}  // namespace tolvar::kernel
