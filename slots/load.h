// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "slots/status_dialog_host.h"

#include <string>

class Form1;
class Windows;

namespace picture_slots {

// The picture's code name: the file title before its first ".", or the whole
// title when it has none.
std::string ClipName(const std::string& strFileTitle);

// "&Load Image": puts the chosen picture into the lowest free slot, then hides
// the main window behind the display status dialog. Leaves Form1's `i` on the
// slot it filled, or 11 when all ten were full.
void cmdNewPicture_Click(Form1& form, Windows& windows, StatusDialogHost& host);

} // namespace picture_slots
