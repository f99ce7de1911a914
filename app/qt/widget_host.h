// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "dispatcher.h"
#include "toolkit/window.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <map>
#include <string>

namespace padscreen_qt {

// What a key does to the focus: Tab and Shift+Tab move between stops, the
// arrows on an option step within its group (-1, 1); 0 leaves the key alone.
inline constexpr int kTabForward = 2;
inline constexpr int kTabBackward = -2;
int focus_key_step(int key, Qt::KeyboardModifiers mods, tk::Kind on);

// A model window's windowed controls as real Qt widgets on its view: made
// once in the model's tab order, then brought up to date by sync(). What the
// user does to them goes to the model as user actions; the view filters
// their events.
class WidgetHost {
public:
    // Runs a user action unless the model window is gone or the program is busy.
    using UserAction = std::function<void(const std::function<void()>&)>;
    WidgetHost(QWidget& view, Dispatcher& dispatcher, UserAction user_action);

    // A widget for every windowed control of window, in its tab order.
    void make_widgets(tk::Window& window);
    QWidget* widget_for(const tk::Control& control) const;
    // The control behind a widget or its inner editor; null for another object.
    tk::Control* source(const QObject* object) const { return sources_.value(object); }
    // Every widget as the model has its control.
    void sync();
    // The model window is gone: never touch it again.
    void detach();

private:
    QWidget* ensure_widget(tk::Control& control);
    QWidget* make_widget(tk::Control& control, QWidget* parent);
    void sync_widget(tk::Control& control, QWidget* widget);

    QWidget& view_;
    Dispatcher& dispatcher_;
    UserAction user_action_;
    tk::Window* window_ = nullptr;
    std::map<const tk::Control*, QWidget*> widgets_;
    QHash<const QObject*, tk::Control*> sources_; // widget (or its inner editor) -> control
    // The model text a multi-line box shows last, to leave the editor alone
    // (cursor, scroll position) while the model keeps it.
    std::map<const tk::Control*, std::string> shown_text_;
};

} // namespace padscreen_qt
