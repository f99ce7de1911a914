// SPDX-License-Identifier: GPL-2.0-or-later
#include "prompt_text.h"

#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace padscreen_qt {

namespace {

QStringList wrap(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

// The title without `cut` characters from its middle; the extension (from
// the last ".") stays whole as long as anything of the name is left.
QString elide_middle(const QString& title, qsizetype cut) {
    const qsizetype dot = title.lastIndexOf(u'.');
    const qsizetype keep_tail = dot > 0 ? title.size() - dot : 0;
    const qsizetype name = title.size() - keep_tail;
    const qsizetype kept = std::max<qsizetype>(name - cut, 1);
    const qsizetype head = (kept + 1) / 2;
    const qsizetype tail = kept - head;
    return title.left(head) + QChar(0x2026) + title.mid(name - tail);
}

} // namespace

QStringList prompt_lines(const QString& caption, qsizetype elide_from, const QFont& font,
                         int width, int max_lines) {
    QStringList lines = wrap(caption, font, width);
    if (lines.size() <= max_lines) {
        return lines;
    }
    if (elide_from < 0 || elide_from >= caption.size()) {
        // One line that may run past the label, rather than lines hidden
        // under what lies below it.
        return {caption};
    }
    const QString head = caption.left(elide_from);
    const QString title = caption.mid(elide_from);
    const qsizetype dot = title.lastIndexOf(u'.');
    const qsizetype name = dot > 0 ? dot : title.size();
    for (qsizetype cut = 2; cut < name; ++cut) {
        lines = wrap(head + elide_middle(title, cut), font, width);
        if (lines.size() <= max_lines) {
            break;
        }
    }
    return lines;
}

} // namespace padscreen_qt
