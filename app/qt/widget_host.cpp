// SPDX-License-Identifier: GPL-2.0-or-later
#include "widget_host.h"

#include "accessibility.h"

#include "kept_look_button.h"
#include "units.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <utility>

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

bool takes_focus(const tk::Control& c) {
    return c.kind() != tk::Kind::Frame && c.kind() != tk::Kind::PictureBox && c.tab_index >= 0;
}

} // namespace

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

WidgetHost::WidgetHost(QWidget& view, Dispatcher& dispatcher, UserAction user_action)
    : view_(view), dispatcher_(dispatcher), user_action_(std::move(user_action)) {}

void WidgetHost::make_widgets(tk::Window& window) {
    window_ = &window;
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
            QWidget::setTabOrder(previous, w);
        }
        previous = w;
    }
    accessibility::name_boxes(window, [this](const tk::Control& c) { return widget_for(c); });
}

QWidget* WidgetHost::widget_for(const tk::Control& control) const {
    const auto it = widgets_.find(&control);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* WidgetHost::ensure_widget(tk::Control& control) {
    if (QWidget* existing = widget_for(control)) {
        return existing;
    }
    // Options live inside their frame, placed relative to it.
    QWidget* parent = &view_;
    if (control.container != nullptr) {
        if (QWidget* frame = ensure_widget(*control.container)) {
            parent = frame;
        }
    }
    QWidget* widget = make_widget(control, parent);
    widgets_[&control] = widget;
    sources_[widget] = &control;
    widget->installEventFilter(&view_);
    return widget;
}

QWidget* WidgetHost::make_widget(tk::Control& control, QWidget* parent) {
    switch (control.kind()) {
    case tk::Kind::Button: {
        auto& model = static_cast<tk::Button&>(control);
        auto* button = new KeptLookButton(qs(model.caption), parent);
        // Enter presses a button that has the focus, as Space does; no button
        // is the window's default.
        button->setAutoDefault(true);
        QObject::connect(button, &QPushButton::clicked, &view_,
                         [this, &model] { user_action_([&model] { model.click(); }); });
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
        QObject::connect(combo, &QComboBox::activated, &view_, [this, &model](int index) {
            user_action_([&model, index] { model.choose(index); });
        });
        QObject::connect(editor, &QLineEdit::textEdited, &view_, [this, &model](const QString& t) {
            if (window_ != nullptr) {
                model.text = t.toStdString();
            }
        });
        sources_[editor] = &control;
        editor->installEventFilter(&view_);
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
            QObject::connect(edit, &QPlainTextEdit::textChanged, &view_, [this, &model, edit] {
                if (window_ == nullptr || dispatcher_.busy()) {
                    return;
                }
                model.text = from_editor(*edit->document());
                shown_text_[&model] = model.text;
            });
            return edit;
        }
        auto* edit = new QLineEdit(parent);
        QObject::connect(edit, &QLineEdit::textEdited, &view_, [this, &model](const QString& t) {
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
        QObject::connect(option, &QRadioButton::toggled, &view_, [this, &model](bool checked) {
            if (checked) {
                user_action_([&model] { model.set_value(true); });
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

void WidgetHost::sync_widget(tk::Control& control, QWidget* widget) {
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

void WidgetHost::sync() {
    if (window_ == nullptr) {
        return;
    }
    // Frames before the options they hold, so that a shown option is not
    // shown by an enable change of its frame in between.
    for (const auto& control : window_->controls()) {
        if (QWidget* w = widget_for(*control)) {
            sync_widget(*control, w);
        }
    }
}

void WidgetHost::detach() {
    window_ = nullptr;
    sources_.clear();
    widgets_.clear();
    shown_text_.clear();
}

} // namespace padscreen_qt
