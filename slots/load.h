// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "slots/status_dialog_host.h"
#include "toolkit/picture.h"

#include <functional>
#include <string>

class Form1;
class Windows;
namespace tk {
class Image;
}

namespace picture_slots {

// The picture's code name: the file title before its first ".", or the whole
// title when it has none.
std::string ClipName(const std::string& strFileTitle);

// Sizes image to twice what picHold takes for picture, as a load measures it.
void size_to_picture(Form1& form, tk::Image& image, const tk::PicturePtr& picture);

// Puts a loaded picture into the free slot n at the canvas's corner as "&Load
// Image" does, under its file title; before_showing runs just before the picture
// shows.
void put_loaded_picture(Form1& form, int n, tk::PicturePtr picture, const std::string& title,
                        const std::function<void()>& before_showing = {});

// "&Load Image": puts the chosen picture into the lowest free slot, then hides
// the main window behind the display status dialog. Leaves Form1's `i` on the
// slot it filled, or 11 when all ten were full.
void cmdNewPicture_Click(Form1& form, Windows& windows, StatusDialogHost& host);

// Asks again for the display status and mode of slot n's picture, as a load
// does once it has placed it: `i` names the slot, the main window hides behind
// the dialog. For a design whose picture never got the dialog's answer.
void ask_display_status(Form1& form, StatusDialogHost& host, int n, const std::string& title);

} // namespace picture_slots
