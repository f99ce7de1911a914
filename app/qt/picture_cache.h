// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/picture.h"

#include <QImage>
#include <QRect>

#include <cstddef>
#include <map>

namespace padscreen_qt {

// Each picture as it appears on screen: scaled to its place, and only the part
// the window can show, so that painting is a plain copy and a picture far
// larger than the window never costs more memory than the window itself.
// The model's pixels are read in place, never copied whole.
class PictureCache {
public:
    // The picture scaled to place (logical pixels), cut to visible, for a
    // device pixel ratio; made again when any of these changed. Null when
    // nothing of it is visible.
    const QImage* scaled(const void* key, const tk::PicturePtr& picture, QRect place, QRect visible,
                         qreal dpr);
    // True when every pixel of the picture is fully opaque: it then hides
    // whatever lies beneath it. Found once per picture.
    bool opaque(const void* key, const tk::PicturePtr& picture);
    void drop(const void* key) { entries_.erase(key); }
    void clear() { entries_.clear(); }

private:
    struct Entry {
        tk::PicturePtr picture;
        bool opaque = false;
        bool opaque_known = false;
        QRect place;
        QRect visible;
        qreal dpr = 0;
        QImage image;
    };
    Entry& entry(const void* key, const tk::PicturePtr& picture);
    std::map<const void*, Entry> entries_;
};

} // namespace padscreen_qt
