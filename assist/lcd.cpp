// SPDX-License-Identifier: GPL-2.0-or-later
#include "assist/lcd.h"

#include "convert.h"
#include "form1.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace assist {

namespace {

// Twips per LCD pixel of a position: the canvas shows the LCD at twice its size.
constexpr double kPositionPitch = 30.2;

// The LCD's span of one axis as canvas twips: [first_twip(pos), first_twip(pos + size)).
std::pair<float, float> span(int pos, int size) {
    return {static_cast<float>(first_twip(pos)),
            static_cast<float>(first_twip(pos + std::max(size, 0)))};
}

} // namespace

int first_twip(int position) {
    if (position <= 0) {
        return 0;
    }
    constexpr int kMax = std::numeric_limits<std::int16_t>::max();
    if (ConvertNumbers(static_cast<std::int16_t>(kMax), true) < position) {
        // Past what 16 bits hold: the same pitch goes on.
        return static_cast<int>(std::ceil((position - 0.5) * kPositionPitch));
    }
    int lo = 0;
    int hi = kMax; // ConvertNumbers(hi) >= position
    // Narrowed first around the pitch's estimate, which the positions keep close to.
    constexpr int kNear = 32;
    const int guess = static_cast<int>((position - 0.5) * kPositionPitch);
    const int below = std::clamp(guess - kNear, 0, kMax);
    const int above = std::clamp(guess + kNear, 0, kMax);
    if (ConvertNumbers(static_cast<std::int16_t>(below), true) < position) {
        lo = below + 1;
    }
    if (ConvertNumbers(static_cast<std::int16_t>(above), true) >= position) {
        hi = above;
    }
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (ConvertNumbers(static_cast<std::int16_t>(mid), true) >= position) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

int first_size_twip(int size) {
    if (size <= 0) {
        return 0;
    }
    // Sizes count 30.9 twips a pixel and change by at most one a twip; the
    // estimate lies within a pixel of the answer.
    constexpr int kMax = std::numeric_limits<std::int16_t>::max();
    int t = std::clamp(static_cast<int>((size - 0.5) * 30.9) - 32, 0, kMax);
    while (t < kMax && ConvertNumbersSize(static_cast<std::int16_t>(t), true) < size) {
        ++t;
    }
    return t;
}

tk::Rect lcd_area() {
    return {0, 0, static_cast<float>(first_twip(kLcdWidth)),
            static_cast<float>(first_twip(kLcdHeight))};
}

std::pair<float, float> lcd_centre() {
    const auto [x0, x1] = span(kLcdWidth / 2, 1);
    const auto [y0, y1] = span(kLcdHeight / 2, 1);
    return {(x0 + x1) / 2, (y0 + y1) / 2};
}

Overhang overhang(const LcdNumbers& n) {
    return {std::max(0, n.x + std::max<int>(n.w, 0) - kLcdWidth),
            std::max(0, n.y + std::max<int>(n.h, 0) - kLcdHeight)};
}

std::vector<tk::Rect> overhang_bands(const Form1& form) {
    std::vector<tk::Rect> bands;
    const auto add = [&bands](const LcdNumbers& n) {
        const Overhang o = overhang(n);
        const auto [x0, x1] = span(n.x, n.w);
        const auto [y0, y1] = span(n.y, n.h);
        if (o.right > 0) {
            const float from = std::max(x0, static_cast<float>(first_twip(kLcdWidth)));
            bands.push_back({from, y0, x1 - from, y1 - y0});
        }
        if (o.bottom > 0) {
            const float from = std::max(y0, static_cast<float>(first_twip(kLcdHeight)));
            bands.push_back({x0, from, x1 - x0, y1 - from});
        }
    };
    for (int k = 1; k <= Form1::kSlots; ++k) {
        const tk::Image& image = form.Image(k);
        if (image.has_picture() && image.visible) {
            add(line_numbers(image));
        }
    }
    for (int j = 1; j <= Form1::kHotspots; ++j) {
        if (form.lbl(j).visible) {
            add(line_numbers(form.lbl(j)));
        }
    }
    return bands;
}

} // namespace assist
