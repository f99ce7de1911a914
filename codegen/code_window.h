// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/window.h"

#include <string>

class Windows;

namespace codegen {

// frmShowCode: shows the generated text, saves it to a text file, and hands
// back to Form1. Closing it other than by "Return to Form" ends the program.
class FrmShowCode : public tk::Window {
public:
    explicit FrmShowCode(Windows& windows);

    tk::TextBox& txtCode;
    tk::Button& cmdWriteTextFile;
    tk::Button& cmdReturn;

private:
    void Form_Load();
    void cmdWriteTextFile_Click();
    void cmdReturn_Click();
    void Form_QueryUnload(bool& cancel);

    Windows& windows_;
    bool blnClosedByReturn = false;
    // The save dialog's file name: offered again while the window stays loaded.
    std::string file_name_;
};

} // namespace codegen
