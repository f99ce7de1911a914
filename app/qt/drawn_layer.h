// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a window's view paints itself rather than leaves to widgets.

#include "picture_cache.h"
#include "toolkit/window.h"
#include "view_overlay.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QStringList>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class QPainter;

namespace padscreen_qt {

// What the drawn layer takes from the view it is painted on.
struct Surface {
    QRect rect;    // the view's own rectangle, in logical pixels
    qreal dpr = 1; // its device pixel ratio
    QFont font;    // captions are measured and drawn in it
    QColor text;   // and drawn in this colour
};

// Everything of a model window that is drawn rather than a widget: the
// labels, lines and pictures in their stacking order, the overlay laid into
// them, and the drag outline above. It keeps what it last showed, to repaint
// only what changed, and keeps its pixels while it shows a picture.
class DrawnLayer {
public:
    explicit DrawnLayer(const tk::Window& window) : window_(&window) {}

    // Where the layer changed since the last call: all of it at first.
    QRegion take_changes(const Surface& surface);
    // The lines a wrapped caption was last drawn in; empty when it was not.
    QStringList caption_lines(const tk::Control& label) const {
        const auto it = prompts_.find(&label);
        return it == prompts_.end() ? QStringList() : it->second.lines;
    }
    // Where the drag outline moved since the last call: the frames it left and took.
    QRegion take_outline_move();
    // The kept pixels within area are no longer what the layer shows.
    void invalidate(const QRegion& area) { layer_stale_ += area; }
    // Text and colours changed: none of the kept pixels holds.
    void invalidate_all(const QRect& whole) { layer_stale_ = whole; }
    // False when overlay is already the one laid in.
    bool set_overlay(ViewOverlay* overlay);
    // The layer, the overlay and the drag outline within area.
    void paint(QPainter& painter, const QRegion& area, const Surface& surface);
    // The model window is gone: never touch it again.
    void detach();

private:
    // The pixels a control may touch when painted, its caption included.
    QRect drawn_bounds(const tk::Control& c, const Surface& surface);
    // The lowest window y (twips) a label's wrapped caption may reach.
    float room_below(const tk::Control& label) const;
    // True when the control hides everything beneath its rectangle.
    bool opaque(const tk::Control& control);
    void paint_control(QPainter& painter, const tk::Control& control, const Surface& surface);
    // The picture's pixels within seen, rectangle by rectangle.
    void paint_missing(QPainter& painter, const tk::Image& image, const QRect& place,
                       const QRegion& seen);
    void paint_image(QPainter& painter, const tk::Image& image, const QRegion& seen,
                     const Surface& surface);
    // Paints the drawn layer (everything but the widgets) within area.
    void paint_layer(QPainter& painter, const QRegion& area, const Surface& surface);
    void paint_layer_part(QPainter& painter, const QRect& part, const std::vector<QRect>& bounds,
                          const Surface& surface);
    // Paints the drawn layer and the overlay above it within area.
    void paint_design(QPainter& painter, const QRegion& area, const Surface& surface);

    const tk::Window* window_;
    ViewOverlay* overlay_ = nullptr;
    PictureCache pictures_;
    // The drawn layer as last painted, kept while it shows a picture: an
    // exposure is then one copy, and only what changed is painted again.
    // Without pictures the layer is cheap to paint and not worth its memory.
    QImage layer_;
    QRegion layer_stale_;
    bool layer_wanted_ = false;
    // Where each drawn control was and what it showed at the last update, so
    // that a change repaints only the places it touched.
    struct Drawn {
        const tk::Control* control = nullptr;
        bool shown = false;
        QRect rect;
        tk::ControlState state;
    };
    std::vector<Drawn> drawn_;
    QRect drawn_outline_;
    tk::Color drawn_back_ = 0;
    bool drawn_known_ = false;
    // A wrapped caption as last broken into lines, and what that depended on.
    struct Prompt {
        QString caption;
        qsizetype elide_from = -1;
        QFont font;
        int width = 0;
        int max_lines = 0;
        QStringList lines;
        bool same_input(const Prompt& o) const {
            return caption == o.caption && elide_from == o.elide_from && font == o.font &&
                   width == o.width && max_lines == o.max_lines;
        }
    };
    std::map<const tk::Control*, Prompt> prompts_;
    // How wide a caption is, measured when it or the font changed.
    struct Caption {
        std::string text;
        QFont font;
        int advance = 0;
    };
    std::map<const tk::Control*, Caption> captions_;
};

} // namespace padscreen_qt
