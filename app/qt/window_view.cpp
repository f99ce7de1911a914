// SPDX-License-Identifier: GPL-2.0-or-later
#include "window_view.h"

#include "services.h"
#include "ui_font.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <string>

namespace padscreen_qt {

WindowView::WindowView(tk::Window& window, Dispatcher& dispatcher, const QIcon& icon)
    : window_(&window), id_(window.id()), dispatcher_(dispatcher),
      widgets_(*this, dispatcher,
               [this](const std::function<void()>& action) { user_action(action); }),
      drawn_(window) {
    // Top level without an owner; the frame follows the model's attributes.
    Qt::WindowFlags flags = window.show_in_taskbar ? Qt::Window : Qt::Tool;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
    if (window.minimize_button) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (window.maximize_button) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);
    if (window.has_icon) {
        setWindowIcon(icon);
    }
    setWindowTitle(qs(window.caption));
    // Resizing moves nothing: a smaller window just clips what lies beyond.
    if (window.resizable) {
        resize(client_size());
    } else {
        setFixedSize(client_size());
    }
    setFont(ui_font());
    constexpr int kCloseRetryMs = 20;
    close_retry_.setSingleShot(true);
    close_retry_.setInterval(kCloseRetryMs);
    QObject::connect(&close_retry_, &QTimer::timeout, this, [this] { close_when_idle(); });
    kept_focus_.setSingleShot(true);
    kept_focus_.setInterval(0);
    QObject::connect(&kept_focus_, &QTimer::timeout, this, [this] { apply_kept_focus(); });
    setMouseTracking(true); // moves without a button reach the model too
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);

    widgets_.make_widgets(window);
    sync();
}

QSize WindowView::client_size() const {
    if (window_ == nullptr) {
        return size();
    }
    return {px(window_->client_width), px(window_->client_height)};
}

void WindowView::user_action(const std::function<void()>& action) {
    if (window_ == nullptr || dispatcher_.busy()) {
        return;
    }
    const ActingWindow acting(this);
    dispatcher_.dispatch(action);
}

void WindowView::sync() {
    if (window_ == nullptr) {
        return;
    }
    const QString title = qs(window_->caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    widgets_.sync();
    update_drawn();
    if (!window_->visible && isVisible()) {
        hide();
    }
}

void WindowView::sync_shown() {
    if (window_ == nullptr || !window_->visible) {
        return;
    }
    const bool shown_again = window_->show_count() != applied_show_count_;
    applied_show_count_ = window_->show_count();
    if (!isVisible() || isMinimized() || shown_again) {
        if (isMinimized()) {
            showNormal();
        } else if (!isVisible()) {
            show();
        }
        raise();
        activateWindow();
    }
    tk::Control* focus = window_->focus();
    if (focus != applied_focus_ || shown_again) {
        applied_focus_ = focus;
        QWidget* w = focus != nullptr ? widget_for(*focus) : nullptr;
        if (w != nullptr && w->isVisible() && w->isEnabled()) {
            w->setFocus(Qt::OtherFocusReason);
        }
    }
}

bool WindowView::restore_focus(const tk::Control* picked) {
    if (!isVisible()) {
        return true; // a late activation of a window hidden meanwhile
    }
    const tk::Control* kept = window_->focus();
    QWidget* w = kept != nullptr ? widget_for(*kept) : nullptr;
    if (w == nullptr || !w->isVisible() || !w->isEnabled()) {
        return false;
    }
    applied_focus_ = window_->focus();
    if (kept != picked) {
        // Not from inside the focus change that Qt is delivering.
        kept_focus_.start();
    }
    return true;
}

bool WindowView::held_down() const {
    return pressed_ != nullptr && QApplication::mouseButtons() != Qt::NoButton;
}

void WindowView::apply_kept_focus() {
    if (window_ == nullptr || !isVisible() || held_down()) {
        return;
    }
    // Read again: a click may have moved the model's focus meanwhile.
    const tk::Control* kept = window_->focus();
    QWidget* w = kept != nullptr ? widget_for(*kept) : nullptr;
    if (w != nullptr && w->isVisible() && w->isEnabled() && QApplication::focusWidget() != w) {
        w->setFocus(Qt::OtherFocusReason);
    }
}

void WindowView::detach() {
    window_ = nullptr;
    applied_focus_ = nullptr;
    pressed_ = nullptr;
    widgets_.detach();
    drawn_.detach();
    hide();
    deleteLater();
}

Surface WindowView::surface() const {
    return {rect(), devicePixelRatioF(), font(), palette().color(QPalette::WindowText)};
}

void WindowView::update_drawn() {
    const QRegion changed = drawn_.take_changes(surface());
    if (!changed.isEmpty()) {
        invalidate(changed);
    }
    const QRegion outline = drawn_.take_outline_move();
    if (!outline.isEmpty()) {
        update(outline);
    }
}

void WindowView::invalidate(const QRegion& area) {
    drawn_.invalidate(area);
    update(area);
}

void WindowView::set_overlay(ViewOverlay* overlay) {
    if (drawn_.set_overlay(overlay)) {
        invalidate(rect());
    }
}

void WindowView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (window_ == nullptr) {
        painter.fillRect(rect(), to_qcolor(tk::kButtonFace));
        return;
    }
    drawn_.paint(painter, event->region(), surface());
}

void WindowView::route_mouse(MouseRoute route, std::int16_t buttons, const QMouseEvent& event) {
    const std::int16_t shift = shift_code(event.modifiers());
    const float x = to_twips(event.position().x());
    const float y = to_twips(event.position().y());
    user_action([this, route, buttons, shift, x, y] {
        switch (route) {
        case MouseRoute::kPress:
            window_->mouse_press(buttons, shift, x, y);
            break;
        case MouseRoute::kMove:
            window_->mouse_move(buttons, shift, x, y);
            break;
        case MouseRoute::kRelease:
            window_->mouse_release(buttons, shift, x, y);
            break;
        case MouseRoute::kReleaseElsewhere:
            window_->mouse_release_elsewhere(buttons, shift, x, y);
            break;
        }
    });
}

void WindowView::mousePressEvent(QMouseEvent* event) {
    if (const std::int16_t button = button_code(event->button())) {
        route_mouse(MouseRoute::kPress, button, *event);
    }
}

void WindowView::mouseMoveEvent(QMouseEvent* event) {
    route_mouse(MouseRoute::kMove, buttons_code(event->buttons()), *event);
}

void WindowView::mouseReleaseEvent(QMouseEvent* event) {
    if (const std::int16_t button = button_code(event->button())) {
        // A release over another of the program's windows is not one over
        // this window's surface, even where that window lies above it.
        const QWidget* top = QApplication::topLevelAt(event->globalPosition().toPoint());
        const bool elsewhere = top != nullptr && top != this;
        route_mouse(elsewhere ? MouseRoute::kReleaseElsewhere : MouseRoute::kRelease, button,
                    *event);
    }
}

void WindowView::closeEvent(QCloseEvent* event) {
    // The model decides: its handler may end the program, unload the window
    // (the presenter then drops this view) or keep it.
    event->ignore();
    close_when_idle();
}

void WindowView::close_when_idle() {
    if (window_ != nullptr && dispatcher_.busy()) {
        // Asked while a handler runs (a picture being decoded): carried out
        // once it has ended, never in the middle of it.
        close_retry_.start();
        return;
    }
    user_action([this] { window_->request_close(); });
}

bool WindowView::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        drawn_.invalidate_all(rect()); // text and colours come from these
        break;
    default:
        break;
    }
    if (event->type() == QEvent::ToolTip && window_ != nullptr) {
        // A label whose caption may be shortened shows it whole as its tip.
        const auto& help = static_cast<const QHelpEvent&>(*event);
        const tk::Control* c =
            window_->hit_test(to_twips(help.pos().x()), to_twips(help.pos().y()));
        const auto* label = c != nullptr && c->kind() == tk::Kind::Label
                                ? static_cast<const tk::Label*>(c)
                                : nullptr;
        if (label != nullptr && label->elide_from != std::string::npos) {
            QToolTip::showText(help.globalPos(), qs(label->caption), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

bool WindowView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && window_ != nullptr &&
        widgets_.source(watched) != nullptr) {
        // The model owns the tab order and the option groups; Tab and the
        // arrows on an option go to it, the view then shows where focus went.
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
        const int step = focus_key_step(key.key(), mods, widgets_.source(watched)->kind());
        if (step == kTabForward || step == kTabBackward) {
            user_action([this, step] { window_->tab(step == kTabBackward); });
            return true;
        }
        if (step != 0) {
            user_action([this, step] { window_->arrow(step); });
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonPress) {
        pressed_ = widgets_.source(watched);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        pressed_ = nullptr;
    }
    if (event->type() == QEvent::FocusIn && window_ != nullptr) {
        if (tk::Control* control = widgets_.source(watched)) {
            const auto reason = static_cast<const QFocusEvent&>(*event).reason();
            // A press on an inactive window gives its control the focus only once
            // the window system has activated the window, which may come before
            // the release: then the focus is the user's, not Qt's pick.
            const bool pressed = control == pressed_ && held_down();
            if (reason == Qt::ActiveWindowFocusReason && !pressed && restore_focus(control)) {
                // Qt's pick on activation (it may be the control after the one
                // that had the focus when the window was hidden) is not the user's.
            } else if (!dispatcher_.busy()) {
                // A focus change by the user: an option that takes it becomes selected.
                applied_focus_ = control;
                user_action([this, control] { window_->set_focus(control); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace padscreen_qt
