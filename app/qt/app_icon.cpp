// SPDX-License-Identifier: GPL-2.0-or-later
#include "app_icon.h"

#include <QImage>
#include <QPixmap>
#include <QResource>
#include <QString>

#include <cstring>

namespace padscreen_qt {

QIcon application_icon() {
    // Bare pixels drawn at build time: no image reader (whose plugin scan costs
    // more than the icon) and no SVG renderer at start.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        const QByteArray bytes =
            QResource(QStringLiteral(":/padscreen/icons/%1.rgba").arg(size)).uncompressedData();
        QImage image(size, size, QImage::Format_RGBA8888_Premultiplied);
        if (bytes.size() != image.sizeInBytes()) {
            continue;
        }
        std::memcpy(image.bits(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
        icon.addPixmap(QPixmap::fromImage(std::move(image)));
    }
    return icon;
}

const char* application_id() { return PADSCREEN_APP_ID; }

} // namespace padscreen_qt
