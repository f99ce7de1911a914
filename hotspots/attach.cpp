// SPDX-License-Identifier: GPL-2.0-or-later
#include "hotspots/handlers.h"

#include "form1.h"
#include "hotspots/create_delete.h"
#include "hotspots/enable_list.h"
#include "hotspots/rubber_band.h"

namespace hotspot_handlers {

void attach(Form1& form) {
    form.on_mouse_down = [&form](const tk::MouseArgs& a) { Form_MouseDown(form, a); };
    form.on_mouse_move = [&form](const tk::MouseArgs& a) { Form_MouseMove(form, a); };
    form.on_mouse_up = [&form](const tk::MouseArgs& a) { Form_MouseUp(form, a); };
    form.cmdHotspot.on_click = [&form] { cmdHotspot_Click(form); };
    form.cmdDeleteHS.on_click = [&form] { cmdDeleteHS_Click(form); };
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        form.lbl(k).on_click = [&form, k] { lbl_Click(form, k); };
    }
    form.cboDisable.on_click = [&form] { cboDisable_Click(form); };
}

} // namespace hotspot_handlers
