// SPDX-License-Identifier: GPL-2.0-or-later
#include "drawn_layer.h"

#include "drag_outline.h"
#include "prompt_text.h"
#include "units.h"

#include <QFontMetrics>
#include <QLine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace padscreen_qt {

namespace {

QPoint line_end(float x, float y) { return {px(x), px(y)}; }

// A line's ends on screen: a container shifts them.
QLine line_of(const tk::Line& line) {
    const tk::Rect r = line.window_rect();
    const float dx = r.left - line.left;
    const float dy = r.top - line.top;
    return {line_end(line.x1 + dx, line.y1 + dy), line_end(line.x2 + dx, line.y2 + dy)};
}

// A level or upright line as the pixels it fills: one logical pixel wide at
// every scale, its end pixel left out. Empty for a slanted line.
QRect line_rect(const tk::Line& line) {
    const QLine l = line_of(line);
    if (l.x1() != l.x2() && l.y1() != l.y2()) {
        return {};
    }
    return {QPoint(std::min(l.x1(), l.x2()), std::min(l.y1(), l.y2())),
            QSize(std::max(std::abs(l.dx()), 1), std::max(std::abs(l.dy()), 1))};
}

bool has_caption(const tk::Control& c) {
    return c.kind() == tk::Kind::Label && !static_cast<const tk::Label&>(c).caption.empty();
}

// The pixels a control may touch when painted, with a margin for pen widths.
QRect paint_bounds(const tk::Control& c) {
    if (c.kind() == tk::Kind::Line) {
        const QLine l = line_of(static_cast<const tk::Line&>(c));
        return QRect(l.p1(), l.p2()).normalized().adjusted(-2, -2, 2, 2);
    }
    return px_rect(c.window_rect());
}

// Copies the piece of image at from (logical pixels) to the place `to`; at
// a whole device pixel ratio by the toolkit's plain copy of pixels.
void copy_piece(QPainter& painter, const QRect& to, const QImage& image, QPoint from) {
    const qreal dpr = image.devicePixelRatio();
    const int whole = static_cast<int>(std::lround(dpr));
    if (dpr == static_cast<qreal>(whole)) {
        painter.drawImage(to.topLeft(), image, QRect(from * whole, to.size() * whole));
    } else {
        painter.drawImage(QRectF(to), image, QRectF(QPointF(from) * dpr, QSizeF(to.size()) * dpr));
    }
}

} // namespace

// What the layer showed and what it shows now, compared control by control.
QRegion DrawnLayer::take_changes(const Surface& surface) {
    const auto& order = window_->drawn_order();
    bool all = !drawn_known_ || drawn_back_ != window_->back_color || order.size() != drawn_.size();
    QRegion changed;
    layer_wanted_ = false;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const tk::Control* c = order[k];
        // What the control is and shows lies in its state; the place it covers also
        // depends on a container's being shown and on the font its caption is set in.
        if (!all) {
            Drawn& was = drawn_[k];
            const QRect bounds = drawn_bounds(*c, surface);
            if (was.control != c) {
                all = true; // the stacking order changed
            } else if (!c->has_state(was.state) || was.shown != c->shown() || was.rect != bounds) {
                Drawn is{c, c->shown(), bounds, c->state()};
                if (was.shown) {
                    changed += was.rect;
                }
                if (is.shown) {
                    changed += is.rect;
                }
                was = std::move(is);
            }
        }
        if (c->kind() == tk::Kind::Image &&
            (!c->shown() || !static_cast<const tk::Image*>(c)->picture)) {
            pictures_.drop(c); // nor keeps a picture the model let go
        } else if (c->kind() == tk::Kind::Image) {
            layer_wanted_ = true;
        }
    }
    if (all) {
        drawn_.clear();
        for (const tk::Control* c : order) {
            drawn_.push_back({c, c->shown(), drawn_bounds(*c, surface), c->state()});
        }
    }
    drawn_back_ = window_->back_color;
    drawn_known_ = true;
    return all ? QRegion(surface.rect) : changed;
}

QRegion DrawnLayer::take_outline_move() {
    // The outline lies above the kept layer: where it was, the layer shows again.
    const QRect outline = outline_bounds(window_->drag_outline());
    if (outline == drawn_outline_) {
        return {};
    }
    QRegion moved = frame_of(drawn_outline_) + frame_of(outline);
    drawn_outline_ = outline;
    return moved;
}

bool DrawnLayer::set_overlay(ViewOverlay* overlay) {
    if (overlay == overlay_) {
        return false;
    }
    overlay_ = overlay;
    return true;
}

void DrawnLayer::detach() {
    window_ = nullptr;
    pictures_.clear();
    drawn_.clear();
    drawn_known_ = false;
}

QRect DrawnLayer::drawn_bounds(const tk::Control& c, const Surface& surface) {
    if (!has_caption(c)) {
        return paint_bounds(c);
    }
    // A caption may run past its label: to the right as one line, and down
    // into the free room below it when wrapped.
    const auto& label = static_cast<const tk::Label&>(c);
    const QRect r = px_rect(c.window_rect());
    Caption& kept = captions_[&c];
    if (kept.text != label.caption || kept.font != surface.font) {
        kept.text = label.caption;
        kept.font = surface.font;
        kept.advance = QFontMetrics(surface.font).horizontalAdvance(qs(label.caption));
    }
    const int height = label.word_wrap ? std::max(px(room_below(label)) - r.top(), r.height())
                                       : std::max(QFontMetrics(surface.font).height(), r.height());
    constexpr int kOverhang = 2; // glyphs may reach a little past their advance
    return QRect(r.topLeft(), QSize(std::max(r.width(), kept.advance), height))
        .adjusted(-kOverhang, -kOverhang, kOverhang, kOverhang);
}

bool DrawnLayer::opaque(const tk::Control& control) {
    switch (control.kind()) {
    case tk::Kind::Label:
        return true; // filled with its colour
    case tk::Kind::Image: {
        const auto& image = static_cast<const tk::Image&>(control);
        return image.enabled && pictures_.opaque(&image, image.picture);
    }
    default:
        return false;
    }
}

void DrawnLayer::paint_image(QPainter& painter, const tk::Image& image, const QRegion& seen,
                             const Surface& surface) {
    const QRect place = px_rect(image.window_rect());
    if (image.picture && image.picture->missing()) {
        paint_missing(painter, image, place, seen);
        return;
    }
    const QImage* picture =
        pictures_.scaled(&image, image.picture, place, surface.rect, surface.dpr);
    if (picture == nullptr) {
        return;
    }
    // A disabled picture (chosen in the enable list) is drawn faded, so the
    // hotspots drawn beneath it stay in sight.
    painter.setOpacity(image.enabled ? 1.0 : 0.4);
    // Piece by piece rather than through a clip region: a plain copy each,
    // where a clip of many rows costs the toolkit a hand-off to its threads.
    const QPoint at = (place & surface.rect).topLeft();
    for (const QRect& r : seen) {
        copy_piece(painter, r, *picture, r.topLeft() - at);
    }
    painter.setOpacity(1.0);
}

void DrawnLayer::paint_missing(QPainter& painter, const tk::Image& image, const QRect& place,
                               const QRegion& seen) {
    // A picture that could not be read again: a hatched box of its size, named,
    // so that its place, size and code line stay in sight.
    painter.save();
    painter.setClipRegion(seen);
    painter.fillRect(place, QColor(255, 255, 255));
    painter.setPen(QPen(QColor(150, 40, 40), 1));
    for (int c = place.left() - place.height(); c < place.right(); c += 8) {
        painter.drawLine(c, place.bottom(), c + place.height(), place.top());
    }
    painter.drawRect(place.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::black);
    const QString name = QString::fromStdString(image.tag);
    const QRect text = place.adjusted(3, 3, -3, -3);
    const QFontMetrics metrics(painter.font());
    painter.fillRect(
        metrics.boundingRect(text, Qt::AlignCenter, name).adjusted(-2, 0, 2, 0) & text,
        QColor(255, 255, 255));
    painter.drawText(text, Qt::AlignCenter, metrics.elidedText(name, Qt::ElideMiddle, text.width()));
    painter.restore();
}

float DrawnLayer::room_below(const tk::Control& label) const {
    // Down to the nearest shown control beneath it, or the window's bottom.
    const tk::Rect r = label.window_rect();
    float bottom = window_->client_height;
    for (const auto& c : window_->controls()) {
        const tk::Rect o = c->window_rect();
        const bool beside = o.left < r.left + r.width && r.left < o.left + o.width;
        if (c.get() != &label && c->shown() && c->kind() != tk::Kind::Line && beside &&
            o.top >= r.top + r.height) {
            bottom = std::min(bottom, o.top);
        }
    }
    return std::max(bottom, r.top + r.height);
}

void DrawnLayer::paint_control(QPainter& painter, const tk::Control& control,
                               const Surface& surface) {
    switch (control.kind()) {
    case tk::Kind::Label: {
        const auto& label = static_cast<const tk::Label&>(control);
        const QRect r = px_rect(control.window_rect());
        painter.fillRect(r, to_qcolor(label.back_color));
        if (!label.caption.empty()) {
            painter.setPen(surface.text);
            const QString caption = qs(label.caption);
            if (!label.word_wrap) {
                painter.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, caption);
                break;
            }
            // Wrapped, using the free room below the label when its own
            // height is not enough; a file title past that loses its middle.
            const int spacing = painter.fontMetrics().lineSpacing();
            const int room = px(room_below(label)) - r.top();
            const qsizetype elide_from = label.elide_from < label.caption.size()
                                             ? qs(label.caption.substr(0, label.elide_from)).size()
                                             : -1;
            // Shaping the caption is the dearest part of a repaint: kept while nothing changed.
            Prompt& kept = prompts_[&control];
            const Prompt now{
                caption, elide_from, painter.font(), r.width(), std::max(1, room / spacing), {}};
            if (!kept.same_input(now)) {
                kept = now;
                kept.lines =
                    prompt_lines(caption, elide_from, painter.font(), r.width(), kept.max_lines);
            }
            const QStringList& lines = kept.lines;
            for (qsizetype k = 0; k < lines.size(); ++k) {
                const QRect line(r.left(), r.top() + static_cast<int>(k) * spacing, r.width(),
                                 spacing);
                painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, lines[k]);
            }
        }
        break;
    }
    case tk::Kind::Line: { // a slanted one; level and upright lines are filled
        const auto& line = static_cast<const tk::Line&>(control);
        painter.setPen(QPen(to_qcolor(line.border_color), 1, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(line_of(line));
        break;
    }
    default:
        break;
    }
}

void DrawnLayer::paint_layer(QPainter& painter, const QRegion& area, const Surface& surface) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    const std::vector<tk::Control*>& order = window_->drawn_order();
    std::vector<QRect> bounds(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (order[k]->shown()) {
            bounds[k] = drawn_bounds(*order[k], surface) & surface.rect;
        }
    }
    // Rectangle by rectangle: a band's thin strips then cost only their own few pixels.
    for (const QRect& part : area) {
        paint_layer_part(painter, part, bounds, surface);
    }
    painter.setClipping(false);
}

void DrawnLayer::paint_layer_part(QPainter& painter, const QRect& part,
                                  const std::vector<QRect>& bounds, const Surface& surface) {
    painter.setClipRect(part);
    // From the top down: what each control still shows of the part; nothing
    // beneath an opaque control needs painting.
    const std::vector<tk::Control*>& order = window_->drawn_order();
    std::vector<QRegion> seen(order.size());
    QRegion covered;
    for (std::size_t k = order.size(); k-- > 0;) {
        const QRect here = bounds[k] & part;
        if (here.isEmpty()) {
            continue;
        }
        seen[k] = covered.intersects(here) ? QRegion(here).subtracted(covered) : QRegion(here);
        // A caption may run past its label: only the label's own place hides.
        const tk::Control& c = *order[k];
        if (!seen[k].isEmpty() && opaque(c)) {
            covered += has_caption(c) ? px_rect(c.window_rect()) & part : here;
        }
    }
    const QColor back = to_qcolor(window_->back_color);
    for (const QRect& r : QRegion(part).subtracted(covered)) {
        painter.fillRect(r, back);
    }
    // Bottom up; runs of lines of one colour (the grid) go in one call.
    std::vector<QRect> run;
    tk::Color run_colour = 0;
    const auto end_run = [&] {
        if (!run.empty()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(to_qcolor(run_colour));
            painter.drawRects(run.data(), static_cast<int>(run.size()));
            painter.setBrush(Qt::NoBrush);
            run.clear();
        }
    };
    // Drawing of our own lies right above the control it follows.
    const auto overlay_after = [&](const tk::Control& c) {
        if (overlay_ != nullptr && overlay_->paints_after(c)) {
            end_run();
            overlay_->paint_after(painter, c);
        }
    };
    for (std::size_t k = 0; k < order.size(); ++k) {
        const tk::Control& c = *order[k];
        if (seen[k].isEmpty()) {
            overlay_after(c);
            continue;
        }
        if (c.kind() == tk::Kind::Line) {
            const auto& line = static_cast<const tk::Line&>(c);
            const QRect r = line_rect(line);
            if (!r.isNull()) {
                if (line.border_color != run_colour) {
                    end_run();
                    run_colour = line.border_color;
                }
                run.push_back(r);
                overlay_after(c);
                continue;
            }
        }
        end_run();
        if (c.kind() == tk::Kind::Image) {
            paint_image(painter, static_cast<const tk::Image&>(c), seen[k], surface);
        } else {
            paint_control(painter, c, surface);
        }
        overlay_after(c);
    }
    end_run();
}

void DrawnLayer::paint_design(QPainter& painter, const QRegion& area, const Surface& surface) {
    paint_layer(painter, area, surface);
    if (overlay_ != nullptr) {
        overlay_->paint_above(painter, area);
    }
}

void DrawnLayer::paint(QPainter& painter, const QRegion& area, const Surface& surface) {
    if (!layer_wanted_) {
        layer_ = QImage();
        paint_design(painter, area, surface);
    } else {
        const qreal dpr = surface.dpr;
        const QSize device = (QSizeF(surface.rect.size()) * dpr).toSize();
        if (layer_.size() != device || layer_.devicePixelRatio() != dpr) {
            layer_ = QImage(device, QImage::Format_RGB32);
            layer_.setDevicePixelRatio(dpr);
            layer_stale_ = surface.rect;
        }
        const QRegion stale = layer_stale_ & area;
        if (!stale.isEmpty()) {
            QPainter on_layer(&layer_);
            on_layer.setFont(painter.font());
            paint_design(on_layer, stale, surface);
            layer_stale_ -= stale;
        }
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        // Each piece under a clip of its own rectangle: against the paint
        // event's clip of many rectangles the toolkit copies no more plainly,
        // but through its threads.
        for (const QRect& r : area) {
            painter.setClipRect(r);
            copy_piece(painter, r, layer_, r.topLeft());
        }
        painter.setClipping(false);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (const auto outline = window_->drag_outline()) {
        paint_outline(painter, px_rect(*outline), area.boundingRect() & surface.rect);
    }
}

} // namespace padscreen_qt
