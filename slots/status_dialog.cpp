// SPDX-License-Identifier: GPL-2.0-or-later
#include "slots/status_dialog.h"

#include "form1.h"
#include "windows.h"

#include <cstdint>

namespace picture_slots {

namespace {

// Options are placed relative to their frame.
tk::OptionButton& make_option(tk::Window& w, tk::Frame& frame, const char* name,
                              const char* caption, float left, float top, float width, float height,
                              int tab) {
    auto& option =
        w.add_captioned<tk::OptionButton>(name, caption, {left, top, width, height}, tab);
    option.container = &frame;
    return option;
}

} // namespace

// Frames come before their options so the options lie above them.
FrmImageDisplayStatus::FrmImageDisplayStatus(Windows& windows)
    : tk::Window("frmImageDisplayStatus", "Image Display and Mode Status", 3690, 5775),
      fraDest(add_captioned<tk::Frame>("fraDest", "Display Status", {720, 960, 2295, 1335}, 0)),
      optDisplay(
          make_option(*this, fraDest, "optDisplay", "Display Foreground", 240, 360, 1695, 375, 1)),
      optHiddenBackground(make_option(*this, fraDest, "optHiddenBackground", "Hidden Background",
                                      240, 840, 1815, 375, 2)),
      lblImageDisplayStatus(add<tk::Label>("lblImageDisplayStatus", {240, 240, 3255, 495}, 3)),
      cmdReturn(add_captioned<tk::Button>("cmdReturn", "OK", {720, 4920, 2295, 495}, 4)),
      fraMode(add_captioned<tk::Frame>("fraMode", "Display Mode", {720, 2640, 2295, 1935}, 5)),
      optModeClear(make_option(*this, fraMode, "optModeClear", "Clear", 240, 360, 975, 255, 6)),
      optModeComplement(
          make_option(*this, fraMode, "optModeComplement", "Complement", 240, 720, 1215, 255, 7)),
      optModeWriteOpaque(make_option(*this, fraMode, "optModeWriteOpaque", "Write Opaque", 240,
                                     1080, 1335, 255, 8)),
      optModeWriteTransparent(make_option(*this, fraMode, "optModeWriteTransparent",
                                          "Write Transparent", 240, 1440, 1695, 255, 9)),
      windows_(windows) {
    // A fixed dialog: no resizing, no min/max, no icon, no taskbar entry.
    resizable = false;
    minimize_button = false;
    maximize_button = false;
    has_icon = false;
    show_in_taskbar = false;

    // Design-time selection; the status option is chosen by the focus on show.
    optModeWriteOpaque.set_value(true);

    cmdReturn.on_click = [this] { cmdReturn_Click(); };
    on_query_unload = [this](bool& cancel) { Form_QueryUnload(cancel); };
    Form_Load();
}

void FrmImageDisplayStatus::Form_Load() { blnClosedByOK = false; }

void FrmImageDisplayStatus::cmdReturn_Click() {
    if (!optDisplay.value() && !optHiddenBackground.value()) {
        return;
    }
    Form1* form = windows_.form1();
    for (int n = 1; form != nullptr && n <= Form1::kSlots; ++n) {
        if (!form->i.is(n)) {
            continue;
        }
        form->set_intIDS(n, optDisplay.value() ? 0 : 1);
        if (optModeClear.value()) {
            form->set_intMode(n, 0);
        } else if (optModeComplement.value()) {
            form->set_intMode(n, 1);
        } else if (optModeWriteOpaque.value()) {
            form->set_intMode(n, 2);
        } else if (optModeWriteTransparent.value()) {
            form->set_intMode(n, 3);
        }
    }
    blnClosedByOK = true;
    // Form1 comes back before this window goes, so that the program never
    // finds itself without a window in between and ends.
    windows_.show_form1();
    request_close();
}

void FrmImageDisplayStatus::Form_QueryUnload(bool& /*cancel*/) {
    if (!blnClosedByOK) {
        windows_.end_program();
    }
}

} // namespace picture_slots
