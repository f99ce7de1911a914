// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist_overlay.h"

#include "assist/code_check.h"
#include "assist/lcd.h"
#include "assist/nudge.h"
#include "assist/read_out.h"
#include "document/document.h"
#include "document/recovery.h"
#include "form1.h"
#include "program.h"
#include "properties_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace padscreen_qt {

namespace {

// Not red, blue, yellow or white: those mean hotspots, selection, markers
// and the grid's centre lines.
const QColor kFrame(0, 150, 70);
const QColor kCentreMark(130, 205, 160);
const QColor kHatch(0, 110, 50);
const QColor kWarningMark(230, 110, 0);
// The keys' lines: lighter than the read-outs yet 6.1:1 on the panel's face.
const QColor kHint(0x59, 0x59, 0x59);

// The read-out area: the right column below "Image Hotspot Enable", over the
// panel and the bare window beneath it, down to the keys' lines.
constexpr float kReadoutLeft = 10035;
constexpr float kReadoutTop = 2340;
constexpr float kPanelRight = 12480;
// The keys' lines stand at the foot of the right column, above the properties' button.
constexpr float kKeysBottom = 7125;

// A line in rows no wider than width, broken between words.
QStringList wrapped(const QString& line, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(line) <= width) {
        return {line};
    }
    QStringList rows;
    QString row;
    for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = row.isEmpty() ? word : row + QLatin1Char(' ') + word;
        if (!row.isEmpty() && metrics.horizontalAdvance(longer) > width) {
            rows << metrics.elidedText(row, Qt::ElideRight, width);
            row = word;
        } else {
            row = longer;
        }
    }
    rows << metrics.elidedText(row, Qt::ElideRight, width);
    return rows;
}

} // namespace

AssistOverlay::AssistOverlay(Program& program, Dispatcher& dispatcher)
    : program_(program), dispatcher_(dispatcher) {
    qApp->installEventFilter(this);
    pointer_left_.setSingleShot(true);
    pointer_left_.setInterval(0);
    QObject::connect(&pointer_left_, &QTimer::timeout, this, [this] { follow_read_out(); });
}

AssistOverlay::~AssistOverlay() {
    set_document(nullptr);
    if (view_) {
        view_->set_overlay(nullptr);
    }
}

void AssistOverlay::set_document(document::Document* document) {
    if (document_ != nullptr) {
        document_->on_offer_found({});
    }
    document_ = document;
    if (document_ != nullptr) {
        // The recovery folder is looked through after the first paint; its offer shows once found.
        document_->on_offer_found([this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    // Inside an action (a load keeps painting), its own end shows it.
                    if (view_ && !dispatcher_.busy()) {
                        after_action(view_);
                    }
                },
                Qt::QueuedConnection);
        });
    }
}

PropertiesPanel* AssistOverlay::properties() const { return panel_.data(); }

QRect AssistOverlay::keys_rect() const {
    const int height = QFontMetrics(view_->font()).height() * static_cast<int>(assist::kKeysRows);
    const QRect foot = px_rect({kReadoutLeft, 0, kPanelRight - kReadoutLeft, kKeysBottom});
    return {foot.left(), foot.bottom() + 1 - height, foot.width(), height};
}

QRect AssistOverlay::readout_rect() const {
    const QRect column = px_rect({kReadoutLeft, kReadoutTop, kPanelRight - kReadoutLeft, 0});
    return {column.left(), column.top(), column.width(), keys_rect().top() - column.top()};
}

void AssistOverlay::after_action(WindowView* form_view) {
    form_ = program_.form1();
    if (form_view != view_) {
        if (view_) {
            view_->set_overlay(nullptr);
        }
        view_ = form_view;
        view_widget_ = form_view;
        if (view_) {
            view_->set_overlay(this);
            panel_ = new PropertiesPanel(*view_, program_, dispatcher_);
        }
    }
    if (document_ != nullptr) {
        // Said until the next design step, as what an action did not do is.
        const std::uint64_t taken = program_.history().taken();
        if (auto failure = document_->take_recovery_failure()) {
            recovery_failure_ = std::move(*failure);
            failure_at_ = taken;
        } else if (taken != failure_at_) {
            recovery_failure_.clear();
        }
    }
    if (!view_ || form_ == nullptr) {
        return;
    }
    last_.follow(*form_);
    if (panel_) {
        panel_->follow(*form_);
    }
    follow_read_out();
    // The bands follow the pictures and hotspots: worked out again only when
    // one of those moved, came or went.
    std::vector<float> places;
    const auto add = [&places](const tk::Control& c, bool shown) {
        places.insert(places.end(), {shown ? 1.0F : 0.0F, c.left, c.top, c.width, c.height});
    };
    for (int k = 1; k <= Form1::kSlots; ++k) {
        add(form_->Image(k), form_->Image(k).has_picture() && form_->Image(k).visible);
    }
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        add(form_->lbl(j), form_->lbl(j).visible);
    }
    // Every hotspot's outline, over the pictures that may hide it.
    std::vector<Outline> outlines;
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        const tk::Label& label = form_->lbl(j);
        if (label.visible) {
            outlines.push_back({px_rect(label.window_rect()), to_qcolor(label.back_color)});
        }
    }
    if (outlines != outlines_) {
        QRegion changed;
        for (const Outline& o : outlines_) {
            changed += o.rect;
        }
        for (const Outline& o : outlines) {
            changed += o.rect;
        }
        outlines_ = std::move(outlines);
        view_->invalidate(changed);
    }
    std::vector<QRect> marks = warning_marks();
    if (marks != marks_) {
        QRegion changed;
        for (const QRect& r : marks_) {
            changed += r.adjusted(-2, -2, 2, 2);
        }
        for (const QRect& r : marks) {
            changed += r.adjusted(-2, -2, 2, 2);
        }
        marks_ = std::move(marks);
        view_->invalidate(changed);
    }
    if (places == hatch_places_) {
        return;
    }
    hatch_places_ = std::move(places);
    // Only where the hatching came or went: the whole of it can be most of the canvas.
    QRegion hatched;
    for (const tk::Rect& band : assist::overhang_bands(*form_)) {
        hatched += px_rect(band);
    }
    const QRegion changed = hatched.xored(hatched_);
    hatched_ = hatched;
    if (!changed.isEmpty()) {
        view_->invalidate(changed);
    }
}

void AssistOverlay::follow_read_out() {
    if (!view_ || form_ == nullptr) {
        return;
    }
    auto pointer = form_->pointer();
    if (!pointer_inside_) {
        pointer.reset();
    }
    std::vector<assist::ReadOutLine> lines = assist::read_out(
        *form_, pointer, document_ != nullptr ? document_->notice() : std::string());
    if (const auto found = document_ != nullptr ? document_->offer_if_found() : std::nullopt) {
        // Above the keys, in two lines: the panel is narrow.
        const std::string offer = found->text();
        const std::size_t cut = offer.find(" (");
        const int group = lines.empty() ? 0 : lines.back().group + 1;
        lines.push_back({offer.substr(0, cut), assist::kRankNotice, group});
        lines.push_back({offer.substr(cut + 1), assist::kRankNotice, group});
    }
    if (!recovery_failure_.empty()) {
        const int group = lines.empty() ? 0 : lines.back().group + 1;
        lines.push_back({recovery_failure_, assist::kRankNotice, group});
    }
    // The enable list's field keeps the arrows while it has the focus.
    const QWidget* list = view_->widget_for(form_->cboDisable);
    const QWidget* focus = QApplication::focusWidget();
    const bool list_focus =
        list != nullptr && focus != nullptr && (focus == list || list->isAncestorOf(focus));
    QStringList keys = {
        QString::fromStdString(assist::arrows_line(*form_, last_.target(*form_), list_focus))};
    for (const char* line : assist::kKeysLines) {
        keys << QString::fromUtf8(line);
    }
    if (keys != keys_) {
        keys_ = std::move(keys);
        view_->invalidate(keys_rect());
    }
    if (lines == read_out_) {
        return;
    }
    const QFontMetrics metrics(view_->font());
    QStringList rows = readout_rows(lines, view_->font());
    read_out_ = std::move(lines);
    if (rows.size() != rows_.size()) {
        rows_ = std::move(rows);
        view_->invalidate(readout_rect());
        return;
    }
    // As many rows as before: only those that changed.
    QRegion changed;
    for (qsizetype k = 0; k < rows.size(); ++k) {
        if (rows[k] != rows_[k]) {
            changed += readout_row(metrics, static_cast<std::size_t>(k));
        }
    }
    rows_ = std::move(rows);
    view_->invalidate(changed);
}

bool AssistOverlay::paints_after(const tk::Control& control) const {
    return form_ != nullptr && !form_->grid().empty() && &control == form_->grid().back();
}

void AssistOverlay::paint_after(QPainter& painter, const tk::Control& /*control*/) {
    // Just above the grid: the LCD's frame and a faint mark at its centre,
    // one pixel wide at any scale like the grid's lines.
    const QRect lcd = px_rect(assist::lcd_area());
    const int w = lcd.width();
    const int h = lcd.height();
    for (const QRect& edge :
         {QRect(lcd.left(), lcd.top(), w + 1, 1), QRect(lcd.left(), lcd.top() + h, w + 1, 1),
          QRect(lcd.left(), lcd.top(), 1, h + 1), QRect(lcd.left() + w, lcd.top(), 1, h + 1)}) {
        painter.fillRect(edge, kFrame);
    }
    const auto [cx, cy] = assist::lcd_centre();
    const QPoint c(px(cx), px(cy));
    painter.fillRect(QRect(c.x() - 4, c.y(), 9, 1), kCentreMark);
    painter.fillRect(QRect(c.x(), c.y() - 4, 1, 9), kCentreMark);
}

void AssistOverlay::paint_above(QPainter& painter, const QRegion& area) {
    if (form_ == nullptr || !view_) {
        return;
    }
    if (!recovery_asked_ && document_ != nullptr) {
        recovery_asked_ = true;
        // Once the first paint is out: a full recovery folder never holds it up.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (document_ != nullptr) {
                    document_->look_for_recovery();
                }
            },
            Qt::QueuedConnection);
    }
    // Where lines reach past the LCD: each pixel once, however many bands overlap.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kHatch, 1));
    QList<QLine> lines;
    for (const QRect& r : hatched_& area) {
        // Rising lines 8 pixels apart, on x + y = 8k across the whole canvas, so
        // that the pieces of the region meet; a pattern brush costs several times more.
        painter.setClipRect(r);
        lines.clear();
        for (int c = (r.left() + r.top() + 7) / 8 * 8; c <= r.right() + r.bottom() + 1; c += 8) {
            lines.append(QLine(c - r.top(), r.top(), c - r.bottom() - 1, r.bottom() + 1));
        }
        painter.drawLines(lines);
    }
    painter.setClipping(false);
    // Inside the label's own edge: where nothing lies over it, nothing changes.
    for (const Outline& o : outlines_) {
        if (area.intersects(o.rect) && o.rect.width() > 2 && o.rect.height() > 2) {
            painter.setPen(QPen(o.colour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(o.rect).adjusted(1, 1, -1, -1));
        }
    }
    painter.setPen(QPen(kWarningMark, 2, Qt::DashLine));
    for (const QRect& mark : marks_) {
        if (area.intersects(mark.adjusted(-2, -2, 2, 2))) {
            painter.drawRect(mark);
        }
    }
    const QRect area_rect = readout_rect();
    const QRect keys_area = keys_rect();
    if (!area.intersects(area_rect) && !area.intersects(keys_area)) {
        painter.restore();
        return;
    }
    // The read-outs, on the panel's face, in the window's font; only the rows
    // the area touches: shaping text is the dearest part of a frame.
    painter.setClipRegion(area & (QRegion(area_rect) + keys_area));
    const QFontMetrics metrics(painter.font());
    const auto rows = static_cast<std::size_t>(rows_.size());
    const auto keys = static_cast<std::size_t>(keys_.size());
    const bool all = static_cast<std::size_t>(painted_.size()) != rows + keys;
    if (all) {
        painted_ = QStringList(static_cast<qsizetype>(rows + keys));
    }
    const QRect text = area_rect.adjusted(0, 0, -4, 0);
    painter.setPen(view_->palette().color(QPalette::WindowText));
    for (std::size_t k = 0; k < rows; ++k) {
        const QRect row = readout_row(metrics, k);
        if (all || area.intersects(row)) {
            const auto at = static_cast<qsizetype>(k);
            painted_[at] = rows_[at];
            painter.drawText(text.left(), row.top() + metrics.ascent(), painted_[at]);
        }
    }
    painter.setPen(kHint);
    for (std::size_t k = 0; k < keys; ++k) {
        QString& line = painted_[static_cast<qsizetype>(rows) + static_cast<qsizetype>(k)];
        line = metrics.elidedText(keys_[static_cast<qsizetype>(k)], Qt::ElideRight, text.width());
        painter.drawText(
            text.left(),
            keys_area.top() + static_cast<int>(k) * metrics.height() + metrics.ascent(), line);
    }
    painter.restore();
}

QStringList AssistOverlay::readout_rows(const std::vector<assist::ReadOutLine>& lines,
                                        const QFont& font) {
    // Short of room, the pointer goes first.
    const QFontMetrics metrics(font);
    const int room = std::max(0, readout_rect().height() / metrics.height());
    const int width = readout_rect().width() - 4;
    // Breaking lines costs more than the rest of a pointer move: a line keeps
    // its rows while its text, the width and the font stay.
    if (width != wrap_width_ || font != wrap_font_) {
        wrap_cache_.clear();
        wrap_width_ = width;
        wrap_font_ = font;
    }
    std::vector<std::pair<std::string, QStringList>> cache;
    std::vector<int> heights;
    clipped_ = false;
    for (const assist::ReadOutLine& line : lines) {
        const auto kept = std::find_if(wrap_cache_.begin(), wrap_cache_.end(),
                                       [&line](const auto& c) { return c.first == line.text; });
        QStringList rows = kept != wrap_cache_.end()
                               ? kept->second
                               : wrapped(QString::fromStdString(line.text), metrics, width);
        clipped_ = clipped_ || std::any_of(rows.begin(), rows.end(), [](const QString& row) {
                       return row.endsWith(QChar(0x2026));
                   });
        heights.push_back(static_cast<int>(rows.size()));
        cache.emplace_back(line.text, std::move(rows));
    }
    wrap_cache_ = std::move(cache);
    const assist::Fitted fitted = assist::fit(lines, heights, room);
    QStringList rows;
    for (const std::size_t k : fitted.shown) {
        rows << wrap_cache_[k].second;
    }
    if (fitted.hidden > 0 && room > 0) {
        rows << QString::fromStdString(assist::more_line(fitted.hidden)) +
                    QStringLiteral(": point here for all");
        clipped_ = true;
    }
    return rows;
}

QString AssistOverlay::full_text() const {
    QStringList all;
    for (const assist::ReadOutLine& line : read_out_) {
        all << QString::fromStdString(line.text);
    }
    return all.join(QLatin1Char('\n'));
}

std::vector<QRect> AssistOverlay::warning_marks() const {
    std::vector<QRect> marks;
    for (const assist::CodeProblem& problem : assist::code_problems(*form_)) {
        for (const int k : problem.pictures) {
            const tk::Image& image = form_->Image(k);
            if (image.visible) {
                marks.push_back(px_rect({image.left, image.top, image.width, image.height}));
            }
        }
    }
    return marks;
}

QRect AssistOverlay::readout_row(const QFontMetrics& metrics, std::size_t k) const {
    const QRect area = readout_rect();
    return {area.left(), area.top() + static_cast<int>(k) * metrics.height(), area.width(),
            metrics.height()};
}

bool AssistOverlay::in_edit_field() {
    const QWidget* focus = QApplication::focusWidget();
    const auto* combo = qobject_cast<const QComboBox*>(focus);
    return qobject_cast<const QLineEdit*>(focus) != nullptr ||
           (combo != nullptr && combo->isEditable());
}

void AssistOverlay::run(const std::function<void(Form1&)>& action, std::uint64_t gesture) {
    if (dispatcher_.busy()) {
        return;
    }
    dispatcher_.dispatch(
        [this, action] {
            if (Form1* form = program_.form1()) {
                action(*form);
            }
        },
        gesture);
}

bool AssistOverlay::handle_key(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (document_ != nullptr && (mods & Qt::ControlModifier) != 0 && !dispatcher_.busy()) {
        const bool shift = mods == (Qt::ControlModifier | Qt::ShiftModifier);
        if (key.key() == Qt::Key_S && (mods == Qt::ControlModifier || shift)) {
            dispatcher_.dispatch(
                [this, shift] { shift ? document_->save_as() : document_->save(); });
            return true;
        }
        if (key.key() == Qt::Key_O && mods == Qt::ControlModifier) {
            dispatcher_.dispatch([this] { document_->open(); });
            return true;
        }
        if (key.key() == Qt::Key_R && mods == Qt::ControlModifier && document_->offer()) {
            dispatcher_.dispatch([this] { document_->restore(); });
            return true;
        }
    }
    if (key.key() == Qt::Key_F4 && mods == Qt::NoModifier && panel_) {
        panel_->toggle();
        return true;
    }
    if (key.key() == Qt::Key_Escape && mods == Qt::NoModifier && form_->pointer_captured() &&
        before_press_) {
        run([this](Form1& form) { assist::cancel_press(form, *before_press_); });
        return true;
    }
    if (key.key() == Qt::Key_F6 && (mods & ~Qt::ShiftModifier) == 0) {
        const int step = mods == Qt::ShiftModifier ? -1 : 1;
        run([this, step](Form1& form) { assist::walk(form, last_.target(form), step); });
        return true;
    }
    if (in_edit_field()) {
        return false;
    }
    if (key.key() == Qt::Key_Delete && mods == Qt::NoModifier &&
        last_.target(*form_).kind != assist::Selected::None) {
        run([this](Form1& form) { assist::delete_selected(form, last_.target(form)); });
        return true;
    }
    if ((key.key() == Qt::Key_Z && mods == Qt::ControlModifier)) {
        run([this](Form1&) { program_.undo(); });
        return true;
    }
    if ((key.key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)) ||
        (key.key() == Qt::Key_Y && mods == Qt::ControlModifier)) {
        run([this](Form1&) { program_.redo(); });
        return true;
    }
    if ((mods & ~Qt::ShiftModifier) != 0 || last_.target(*form_).kind == assist::Selected::None) {
        return false;
    }
    const int by = mods == Qt::ShiftModifier ? 8 : 1;
    int dx = 0;
    int dy = 0;
    switch (key.key()) {
    case Qt::Key_Left:
        dx = -by;
        break;
    case Qt::Key_Right:
        dx = by;
        break;
    case Qt::Key_Up:
        dy = -by;
        break;
    case Qt::Key_Down:
        dy = by;
        break;
    default:
        return false;
    }
    // Held down, the key's repeats add to its press's undo step.
    if (!key.isAutoRepeat()) {
        ++arrow_presses_;
    }
    run([this, dx, dy](Form1& form) { assist::nudge_selected(form, last_.target(form), dx, dy); },
        arrow_presses_);
    return true;
}

bool AssistOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (view_widget_.isNull() || form_ == nullptr) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != view_widget_.data()) {
            return false;
        }
        return handle_key(static_cast<const QKeyEvent&>(*event));
    }
    case QEvent::MouseButtonPress:
        if (watched == view_widget_.data() && !form_->pointer_captured()) {
            before_press_ = std::make_unique<FormState>(form_->state());
        }
        return false;
    case QEvent::FocusIn:
        // The arrows' line says whether the enable list takes them.
        if (auto* widget = qobject_cast<QWidget*>(watched);
            widget != nullptr && widget->window() == view_widget_.data() && !dispatcher_.busy()) {
            follow_read_out();
        }
        return false;
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (watched == view_widget_.data()) {
            pointer_inside_ = true;
        }
        return false;
    case QEvent::ToolTip: {
        // Lines that gave way or were cut short: the whole list, under the pointer.
        const auto& help = static_cast<const QHelpEvent&>(*event);
        if (watched != view_widget_.data() || !clipped_ || !readout_rect().contains(help.pos())) {
            return false;
        }
        QToolTip::showText(help.globalPos(), full_text(), view_widget_.data(), readout_rect());
        return true;
    }
    case QEvent::Leave:
        if (watched == view_widget_.data()) {
            pointer_inside_ = false;
            // After the event: the view may be on its way out now.
            pointer_left_.start();
        }
        return false;
    default:
        return false;
    }
}

} // namespace padscreen_qt
