// SPDX-License-Identifier: GPL-2.0-or-later
#include "hotspots/enable_list.h"

#include "form1.h"

namespace hotspot_handlers {

void cboDisable_Click(Form1& form) {
    const std::string& chosen = form.cboDisable.text;
    if (chosen == "None") {
        EnableAllImages(form, 0);
        return;
    }
    // Titles may repeat: only the first slot holding it is disabled.
    for (int k = 1; k <= Form1::kSlots; ++k) {
        if (form.Image(k).tag == chosen) {
            form.Image(k).enabled = false;
            EnableAllImages(form, static_cast<std::int16_t>(k));
            return;
        }
    }
}

void EnableAllImages(Form1& form, std::int16_t intEAI) {
    for (int k = 1; k <= Form1::kSlots; ++k) {
        if (k != intEAI) {
            form.Image(k).enabled = true;
        }
    }
}

} // namespace hotspot_handlers
