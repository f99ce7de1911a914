// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/controls.h"

#include <string>

class Form1;

namespace hotspot_handlers {

// The rectangle "C&reate Hotspot" makes from a press point (cx, cy) and a
// release point (ccx, ccy): corner by the signs of the drag, right and bottom
// edges held to the canvas.
tk::Rect hotspot_rect(float cx, float cy, float ccx, float ccy);

// "C&reate Hotspot": the drawn rectangle becomes the lowest free hotspot label.
void cmdHotspot_Click(Form1& form);
// Click on hotspot label k (1 to 10): toggles its selection.
void lbl_Click(Form1& form, int k);
// "D&elete Hotspot": removes the hotspot hsi names, if it is selected.
void cmdDeleteHS_Click(Form1& form);
// Every hotspot label but the one strNumber names turns red (unselected).
void CheckColor(Form1& form, const std::string& strNumber);

} // namespace hotspot_handlers
