#pragma once

#include <string>

class Form1;

namespace hotspot_handlers {

// "C&reate Hotspot": the drawn rectangle becomes the lowest free hotspot label.
void cmdHotspot_Click(Form1& form);
// Click on hotspot label k (1 to 10): toggles its selection.
void lbl_Click(Form1& form, int k);
// "D&elete Hotspot": removes the hotspot hsi names, if it is selected.
void cmdDeleteHS_Click(Form1& form);
// Every hotspot label but the one strNumber names turns red (unselected).
void CheckColor(Form1& form, const std::string& strNumber);

} // namespace hotspot_handlers
