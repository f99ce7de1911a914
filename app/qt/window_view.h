// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "dispatcher.h"
#include "drawn_layer.h"
#include "toolkit/window.h"
#include "units.h" // px, px_rect: whoever paints on a view places by them
#include "view_overlay.h"
#include "widget_host.h"

#include <QIcon>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace padscreen_qt {

// One generic view for any model window: paints its drawn layer, hosts its
// windowed controls as real Qt widgets and feeds pointer, focus, close and
// widget input back to the model. It holds no state of its own that the
// model does not have; sync() makes it look like the model again.
class WindowView : public QWidget {
public:
    WindowView(tk::Window& window, Dispatcher& dispatcher, const QIcon& icon);

    tk::Window* window() const { return window_; }
    std::uint64_t window_id() const { return id_; }
    // The client area the model asks for, in pixels.
    QSize client_size() const;
    QWidget* widget_for(const tk::Control& control) const { return widgets_.widget_for(control); }

    // Widgets, drawing and title as the model has them; hides the view when
    // the model hid the window.
    void sync();
    // Shows, raises and activates the view when the model made its window
    // visible, then gives the focus to the control the model names.
    void sync_shown();
    // The model window is gone: never touch it again, hide, delete later.
    void detach();
    void set_overlay(ViewOverlay* overlay);
    // The drawn layer looks different within area: paint it again there.
    void invalidate(const QRegion& area);
    // The lines a label's wrapped caption was last drawn in.
    QStringList caption_lines(const tk::Control& label) const { return drawn_.caption_lines(label); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the drawn layer takes from this widget.
    Surface surface() const;
    // Gives the focus back to the control the model keeps, when Qt picked
    // another one on activation; false when that control cannot take it.
    bool restore_focus(const tk::Control* picked);
    // The focus to the control the model keeps now, unless the user holds a
    // control down: taking its focus would cancel that press.
    void apply_kept_focus();
    bool held_down() const;
    // Hands a close request to the model as soon as no handler runs.
    void close_when_idle();
    // Asks for a repaint of only what changed in the drawn layer since the last call.
    void update_drawn();
    // Runs a user action unless the model window is gone or the program is busy.
    void user_action(const std::function<void()>& action);
    // The model's pointer routes. Named rather than held as pointers to members:
    // GCC 12's vptr check miscompiles calls through those.
    enum class MouseRoute { kPress, kMove, kRelease, kReleaseElsewhere };
    // Hands a pointer event to one of the model's routes, in window twips.
    void route_mouse(MouseRoute route, std::int16_t buttons, const QMouseEvent& event);

    tk::Window* window_;
    std::uint64_t id_;
    Dispatcher& dispatcher_;
    WidgetHost widgets_;
    DrawnLayer drawn_;
    QTimer close_retry_; // a close request waiting for the running handler's end
    QTimer kept_focus_;  // the focus given back after the activation Qt is delivering
    tk::Control* applied_focus_ = nullptr;
    tk::Control* pressed_ = nullptr; // the control a mouse button went down on, until it comes up
    std::uint64_t applied_show_count_ = 0;
};

} // namespace padscreen_qt
