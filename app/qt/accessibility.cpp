// SPDX-License-Identifier: GPL-2.0-or-later
#include "accessibility.h"

#include "assist/code_check.h"
#include "assist/lcd.h"
#include "assist/nudge.h"
#include "assist_overlay.h"
#include "form1.h"
#include "window_view.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace padscreen_qt::accessibility {

namespace {

const AssistOverlay* g_overlay = nullptr;

Form1* form_of(const WindowView* view) {
    return view == nullptr ? nullptr : dynamic_cast<Form1*>(view->window());
}

QString numbers(const assist::LcdNumbers& n) {
    QString text =
        QStringLiteral("x %1, y %2, width %3, height %4").arg(n.x).arg(n.y).arg(n.w).arg(n.h);
    const assist::Overhang o = assist::overhang(n);
    QStringList past;
    if (o.right > 0) {
        past << QStringLiteral("%1 right").arg(o.right);
    }
    if (o.bottom > 0) {
        past << QStringLiteral("%1 down").arg(o.bottom);
    }
    if (!past.isEmpty()) {
        text += QStringLiteral(", past the LCD by ") + past.join(QStringLiteral(" and "));
    }
    return text;
}

// The selected hotspot's label number; hotspots are selected in blue.
std::optional<int> selected_hotspot(const Form1& form) {
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        if (form.lbl(j).visible && form.lbl(j).back_color == tk::kBlue) {
            return j;
        }
    }
    return std::nullopt;
}

// One thing drawn on the main window: a picture, a hotspot, the LCD's frame
// or the read-outs. It has no object of its own; it reads the model each time.
class Part : public QAccessibleInterface, public QAccessibleTextInterface {
public:
    enum class Kind { Picture, Hotspot, Lcd, ReadOuts };
    Part(WindowView* view, Kind kind, int n) : view_(view), kind_(kind), n_(n) {}

    Kind kind() const { return kind_; }
    int number() const { return n_; }
    bool shown() const {
        const Form1* form = form_of(view_);
        if (form == nullptr) {
            return false;
        }
        switch (kind_) {
        case Kind::Picture:
            return form->Image(n_).visible && form->Image(n_).has_picture();
        case Kind::Hotspot:
            return form->lbl(n_).visible;
        case Kind::Lcd:
        case Kind::ReadOuts:
            return true;
        }
        return false;
    }
    bool selected() const {
        const Form1* form = form_of(view_);
        if (form == nullptr) {
            return false;
        }
        return (kind_ == Kind::Picture && assist::selected_picture(*form) == n_) ||
               (kind_ == Kind::Hotspot && selected_hotspot(*form) == n_);
    }

    bool isValid() const override { return !view_.isNull() && form_of(view_) != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}

    QString text(QAccessible::Text t) const override {
        const Form1* form = form_of(view_);
        if (form == nullptr || (t != QAccessible::Name && t != QAccessible::Description)) {
            return {};
        }
        const bool name = t == QAccessible::Name;
        switch (kind_) {
        case Kind::Picture: {
            const tk::Image& image = form->Image(n_);
            return name ? QStringLiteral("Picture %1, %2: %3")
                              .arg(n_)
                              .arg(QString::fromStdString(form->strFileName(n_).text()),
                                   numbers(assist::line_numbers(image)))
                        : QStringLiteral("File %1").arg(QString::fromStdString(image.tag)) +
                              state_words(assist::line_numbers(image));
        }
        case Kind::Hotspot:
            return name ? QStringLiteral("Hotspot %1 in the code: %2")
                              .arg(assist::hotspot_code_number(*form, n_))
                              .arg(numbers(assist::line_numbers(form->lbl(n_))))
                        : QStringLiteral("Hotspot") +
                              state_words(assist::line_numbers(form->lbl(n_)));
        case Kind::Lcd:
            return name ? QStringLiteral("LCD frame, %1 by %2 pixels")
                              .arg(assist::kLcdWidth)
                              .arg(assist::kLcdHeight)
                        : QString();
        case Kind::ReadOuts:
            return name ? QStringLiteral("Read-outs")
                        : (g_overlay != nullptr ? g_overlay->full_text() : QString());
        }
        return {};
    }

    // ", selected, past the LCD" as far as they hold: no state of the toolkit
    // says "past the LCD".
    QString state_words(const assist::LcdNumbers& n) const {
        QString words = selected() ? QStringLiteral(", selected") : QString();
        if (assist::overhang(n).any()) {
            words += QStringLiteral(", past the LCD");
        }
        return words;
    }

    QRect rect() const override {
        const Form1* form = form_of(view_);
        if (form == nullptr) {
            return {};
        }
        QRect r;
        switch (kind_) {
        case Kind::Picture:
            r = px_rect(form->Image(n_).window_rect());
            break;
        case Kind::Hotspot:
            r = px_rect(form->lbl(n_).window_rect());
            break;
        case Kind::Lcd:
            r = px_rect(assist::lcd_area());
            break;
        case Kind::ReadOuts:
            r = g_overlay != nullptr ? g_overlay->readout_rect() : QRect();
            break;
        }
        return r.translated(view_->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::Role role() const override {
        switch (kind_) {
        case Kind::Picture:
            return QAccessible::Graphic;
        case Kind::Hotspot:
            return QAccessible::Section;
        case Kind::Lcd:
            return QAccessible::Grouping;
        case Kind::ReadOuts:
            return QAccessible::StaticText;
        }
        return QAccessible::NoRole;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !shown();
        const bool selectable = kind_ == Kind::Picture || kind_ == Kind::Hotspot;
        s.selectable = selectable;
        s.selected = selectable && selected();
        s.focusable = selectable;
        s.focused = s.selected && announced_ == this;
        s.readOnly = kind_ == Kind::ReadOuts;
        s.multiLine = kind_ == Kind::ReadOuts;
        return s;
    }

    // The read-outs as text a screen reader can walk; read only, no caret.
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface && kind_ == Kind::ReadOuts
                   ? static_cast<QAccessibleTextInterface*>(this)
                   : nullptr;
    }
    QString text(int start, int end) const override {
        return text(QAccessible::Description).mid(start, end - start);
    }
    int characterCount() const override {
        return static_cast<int>(text(QAccessible::Description).size());
    }
    void selection(int /*index*/, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int /*start*/, int /*end*/) override {}
    void removeSelection(int /*index*/) override {}
    void setSelection(int /*index*/, int /*start*/, int /*end*/) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int /*position*/) override {}
    QRect characterRect(int /*offset*/) const override { return {}; }
    int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
    void scrollToSubstring(int /*start*/, int /*end*/) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

    // The part a focus event was last sent for.
    static inline Part* announced_ = nullptr;

private:
    QPointer<WindowView> view_;
    Kind kind_;
    int n_;
};

// The main window: its widgets as usual, then what is drawn on it.
class Canvas : public QAccessibleWidget {
public:
    explicit Canvas(WindowView* view) : QAccessibleWidget(view, QAccessible::Window) {
        const auto add = [this, view](Part::Kind kind, int n) {
            auto* part = new Part(view, kind, n);
            parts_.push_back(part);
            ids_.push_back(QAccessible::registerAccessibleInterface(part));
        };
        for (int k = 1; k <= Form1::kSlots; ++k) {
            add(Part::Kind::Picture, k);
        }
        for (int j = 1; j <= Form1::kHotspots; ++j) {
            add(Part::Kind::Hotspot, j);
        }
        add(Part::Kind::Lcd, 0);
        add(Part::Kind::ReadOuts, 0);
        canvas_ = this;
    }
    ~Canvas() override {
        if (canvas_ == this) {
            canvas_ = nullptr;
        }
        if (Part::announced_ != nullptr &&
            std::find(parts_.begin(), parts_.end(), Part::announced_) != parts_.end()) {
            Part::announced_ = nullptr;
        }
        for (const QAccessible::Id id : ids_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    std::vector<Part*> shown_parts() const {
        std::vector<Part*> shown;
        for (Part* p : parts_) {
            if (p->shown()) {
                shown.push_back(p);
            }
        }
        return shown;
    }
    Part* part(Part::Kind kind, int n) const {
        for (Part* p : parts_) {
            if (p->kind() == kind && p->number() == n) {
                return p;
            }
        }
        return nullptr;
    }

    int childCount() const override {
        return QAccessibleWidget::childCount() + static_cast<int>(shown_parts().size());
    }
    QAccessibleInterface* child(int index) const override {
        const int widgets = QAccessibleWidget::childCount();
        if (index < widgets) {
            return QAccessibleWidget::child(index);
        }
        const std::vector<Part*> shown = shown_parts();
        const auto k = static_cast<std::size_t>(index - widgets);
        return k < shown.size() ? shown[k] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<Part*> shown = shown_parts();
        const auto it = std::find(shown.begin(), shown.end(), child);
        if (it != shown.end()) {
            return QAccessibleWidget::childCount() + static_cast<int>(it - shown.begin());
        }
        return QAccessibleWidget::indexOfChild(child);
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        if (QAccessibleInterface* widget = QAccessibleWidget::childAt(x, y)) {
            return widget;
        }
        // The topmost first: pictures lie over hotspots.
        const std::vector<Part*> shown = shown_parts();
        for (auto it = shown.begin(); it != shown.end(); ++it) {
            if ((*it)->kind() != Part::Kind::Lcd && (*it)->rect().contains(x, y)) {
                return *it;
            }
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        if (QAccessibleInterface* widget = QAccessibleWidget::focusChild()) {
            return widget;
        }
        Part* part = Part::announced_;
        return part != nullptr && part->selected() ? part : nullptr;
    }

    static inline Canvas* canvas_ = nullptr;

private:
    std::vector<Part*> parts_;
    std::vector<QAccessible::Id> ids_;
};

// A list box with an edit field, named by its label: Qt names one by its
// current text on this platform, so a screen reader said "None" for the
// enable list. Its value stays the text.
class NamedCombo : public QAccessibleWidget {
public:
    explicit NamedCombo(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return combo()->currentText();
        }
        if (t == QAccessible::Name && !combo()->accessibleName().isEmpty()) {
            return combo()->accessibleName();
        }
        return QAccessibleWidget::text(t);
    }
    // The list, then the edit field.
    int childCount() const override { return combo()->lineEdit() != nullptr ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(combo()->view());
        }
        return index == 1 ? QAccessible::queryAccessibleInterface(combo()->lineEdit()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child->object() == combo()->view()       ? 0
               : child->object() == combo()->lineEdit() ? 1
                                                        : -1;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view()->isVisible();
        s.collapsed = !s.expanded;
        s.editable = combo()->isEditable();
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction()} << QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            combo()->showPopup();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }
};

QAccessibleInterface* factory(const QString& /*class_name*/, QObject* object) {
    if (auto* combo = qobject_cast<QComboBox*>(object)) {
        return new NamedCombo(combo);
    }
    auto* view = dynamic_cast<WindowView*>(object);
    if (view == nullptr || form_of(view) == nullptr) {
        return nullptr;
    }
    return new Canvas(view);
}

// What was last announced, to tell only changes.
struct Announced {
    std::size_t shown = 0;
    std::optional<int> picture;
    std::optional<int> hotspot;
    QString read_outs;
    QString focus_name;
};
Announced g_announced;

} // namespace

void install(const AssistOverlay& overlay) {
    g_overlay = &overlay;
    QAccessible::installFactory(factory);
}

void name_boxes(const tk::Window& window,
                const std::function<QWidget*(const tk::Control&)>& widget_for) {
    for (const auto& control : window.controls()) {
        QWidget* widget = widget_for(*control);
        if (widget == nullptr || !control->visible || !widget->accessibleName().isEmpty() ||
            (control->kind() != tk::Kind::ComboBox && control->kind() != tk::Kind::TextBox)) {
            continue;
        }
        // The nearest captioned label ending just above the box or just left of it.
        const tk::Rect box = control->window_rect();
        QString name = QString::fromStdString(window.caption);
        float best = std::numeric_limits<float>::max();
        for (const auto& other : window.controls()) {
            if (other->kind() != tk::Kind::Label || !other->visible) {
                continue;
            }
            const auto& label = static_cast<const tk::Label&>(*other);
            const tk::Rect r = label.window_rect();
            const bool across = r.left < box.left + box.width && box.left < r.left + r.width;
            const bool beside = r.top < box.top + box.height && box.top < r.top + r.height;
            const float above = box.top - (r.top + r.height);
            const float left = box.left - (r.left + r.width);
            const float gap = across && above > -60 && above < 480  ? std::abs(above)
                              : beside && left > -60 && left < 1440 ? std::abs(left)
                                                                    : best;
            if (!label.caption.empty() && gap < best) {
                best = gap;
                name = QString::fromStdString(label.caption).remove(QLatin1Char('&'));
            }
        }
        widget->setAccessibleName(name);
        if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit()) {
            combo->lineEdit()->setAccessibleName(name);
        }
    }
}

void announce(WindowView* form_view) {
    const Form1* form = form_of(form_view);
    if (form == nullptr || !QAccessible::isActive()) {
        return;
    }
    QAccessible::queryAccessibleInterface(form_view); // makes the canvas
    Canvas* canvas = Canvas::canvas_;
    if (canvas == nullptr) {
        return;
    }
    Announced now{canvas->shown_parts().size(), assist::selected_picture(*form),
                  selected_hotspot(*form),
                  g_overlay != nullptr ? g_overlay->full_text() : QString(), QString()};
    // The newest selection takes the focus, as a click on a widget would.
    Part* focus = nullptr;
    if (now.hotspot && now.hotspot != g_announced.hotspot) {
        focus = canvas->part(Part::Kind::Hotspot, *now.hotspot);
    } else if (now.picture && now.picture != g_announced.picture) {
        focus = canvas->part(Part::Kind::Picture, *now.picture);
    }
    if (focus != nullptr) {
        Part::announced_ = focus;
        QAccessibleEvent event(focus, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
        QAccessibleEvent selection(focus, QAccessible::Selection);
        QAccessible::updateAccessibility(&selection);
    }
    // The focused one moved or was renamed (a nudge, a drop, an undo): its new numbers.
    Part* focused = Part::announced_;
    now.focus_name = focused != nullptr ? focused->text(QAccessible::Name) : QString();
    if (focus == nullptr && focused != nullptr && now.focus_name != g_announced.focus_name) {
        QAccessibleEvent event(focused, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    if (now.read_outs != g_announced.read_outs) {
        if (Part* read_outs = canvas->part(Part::Kind::ReadOuts, 0)) {
            QAccessibleEvent event(read_outs, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&event);
            QAccessibleTextUpdateEvent text(read_outs, 0, g_announced.read_outs, now.read_outs);
            QAccessible::updateAccessibility(&text);
        }
    }
    if (now.shown != g_announced.shown) {
        QAccessibleEvent children(canvas, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&children);
    }
    g_announced = std::move(now);
}

} // namespace padscreen_qt::accessibility
