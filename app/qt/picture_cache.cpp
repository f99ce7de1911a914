// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture_cache.h"

#include <QPainter>

#include <algorithm>

namespace padscreen_qt {

namespace {

bool usable(const tk::Picture& p) {
    return p.width > 0 && p.height > 0 &&
           p.argb.size() >= static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height);
}

// The model's pixels seen as an image, without a copy: 0xAARRGGBB words, not
// premultiplied, which is Qt's ARGB32 layout exactly.
QImage view_of(const tk::Picture& p) {
    return {reinterpret_cast<const uchar*>(p.argb.data()), p.width, p.height,
            static_cast<qsizetype>(p.width) * 4, QImage::Format_ARGB32};
}

} // namespace

PictureCache::Entry& PictureCache::entry(const void* key, const tk::PicturePtr& picture) {
    Entry& e = entries_[key];
    if (e.picture != picture) {
        e = Entry{};
        e.picture = picture;
    }
    return e;
}

bool PictureCache::opaque(const void* key, const tk::PicturePtr& picture) {
    if (!picture || !usable(*picture)) {
        return false;
    }
    Entry& e = entry(key, picture);
    if (!e.opaque_known) {
        const auto end =
            picture->argb.begin() + static_cast<std::ptrdiff_t>(picture->width) * picture->height;
        e.opaque = std::all_of(picture->argb.begin(), end,
                               [](std::uint32_t px) { return (px >> 24) == 0xFFU; });
        e.opaque_known = true;
    }
    return e.opaque;
}

const QImage* PictureCache::scaled(const void* key, const tk::PicturePtr& picture, QRect place,
                                   QRect visible, qreal dpr) {
    visible &= place;
    if (!picture || !usable(*picture) || visible.isEmpty()) {
        return nullptr;
    }
    Entry& e = entry(key, picture);
    if (e.image.isNull() || e.place != place || e.visible != visible || e.dpr != dpr) {
        const bool opaque_picture = opaque(key, picture);
        QImage image((QSizeF(visible.size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        {
            // Stretched to its place pixel for pixel, as the window would draw
            // it: a picture shown at twice its size keeps its sharp LCD look.
            QPainter painter(&image);
            painter.translate(-visible.topLeft());
            painter.drawImage(place, view_of(*picture));
        }
        if (opaque_picture) {
            image.convertTo(QImage::Format_RGB32); // copied, never blended
        }
        e.place = place;
        e.visible = visible;
        e.dpr = dpr;
        e.image = std::move(image);
    }
    return &e.image;
}

} // namespace padscreen_qt
