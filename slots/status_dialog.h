// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/window.h"

class Windows;

namespace picture_slots {

// frmImageDisplayStatus: asks for the display status and mode of the slot just
// loaded (Form1's `i`). Closing it other than by OK ends the program.
class FrmImageDisplayStatus : public tk::Window {
public:
    explicit FrmImageDisplayStatus(Windows& windows);

    tk::Frame& fraDest;
    tk::OptionButton& optDisplay;
    tk::OptionButton& optHiddenBackground;
    tk::Label& lblImageDisplayStatus;
    tk::Button& cmdReturn;
    tk::Frame& fraMode;
    tk::OptionButton& optModeClear;
    tk::OptionButton& optModeComplement;
    tk::OptionButton& optModeWriteOpaque;
    tk::OptionButton& optModeWriteTransparent;

private:
    void Form_Load();
    void cmdReturn_Click();
    void Form_QueryUnload(bool& cancel);

    Windows& windows_;
    bool blnClosedByOK = false;
};

} // namespace picture_slots
