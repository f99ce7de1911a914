// SPDX-License-Identifier: GPL-2.0-or-later
#include "window_view.h"

#include "kept_look_button.h"
#include "services.h"
#include "ui_font.h"
#include "units.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

namespace padscreen_qt {

namespace {

bool same_items(const QComboBox& combo, const std::vector<std::string>& items) {
    if (combo.count() != static_cast<int>(items.size())) {
        return false;
    }
    for (int k = 0; k < combo.count(); ++k) {
        if (combo.itemText(k) != qs(items[static_cast<std::size_t>(k)])) {
            return false;
        }
    }
    return true;
}

// What a key does to the focus: Tab and Shift+Tab move between stops, the
// arrows on an option step within its group (-1, 1); 0 leaves the key alone.
constexpr int kTabForward = 2;
constexpr int kTabBackward = -2;
int focus_key_step(int key, Qt::KeyboardModifiers mods, tk::Kind on) {
    if (key == Qt::Key_Tab && mods == Qt::NoModifier) {
        return kTabForward;
    }
    if (key == Qt::Key_Backtab && (mods == Qt::ShiftModifier || mods == Qt::NoModifier)) {
        return kTabBackward;
    }
    // On a button the arrows move the focus on as Tab does (the toolkit's own
    // walk would enter an option group at its first option and choose it).
    const bool option = on == tk::Kind::OptionButton;
    if ((!option && on != tk::Kind::Button) || mods != Qt::NoModifier) {
        return 0;
    }
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        return option ? -1 : kTabBackward;
    case Qt::Key_Down:
    case Qt::Key_Right:
        return option ? 1 : kTabForward;
    default:
        return 0;
    }
}

bool takes_focus(const tk::Control& c) {
    return c.kind() != tk::Kind::Frame && c.kind() != tk::Kind::PictureBox && c.tab_index >= 0;
}

} // namespace

WindowView::WindowView(tk::Window& window, Dispatcher& dispatcher, const QIcon& icon)
    : window_(&window), id_(window.id()), dispatcher_(dispatcher), drawn_(window) {
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
    setMouseTracking(true); // moves without a button reach the model too
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);

    for (const auto& control : window.controls()) {
        if (control->windowed()) {
            ensure_widget(*control);
        }
    }
    QWidget* previous = nullptr;
    for (tk::Control* c : window.tab_order()) {
        QWidget* w = widget_for(*c);
        if (w == nullptr || !takes_focus(*c)) {
            continue;
        }
        if (previous != nullptr) {
            setTabOrder(previous, w);
        }
        previous = w;
    }
    sync();
}

QSize WindowView::client_size() const {
    if (window_ == nullptr) {
        return size();
    }
    return {px(window_->client_width), px(window_->client_height)};
}

QWidget* WindowView::widget_for(const tk::Control& control) const {
    const auto it = widgets_.find(&control);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* WindowView::ensure_widget(tk::Control& control) {
    if (QWidget* existing = widget_for(control)) {
        return existing;
    }
    // Options live inside their frame, placed relative to it.
    QWidget* parent = this;
    if (control.container != nullptr) {
        if (QWidget* frame = ensure_widget(*control.container)) {
            parent = frame;
        }
    }
    QWidget* widget = make_widget(control, parent);
    widgets_[&control] = widget;
    sources_[widget] = &control;
    widget->installEventFilter(this);
    return widget;
}

QWidget* WindowView::make_widget(tk::Control& control, QWidget* parent) {
    switch (control.kind()) {
    case tk::Kind::Button: {
        auto& model = static_cast<tk::Button&>(control);
        auto* button = new KeptLookButton(qs(model.caption), parent);
        // Enter presses a button that has the focus, as Space does; no button
        // is the window's default.
        button->setAutoDefault(true);
        QObject::connect(button, &QPushButton::clicked, this,
                         [this, &model] { user_action([&model] { model.click(); }); });
        return button;
    }
    case tk::Kind::ComboBox: {
        auto& model = static_cast<tk::ComboBox&>(control);
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        QLineEdit* editor = combo->lineEdit();
        // Typing, Enter or leaving the field never counts as choosing an item:
        // only a choice from the list does.
        QObject::disconnect(editor, &QLineEdit::editingFinished, combo, nullptr);
        QObject::disconnect(editor, &QLineEdit::returnPressed, combo, nullptr);
        QObject::connect(combo, &QComboBox::activated, this, [this, &model](int index) {
            user_action([&model, index] { model.choose(index); });
        });
        QObject::connect(editor, &QLineEdit::textEdited, this, [this, &model](const QString& t) {
            if (window_ != nullptr) {
                model.text = t.toStdString();
            }
        });
        sources_[editor] = &control;
        editor->installEventFilter(this);
        return combo;
    }
    case tk::Kind::TextBox: {
        auto& model = static_cast<tk::TextBox&>(control);
        if (model.multi_line) {
            auto* edit = new QPlainTextEdit(parent);
            edit->setVerticalScrollBarPolicy(model.vertical_scroll_bar ? Qt::ScrollBarAlwaysOn
                                                                       : Qt::ScrollBarAsNeeded);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->setTabChangesFocus(true);
            edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            QObject::connect(edit, &QPlainTextEdit::textChanged, this, [this, &model, edit] {
                if (window_ == nullptr || dispatcher_.busy()) {
                    return;
                }
                model.text = from_editor(*edit->document());
                shown_text_[&model] = model.text;
            });
            return edit;
        }
        auto* edit = new QLineEdit(parent);
        QObject::connect(edit, &QLineEdit::textEdited, this, [this, &model](const QString& t) {
            if (window_ != nullptr) {
                model.text = t.toStdString();
            }
        });
        return edit;
    }
    case tk::Kind::Frame:
        return new QGroupBox(qs(static_cast<tk::Frame&>(control).caption), parent);
    case tk::Kind::OptionButton: {
        auto& model = static_cast<tk::OptionButton&>(control);
        auto* option = new QRadioButton(qs(model.caption), parent);
        QObject::connect(option, &QRadioButton::toggled, this, [this, &model](bool checked) {
            if (checked) {
                user_action([&model] { model.set_value(true); });
            }
        });
        return option;
    }
    case tk::Kind::PictureBox: {
        auto* box = new QFrame(parent);
        box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        box->setFocusPolicy(Qt::NoFocus);
        return box;
    }
    case tk::Kind::Image:
    case tk::Kind::Label:
    case tk::Kind::Line:
        break;
    }
    return nullptr;
}

void WindowView::user_action(const std::function<void()>& action) {
    if (window_ == nullptr || dispatcher_.busy()) {
        return;
    }
    const ActingWindow acting(this);
    dispatcher_.dispatch(action);
}

void WindowView::sync_widget(tk::Control& control, QWidget* widget) {
    const QSignalBlocker block(widget);
    // Inside a frame the place is relative to it, as the model keeps it.
    QRect place = px_rect({control.left, control.top, control.width, control.height});
    if (control.kind() == tk::Kind::OptionButton && widget->parentWidget() != nullptr) {
        // An option caption a little wider than its designed box may use the
        // rest of its frame rather than be cut.
        const int room = widget->parentWidget()->width() - place.left() - 2;
        place.setWidth(std::max(place.width(), std::min(widget->sizeHint().width(), room)));
    }
    if (widget->geometry() != place) {
        widget->setGeometry(place);
    }
    switch (control.kind()) {
    case tk::Kind::Button: {
        auto* button = static_cast<QPushButton*>(widget);
        const QString caption = qs(static_cast<tk::Button&>(control).caption);
        if (button->text() != caption) {
            button->setText(caption);
        }
        break;
    }
    case tk::Kind::ComboBox: {
        auto& model = static_cast<tk::ComboBox&>(control);
        auto* combo = static_cast<QComboBox*>(widget);
        const QSignalBlocker block_editor(combo->lineEdit());
        if (!same_items(*combo, model.items)) {
            combo->clear();
            for (const std::string& item : model.items) {
                combo->addItem(qs(item));
            }
            combo->setEditText(QString()); // set again below
        }
        const QString text = qs(model.text);
        if (combo->currentText() != text) {
            combo->setCurrentIndex(
                combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
            combo->setEditText(text);
        }
        break;
    }
    case tk::Kind::TextBox: {
        auto& model = static_cast<tk::TextBox&>(control);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
            const auto seen = shown_text_.find(&model);
            if (seen == shown_text_.end() || seen->second != model.text) {
                edit->setPlainText(to_editor(model.text));
                shown_text_[&model] = model.text;
            }
        } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            const QString text = qs(model.text);
            if (line->text() != text) {
                line->setText(text);
            }
        }
        break;
    }
    case tk::Kind::Frame: {
        auto* frame = static_cast<QGroupBox*>(widget);
        const QString caption = qs(static_cast<tk::Frame&>(control).caption);
        if (frame->title() != caption) {
            frame->setTitle(caption);
        }
        break;
    }
    case tk::Kind::OptionButton: {
        auto& model = static_cast<tk::OptionButton&>(control);
        auto* option = static_cast<QRadioButton*>(widget);
        const QString caption = qs(model.caption);
        if (option->text() != caption) {
            option->setText(caption);
        }
        if (option->isChecked() != model.value()) {
            // An exclusive group refuses to clear its checked button; the
            // model may have none selected.
            option->setAutoExclusive(false);
            option->setChecked(model.value());
            option->setAutoExclusive(true);
        }
        break;
    }
    default:
        break;
    }
    if (widget->isEnabled() != control.enabled) {
        widget->setEnabled(control.enabled);
    }
    if (widget->isHidden() == control.visible) {
        widget->setVisible(control.visible);
    }
}

void WindowView::sync() {
    if (window_ == nullptr) {
        return;
    }
    const QString title = qs(window_->caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    // Frames before the options they hold, so that a shown option is not
    // shown by an enable change of its frame in between.
    for (const auto& control : window_->controls()) {
        if (QWidget* w = widget_for(*control)) {
            sync_widget(*control, w);
        }
    }
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
        QMetaObject::invokeMethod(w, "setFocus", Qt::QueuedConnection);
    }
    return true;
}

void WindowView::detach() {
    window_ = nullptr;
    applied_focus_ = nullptr;
    sources_.clear();
    widgets_.clear();
    drawn_.detach();
    shown_text_.clear();
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
        const tk::Control* c = window_->hit_test(to_twips(help.pos().x()), to_twips(help.pos().y()));
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
    if (event->type() == QEvent::KeyPress && window_ != nullptr && sources_.contains(watched)) {
        // The model owns the tab order and the option groups; Tab and the
        // arrows on an option go to it, the view then shows where focus went.
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
        const int step = focus_key_step(key.key(), mods, sources_.value(watched)->kind());
        if (step == kTabForward || step == kTabBackward) {
            user_action([this, step] { window_->tab(step == kTabBackward); });
            return true;
        }
        if (step != 0) {
            user_action([this, step] { window_->arrow(step); });
            return true;
        }
    }
    if (event->type() == QEvent::FocusIn && window_ != nullptr) {
        const auto it = sources_.constFind(watched);
        if (it != sources_.constEnd()) {
            tk::Control* control = it.value();
            const auto reason = static_cast<const QFocusEvent&>(*event).reason();
            if (reason == Qt::ActiveWindowFocusReason && restore_focus(control)) {
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
