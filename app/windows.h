// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "platform.h"

class Form1;

// The program's windows as the handlers see them. Secondary windows are
// reached through hosts declared beside their handlers.
class Windows {
public:
    virtual ~Windows() = default;
    // The main window, or nullptr once it has been closed.
    virtual Form1* form1() = 0;
    // Shows the main window; when it was closed, it comes back as at start-up.
    virtual Form1& show_form1() = 0;
    // Unloads every window and ends the program at once.
    virtual void end_program() = 0;
    virtual platform::Services& services() = 0;
    // The memory all pictures of the program may take together.
    virtual tk::PictureBudget& picture_budget() = 0;
};
