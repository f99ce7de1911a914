// SPDX-License-Identifier: GPL-2.0-or-later
#include "kept_look_button.h"

#include <QEvent>
#include <QPainter>
#include <QStylePainter>

namespace padscreen_qt {

void KeptLookButton::paintEvent(QPaintEvent* /*event*/) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const qreal dpr = devicePixelRatioF();
    const Look look{option.state, option.features,           option.text,
                    option.rect,  option.palette.cacheKey(), dpr};
    if (kept_.isNull() || !(look == look_)) {
        kept_ = QPixmap((QSizeF(size()) * dpr).toSize());
        kept_.setDevicePixelRatio(dpr);
        kept_.fill(Qt::transparent);
        QStylePainter painter(&kept_, this);
        // What a painter on the button itself would start with.
        painter.setFont(font());
        painter.setPen(palette().color(foregroundRole()));
        painter.setLayoutDirection(layoutDirection());
        painter.drawControl(QStyle::CE_PushButton, option);
        look_ = look;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, kept_);
}

void KeptLookButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        kept_ = QPixmap();
    }
    QPushButton::changeEvent(event);
}

} // namespace padscreen_qt
