// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The model's units and values as Qt's, and back: twips and pixels, pointer
// buttons and shift keys, colours, text.

#include "toolkit/controls.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <cstdint>
#include <string>

class QTextDocument;

namespace padscreen_qt {

// Window twips as logical pixels, as every view places and paints them.
int px(float twips);
QRect px_rect(const tk::Rect& r);

// The pointer as the model counts it: whole pixels, 15 twips each. The
// position may lie outside the view, even negative, while a button is held.
float to_twips(qreal pixels);

// Qt's mouse buttons and modifier keys as the model's codes.
std::int16_t button_code(Qt::MouseButton button);
std::int16_t buttons_code(Qt::MouseButtons buttons);
std::int16_t shift_code(Qt::KeyboardModifiers modifiers);

QColor to_qcolor(tk::Color c);

QString qs(const std::string& text);
// The model keeps CR LF line ends; the editor works with "\n".
QString to_editor(const std::string& text);
// The document's raw text: every character as typed (a no-break space stays
// one, where toPlainText() would make it a space); its paragraph and line
// separators become CR LF.
std::string from_editor(const QTextDocument& document);

} // namespace padscreen_qt
