// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "assist/lcd.h"

#include <optional>
#include <string>

class Form1;

namespace assist {

// What a typed LCD number came to in the code line.
struct Typed {
    int asked = 0;
    int reached = 0;
    std::string note; // why reached is not asked; empty when it is
};

// The selected picture's properties, as its bitmap line and its slot's variables hold them.
struct PictureProperties {
    int slot = 0;
    LcdNumbers numbers;
    std::optional<int> status; // empty: never chosen
    std::optional<int> mode;
    std::string name;
    std::string name_problem; // why the NAME would not work; empty when it would
    friend bool operator==(const PictureProperties&, const PictureProperties&) = default;
};
PictureProperties picture_properties(const Form1& form, int n);

// Moves picture n so that its line carries `value` across (or down): the
// first twip that gives exactly that number, as nudging takes, then the drop's
// canvas limits. The markers follow a selected picture. Nothing changes when the
// line already carries it.
Typed set_picture_place(Form1& form, int n, bool across, int value);

// The slot's display status (0, 1) and mode (0 ... 3), as the dialog's OK stores them.
void set_picture_status(Form1& form, int n, int status);
void set_picture_mode(Form1& form, int n, int mode);

// Why `name` cannot be picture n's NAME: not a Visual Basic name, or another
// picture's (names do not tell case apart). Empty when it can.
std::string code_name_problem(const Form1& form, int n, const std::string& name);
// Sets the NAME when it can be one; otherwise changes nothing and says why.
std::string set_code_name(Form1& form, int n, const std::string& name);

enum class Side { X, Y, W, H };
const char* side_name(Side side);
// The hotspot's (or band's) number on one side.
int side_of(const LcdNumbers& numbers, Side side);

// Gives hotspot label k the place or size whose line carries `value` on that
// side. The right and bottom edges keep to the canvas as "C&reate Hotspot"
// holds them: a position stops where the hotspot still fits, a size where
// the canvas ends.
Typed set_hotspot_side(Form1& form, int k, Side side, int value);

// Draws the rubber band as the mouse does, pressed at its top-left corner and
// released at its bottom-right, so that "C&reate Hotspot" makes a hotspot whose
// line carries `wanted`. Says why not when it cannot (something on the canvas
// takes the press there, or the rectangle leaves the canvas); then nothing changes.
std::string draw_band(Form1& form, const LcdNumbers& wanted);

} // namespace assist
