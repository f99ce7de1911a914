// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui_font.h"

namespace padscreen_qt {

QFont ui_font() {
    QFont font(QStringLiteral("Liberation Sans Narrow"));
    font.setPixelSize(13);
    font.setStyleHint(QFont::SansSerif); // where the face is missing
    return font;
}

} // namespace padscreen_qt
