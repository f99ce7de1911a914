#include "app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resources live in a static library: pull them in explicitly.
static void init_assets() { Q_INIT_RESOURCE(assets); }

namespace padscreen_qt {

QIcon application_icon() {
    init_assets();
    QSvgRenderer renderer(QStringLiteral(":/padscreen/padscreen.svg"));
    QIcon icon;
    if (!renderer.isValid()) {
        return icon;
    }
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace padscreen_qt
