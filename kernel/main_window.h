// The main window, built from the form section alone: one widget per control
// record, the menu bar and the hidden pop-up menus, and the event bindings.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <functional>
#include <optional>
#include <unordered_map>

#include "image/form_format.h"

namespace tolvar::kernel {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `run_routine` runs a bound routine by its code-data offset.
    MainWindow(const image::Form &form, std::function<void(uint32_t)> run_routine);

    // Shows the window at its stored place with its stored outer size, then
    // fires its created event.
    void show_from_form();

    struct Control {
        uint32_t type = 0;
        QWidget *widget = nullptr;
    };
    // The control with this id, or null.
    const Control *control(uint32_t id) const;
    // The top-level menu with this id (hidden ones included), or null.
    QMenu *menu(uint32_t id) const;
    // Where a pop-up menu opens: set while a key runs a right-button event,
    // empty for the mouse position.
    const std::optional<QPoint> &popup_position() const { return popup_position_; }

    // Called once the window has been closed (close box, menu item, a termination signal).
    std::function<void()> on_closed;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *make_widget(const image::FormObject &record, QWidget *parent);
    QWidget *parent_widget(const image::FormObject &record);
    void bind_events(const image::FormObject &record, QWidget *widget);
    void build_menus();
    void bind_enter_buttons();
    void bind_window_keys();
    void open_menu_bar();
    void run(int32_t event, const image::FormObject &record);
    void run_from_menu_key(const image::FormObject &record, QWidget *w);

    const image::Form &form_;
    const image::FormObject &record_;
    std::function<void(uint32_t)> run_routine_;
    std::unordered_map<uint32_t, Control> controls_;
    std::unordered_map<uint32_t, QMenu *> menus_;
    std::unordered_map<QObject *, const image::FormObject *> watched_;
    std::optional<QPoint> popup_position_;
};

}  // namespace tolvar::kernel
