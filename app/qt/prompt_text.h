// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace padscreen_qt {

// A label's caption broken into lines that fit `width` pixels: at word
// boundaries, and anywhere inside a word longer than the line. When more
// lines are needed than `max_lines`, the part from `elide_from` on (a file
// title) loses characters from its middle, its head and its extension
// staying, until the caption fits. Without an elidable part the caption
// then stays one line, which may run past the width.
QStringList prompt_lines(const QString& caption, qsizetype elide_from, const QFont& font,
                         int width, int max_lines);

} // namespace padscreen_qt
