#include "kernel/main_window.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include "kernel/gbk.h"
#include "runtime/tolvar_abi.h"

namespace tolvar::kernel {

MainWindow::MainWindow(const image::Form &form, std::function<void(uint32_t)> run_routine)
    : record_(*form.find(TOLVAR_WINDOW_OBJECT)), run_routine_(std::move(run_routine)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setObjectName(from_gbk(record_.name));
    auto options = image::read_window_options(record_.options);  // checked when the image was loaded
    setWindowTitle(from_gbk(options->title));
    QPixmap icon;
    if (!options->icon.empty() &&
        icon.loadFromData(options->icon.data(), static_cast<uint>(options->icon.size()), "ICO"))
        setWindowIcon(QIcon(icon));
    setEnabled(!(record_.flags & image::kFlagDisabled));
}

void MainWindow::show_from_form() {
    resize(record_.width, record_.height);
    move(record_.left, record_.top);
    if (record_.flags & image::kFlagVisible) show();
    // The stored size is the outer size: take the frame off once it is known.
    QSize frame = frameGeometry().size() - geometry().size();
    if (!frame.isEmpty()) {
        resize(record_.width - frame.width(), record_.height - frame.height());
        move(record_.left, record_.top);
    }
    for (const auto &binding : record_.bindings)
        if (binding.event == image::kEventMain) run_routine_(binding.code_offset);
}

}  // namespace tolvar::kernel
