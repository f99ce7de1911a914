// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class Form1;

namespace hotspot_handlers {

// The rubber band on the window surface, hotspot creation, selection and
// deletion, and the image hotspot enable list.
void attach(Form1& form);

} // namespace hotspot_handlers
