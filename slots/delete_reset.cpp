// SPDX-License-Identifier: GPL-2.0-or-later
#include "slots/delete_reset.h"

#include "form1.h"
#include "slots/placing.h"

namespace picture_slots {

std::int16_t GetComboIndex(const Form1& form, const std::string& strComboIndex, std::size_t from) {
    const auto& items = form.cboDisable.items;
    for (std::size_t pos = from; pos < items.size(); ++pos) {
        if (items[pos] == strComboIndex) {
            return static_cast<std::int16_t>(pos);
        }
    }
    return 0;
}

void cmdDelete_Click(Form1& form) {
    const auto selected = named_slot(form.intPic);
    if (!selected) {
        return;
    }
    const int n = *selected;
    tk::Image& image = form.Image(n);
    image.picture.reset();
    form.clear_intIDS(n);
    // "None" at position 0 always stays: only a later entry with the title goes.
    const std::int16_t entry = GetComboIndex(form, image.tag, 1);
    if (entry != 0) {
        auto& items = form.cboDisable.items;
        items.erase(items.begin() + entry);
    }
    image.tag = "";
    if (image.visible) {
        image.visible = false;
    }

    bool any_picture = false;
    for (int k = 1; k <= Form1::kSlots; ++k) {
        any_picture = any_picture || form.Image(k).has_picture();
    }
    if (!any_picture) {
        form.cmdDelete.enabled = false;
    }
    hide_markers(form);
    form.intPic.clear();
}

void cmdReset_Click(Form1& form) {
    // Tags and the selection go too, so that a later Delete finds nothing left
    // over from the pictures that were taken away here.
    for (int n = 1; n <= Form1::kSlots; ++n) {
        tk::Image& image = form.Image(n);
        image.visible = false;
        image.picture.reset();
        image.tag = "";
    }
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        form.lbl(k).visible = false;
        form.lbl(k).back_color = tk::kRed;
    }
    hide_markers(form);
    for (int k = 1; k <= 8; ++k) {
        form.lin(k).visible = false;
    }
    form.cboDisable.items.clear();
    form.cboDisable.items.emplace_back("None");
    form.cboDisable.text = "None";
    form.intPic.clear();
}

} // namespace picture_slots
