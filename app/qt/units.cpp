// SPDX-License-Identifier: GPL-2.0-or-later
#include "units.h"

#include <QTextDocument>

#include <cmath>

namespace padscreen_qt {

int px(float twips) { return static_cast<int>(std::lround(twips / tk::kTwipsPerPixel)); }

QRect px_rect(const tk::Rect& r) {
    const int l = px(r.left);
    const int t = px(r.top);
    return {l, t, px(r.left + r.width) - l, px(r.top + r.height) - t};
}

float to_twips(qreal pixels) { return static_cast<float>(std::floor(pixels)) * tk::kTwipsPerPixel; }

std::int16_t button_code(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return tk::kLeftButton;
    case Qt::RightButton:
        return tk::kRightButton;
    case Qt::MiddleButton:
        return tk::kMiddleButton;
    default:
        return 0;
    }
}

std::int16_t buttons_code(Qt::MouseButtons buttons) {
    std::int16_t code = 0;
    for (const Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        if (buttons & b) {
            code = static_cast<std::int16_t>(code | button_code(b));
        }
    }
    return code;
}

std::int16_t shift_code(Qt::KeyboardModifiers modifiers) {
    std::int16_t code = 0;
    if (modifiers & Qt::ShiftModifier) {
        code |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        code |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        code |= 4;
    }
    return code;
}

QColor to_qcolor(tk::Color c) {
    return {static_cast<int>(c & 0xFFU), static_cast<int>((c >> 8) & 0xFFU),
            static_cast<int>((c >> 16) & 0xFFU)};
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

QString to_editor(const std::string& text) {
    return qs(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string from_editor(const QTextDocument& document) {
    QString out = document.toRawText();
    out.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    out.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return out.toStdString();
}

} // namespace padscreen_qt
