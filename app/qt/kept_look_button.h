// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QStyleOptionButton>

namespace padscreen_qt {

// A push button that keeps its last look: a repaint of the window copies it
// instead of shaping its caption and drawing its bevel again.
class KeptLookButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Look {
        QStyle::State state;
        QStyleOptionButton::ButtonFeatures features;
        QString text;
        QRect rect;
        qint64 palette = 0;
        qreal dpr = 0;
        bool operator==(const Look&) const = default;
    };
    Look look_;
    QPixmap kept_;
};

} // namespace padscreen_qt
