// SPDX-License-Identifier: GPL-2.0-or-later
#include "convert.h"

#include <cmath>

namespace {
std::int16_t convert(std::int16_t twips, double divisor) {
    double v = static_cast<double>(twips) / divisor;
    v = v / 2;
    if (v < 0) {
        return 0;
    }
    return static_cast<std::int16_t>(round_half_even(v));
}
} // namespace

double round_half_even(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5) {
        return floor + 1;
    }
    if (fraction < 0.5) {
        return floor;
    }
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::int16_t ConvertNumbers(std::int16_t intAcquire, bool /*blnAcquire*/) {
    return convert(intAcquire, 15.1);
}

std::int16_t ConvertNumbersSize(std::int16_t intAcquire, bool /*blnAcquire*/) {
    return convert(intAcquire, 15.45);
}

std::int16_t twips_to_int16(float twips) {
    if (std::isnan(twips)) {
        return 0;
    }
    const double rounded = round_half_even(static_cast<double>(twips));
    if (rounded < -32768.0) {
        return -32768;
    }
    if (rounded > 32767.0) {
        return 32767;
    }
    return static_cast<std::int16_t>(rounded);
}
