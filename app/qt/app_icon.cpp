#include "app_icon.h"

#include <QString>

namespace padscreen_qt {

QIcon application_icon() {
    // Drawn at build time; each size is read only when a window asks for it.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/padscreen/icons/%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

const char* application_id() { return PADSCREEN_APP_ID; }

} // namespace padscreen_qt
