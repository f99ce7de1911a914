// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "slots/status_dialog_host.h"

class Form1;
class Windows;

namespace picture_slots {

// "&Load Image": the open dialog, the slot search and the hand-over to the
// display status dialog.
void attach_loading(Form1& form, Windows& windows, StatusDialogHost& host);
// Selecting, dragging and dropping pictures; "&Delete Image" and "Re&set All".
void attach_placing(Form1& form);

} // namespace picture_slots
