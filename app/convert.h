// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

// Twips on the canvas to LCD pixels. The canvas shows the LCD at twice its
// size, so a position counts 30.2 twips per LCD pixel and a size 30.9.
// The flag names the axis (true: horizontal); both axes use the same formula.
std::int16_t ConvertNumbers(std::int16_t intAcquire, bool blnAcquire);
std::int16_t ConvertNumbersSize(std::int16_t intAcquire, bool blnAcquire);

// Rounds to the nearest integer, ties to the even neighbour.
double round_half_even(double value);

// A control's single-precision twips as the 16-bit integer the conversions
// take: rounded half to even, and clamped into -32768 ... 32767 so that a
// picture far larger than the LCD still yields a line.
std::int16_t twips_to_int16(float twips);
