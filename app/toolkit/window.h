// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tk {

// A top-level window: a client area in twips, the controls it owns, the
// stacking order of its drawn layer, and the router that turns raw pointer
// input into the events its controls and the window itself receive.
inline constexpr float kDefaultDragDistance = 10 * kTwipsPerPixel;

class Window {
public:
    // drag_distance: how far, in twips, the pointer must travel from a press
    // before an automatic drag starts (the desktop's setting).
    Window(std::string name, std::string caption, float client_width, float client_height,
           float drag_distance = kDefaultDragDistance);
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creates a control; drawn controls join the top of the drawn layer.
    template <class T> T& add(std::string name) {
        auto owned = std::make_unique<T>(std::move(name));
        T& control = *owned;
        adopt(std::move(owned));
        return control;
    }

    // Creates a control at its designed place, with its place in the tab order.
    template <class T> T& add(std::string name, Rect place, int tab_index = -1) {
        T& control = add<T>(std::move(name));
        control.left = place.left;
        control.top = place.top;
        control.width = place.width;
        control.height = place.height;
        control.tab_index = tab_index;
        return control;
    }
    template <class T>
    T& add_captioned(std::string name, const std::string& caption, Rect place, int tab_index = -1) {
        T& control = add<T>(std::move(name), place, tab_index);
        control.caption = caption;
        return control;
    }

    const std::string& name() const { return name_; }
    std::uint64_t id() const { return id_; }
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
    Control* find(const std::string& name) const;

    // Drawn layer, bottom first; windowed controls, in creation order (later above).
    const std::vector<Control*>& drawn_order() const { return drawn_; }
    std::vector<Control*> windowed_controls() const;
    void bring_to_top(Control& control);

    // The topmost shown control at a point, lines excluded, whatever it takes.
    Control* hit_test(float x, float y) const;
    // The control that takes pointer input at a point, or nullptr for the bare
    // surface: windowed controls always do; an image or label only when it is
    // shown and enabled; hidden, disabled and line controls let it through.
    Control* input_target(float x, float y) const;

    // Window attributes.
    std::string caption;
    float client_width;
    float client_height;
    bool visible = false;
    bool resizable = false;
    bool minimize_button = false;
    bool maximize_button = false;
    bool show_in_taskbar = true;
    bool has_icon = false;
    Color back_color = kButtonFace;

    void show();
    void hide();
    // Counts show() calls, so a view can bring forward a window that was already shown.
    std::uint64_t show_count() const { return show_count_; }

    // The window's own events.
    MouseHandler on_mouse_down;
    MouseHandler on_mouse_move;
    MouseHandler on_mouse_up;
    std::function<void(Control& source, float x, float y)> on_drag_drop;
    // A close request (close box, system menu, shutdown). Runs before the
    // window is unloaded; setting `cancel` keeps it.
    std::function<void(bool& cancel)> on_query_unload;
    // Set by the window's owner: takes the window out of the program.
    std::function<void(Window&)> unloader;
    // Told of every click, once the control's click handler ran: what the
    // handler did can be read without standing in for it.
    void on_clicked(std::function<void(Control&)> observer) {
        click_observers_.push_back(std::move(observer));
    }
    void clicked(Control& control); // by the control, after its handler
    // Told when a press on a control ends, after the pointer travelled as far
    // as a drag, without a drop the window takes: a drag let go over a control
    // (`target`) or outside the window (`target` null), or a press on a control
    // that does not drag let go off it, where no click follows (`dragged` false).
    struct IgnoredDrag {
        Control& source;
        Control* target;
        bool dragged;
    };
    void on_drag_ignored(std::function<void(const IgnoredDrag&)> observer) {
        ignored_drag_observers_.push_back(std::move(observer));
    }

    void request_close();
    void unload();

    // Raw pointer input, in window twips; `button` is one MouseButton.
    void mouse_press(std::int16_t button, std::int16_t shift, float x, float y);
    void mouse_move(std::int16_t buttons, std::int16_t shift, float x, float y);
    void mouse_release(std::int16_t button, std::int16_t shift, float x, float y);
    // A release over another top-level window: as a release, but a drag
    // there ends without a drop.
    void mouse_release_elsewhere(std::int16_t button, std::int16_t shift, float x, float y);
    // Forgets a press in progress (the window lost the pointer).
    void cancel_pointer();
    // True while a button pressed in the window is held (a band, a drag, a press).
    bool pointer_captured() const { return capture_ != Capture::None; }
    // The last pointer position seen, in window twips.
    std::optional<std::pair<float, float>> pointer() const;
    // What lies under the resting pointer changed without a move: the next
    // press first counts as the pointer arriving, so hover state is fresh.
    void forget_pointer() { pointer_stale_ = true; }

    // How far the pointer must travel from the press before a drag starts.
    float drag_distance;

    // While an automatic drag is on: the outline that follows the pointer.
    std::optional<Rect> drag_outline() const;
    Control* drag_source() const;

    // Focus and tab order.
    Control* focus() const { return focus_; }
    void set_focus(Control* control);
    void focus_first();
    std::vector<Control*> tab_order() const;
    // Tab and Shift+Tab: an option group is one stop, entered at its selected
    // option (the first one when none is), so Tab alone never changes a choice.
    void tab(bool backward);
    // An arrow key: within the focused option's group, the next (step 1) or
    // previous (step -1) option takes the focus and so is selected.
    void arrow(int step);

private:
    void adopt(std::unique_ptr<Control> control);
    // Ends a press whose release never came.
    void end_lost_press(std::int16_t shift);
    static MouseArgs relative(const Control& control, std::int16_t button, std::int16_t shift,
                              float x, float y);

    enum class Capture { None, Window, Control, DragPending, Dragging };

    std::string name_;
    std::uint64_t id_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<Control*> drawn_;
    Control* focus_ = nullptr;
    std::uint64_t show_count_ = 0;
    std::vector<std::function<void(Control&)>> click_observers_;
    std::vector<std::function<void(const IgnoredDrag&)>> ignored_drag_observers_;
    void drag_ignored(const IgnoredDrag& drag);

    Capture capture_ = Capture::None;
    Control* captured_ = nullptr;
    std::int16_t capture_button_ = 0;
    float press_x_ = 0;
    float press_y_ = 0;
    float grab_x_ = 0; // press point inside the dragged control
    float grab_y_ = 0;
    bool pointer_known_ = false;
    bool release_elsewhere_ = false;
    bool pointer_stale_ = false;
    float pointer_x_ = 0;
    float pointer_y_ = 0;
};

} // namespace tk
