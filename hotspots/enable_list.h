// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

class Form1;

namespace hotspot_handlers {

// A choice in the "Image Hotspot Enable" list: the chosen picture lets the
// mouse through so a hotspot can be drawn over it; "None" enables them all.
void cboDisable_Click(Form1& form);
// Enables every picture control but slot intEAI's (0: all of them).
void EnableAllImages(Form1& form, std::int16_t intEAI);

} // namespace hotspot_handlers
