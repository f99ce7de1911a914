// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/controls.h"

class Form1;

namespace hotspot_handlers {

// The window's own mouse events: the rubber band and the drawn rectangle.
void Form_MouseDown(Form1& form, const tk::MouseArgs& args);
void Form_MouseMove(Form1& form, const tk::MouseArgs& args);
void Form_MouseUp(Form1& form, const tk::MouseArgs& args);

} // namespace hotspot_handlers
