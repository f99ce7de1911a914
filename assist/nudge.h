// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>

class Form1;

namespace assist {

// The selected picture, as the handlers show it: the markers are up and
// intPic names a slot that holds a picture.
std::optional<int> selected_picture(const Form1& form);

// The twip nearest to `twips` whose converted position is `steps` away from its own.
float nudged(float twips, int steps);

// Moves the selected picture by whole LCD pixels: dx across, dy down. Each
// step is the smallest change in twips after which the converted position
// differs by one; the drop's canvas limits then apply. Only Left and Top
// change, and the markers follow. False when nothing is selected or a button
// is held.
bool nudge(Form1& form, int dx, int dy);

} // namespace assist
