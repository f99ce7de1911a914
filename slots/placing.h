// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/controls.h"

#include <cstdint>
#include <optional>

class Form1;
class Variant;

namespace picture_slots {

// Handlers of Image1 ... Image10; n is the slot number, 1 to 10.
void Image_Click(Form1& form, int n);
void Image_MouseDown(Form1& form, int n, const tk::MouseArgs& args);
void Image_MouseUp(Form1& form, int n, const tk::MouseArgs& args);
void Image_MouseMove(Form1& form, int n, const tk::MouseArgs& args);

// Every picture but slot intDMC becomes draggable again.
void DragModeCheck(Form1& form, std::int16_t& intDMC);

// A dragged picture released over the bare window at (x, y).
void Form_DragDrop(Form1& form, tk::Control& source, float x, float y);

// Puts the four corner markers around the picture, in the order a click does.
void place_markers(Form1& form, const tk::Image& image);
// Holds a picture's Left and Top inside the canvas limits, as a drop does.
void keep_on_canvas(tk::Image& image);
// Hides the four corner markers of the selected picture.
void hide_markers(Form1& form);
// The slot a window-level value names, when it names one of 1 to 10.
std::optional<int> named_slot(const Variant& value);

} // namespace picture_slots
