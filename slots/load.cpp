// SPDX-License-Identifier: GPL-2.0-or-later
#include "slots/load.h"

#include "form1.h"
#include "slots/handlers.h"
#include "slots/status_dialog.h"
#include "windows.h"

#include <cstdint>
#include <new>
#include <utility>

namespace picture_slots {

namespace {

constexpr const char* kPictureFilter =
    "All Picture Files|*.bmp;*.dib;*.gif;*.jpg;*.jpeg;*.png;*.wmf;*.emf;*.ico;*.cur|"
    "Bitmaps (*.bmp;*.dib)|*.bmp;*.dib|"
    "GIF Images (*.gif)|*.gif|"
    "JPEG Images (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
    "PNG Images (*.png)|*.png|"
    "Metafiles (*.wmf;*.emf)|*.wmf;*.emf|"
    "Icons (*.ico;*.cur)|*.ico;*.cur|"
    "All Files (*.*)|*.*";

std::string prompt_for(int slot, const std::string& title) {
    // Slot 2 has always had its own wording.
    const char* prefix = slot == 2
                             ? "Please choose the initial Display Status and Display Mode for "
                             : "Please choose the initial Display Status and Mode for ";
    return prefix + title;
}

} // namespace

std::string ClipName(const std::string& strFileTitle) {
    return strFileTitle.substr(0, strFileTitle.find('.'));
}

void size_to_picture(Form1& form, tk::Image& image, const tk::PicturePtr& picture) {
    form.picHold.set_picture(picture);
    image.height = form.picHold.height * 2;
    image.width = form.picHold.width * 2;
    form.picHold.clear_picture();
}

void put_loaded_picture(Form1& form, int n, tk::PicturePtr picture, const std::string& title,
                        const std::function<void()>& before_showing) {
    tk::Image& image = form.Image(n);
    image.tag = title;
    size_to_picture(form, image, picture);
    image.picture = std::move(picture);
    image.left = 0;
    image.top = 0;
    form.cmdDelete.enabled = true;
    image.drag_mode = tk::Image::kAutomatic;
    form.strFileName(n) = ClipName(title);
    form.cboDisable.items.push_back(title);
    if (before_showing) {
        before_showing();
    }
    image.visible = true;
}

void cmdNewPicture_Click(Form1& form, Windows& windows, StatusDialogHost& host) {
    platform::Services& services = windows.services();
    platform::FileDialogOptions options;
    options.filter = kPictureFilter;
    options.filter_index = 1;
    services.pictures.prepare(); // the decoder starts while the user chooses
    const auto choice = services.files.show_open(options);
    if (!choice) {
        return;
    }

    for (std::int16_t n = 1; n <= Form1::kSlots; ++n) {
        form.i = n;
        tk::Image& image = form.Image(n);
        if (image.has_picture()) {
            continue;
        }
        // One decode serves both the measuring and the slot itself.
        tk::PicturePtr picture;
        try {
            picture = services.pictures.load(choice->path, windows.picture_budget());
        } catch (const std::bad_alloc&) {
            // Out of memory for this picture: a failed load like any other.
        }
        if (!picture) {
            // The tag is written only once the picture is there: a title left on
            // an empty slot would be the one the enable list finds first.
            return;
        }
        FrmImageDisplayStatus* dialog = nullptr;
        put_loaded_picture(form, n, std::move(picture), choice->title, [&] {
            dialog = &host.load_status_dialog();
            dialog->lblImageDisplayStatus.caption = prompt_for(n, choice->title);
            dialog->lblImageDisplayStatus.elide_from =
                dialog->lblImageDisplayStatus.caption.size() - choice->title.size();
            form.hide();
        });
        dialog->show();
        return;
    }
    form.i = static_cast<std::int16_t>(Form1::kSlots + 1);
}

void ask_display_status(Form1& form, StatusDialogHost& host, int n, const std::string& title) {
    form.i = static_cast<std::int16_t>(n);
    FrmImageDisplayStatus& dialog = host.load_status_dialog();
    dialog.lblImageDisplayStatus.caption = prompt_for(n, title);
    dialog.lblImageDisplayStatus.elide_from =
        dialog.lblImageDisplayStatus.caption.size() - title.size();
    form.hide();
    dialog.show();
}

void attach_loading(Form1& form, Windows& windows, StatusDialogHost& host) {
    form.cmdNewPicture.on_click = [&form, &windows, &host] {
        cmdNewPicture_Click(form, windows, host);
    };
}

} // namespace picture_slots
