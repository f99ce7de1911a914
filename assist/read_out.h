// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Form1;

namespace assist {

// The keys, in lines under the read-outs.
inline constexpr std::array<const char*, 2> kKeysLines = {
    "Ctrl+Z undo \u00b7 arrow keys nudge", "Ctrl+S save \u00b7 Ctrl+O open"};

// The read-out lines for the design as it stands, top to bottom, in LCD
// pixels: the pointer over the canvas (or the rubber band while one is
// drawn), the selected picture and the selected hotspot with the numbers of
// their lines, and by how much each reaches past the LCD. `pointer` is where
// the pointer rests in window twips, if it is over the window.
std::vector<std::string> read_out(const Form1& form,
                                  std::optional<std::pair<float, float>> pointer);

} // namespace assist
