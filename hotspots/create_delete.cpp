// SPDX-License-Identifier: GPL-2.0-or-later
#include "hotspots/create_delete.h"

#include "form1.h"
#include "variant.h"

#include <cmath>
#include <cstdint>

namespace hotspot_handlers {

namespace {

float coord(const Variant& v) { return static_cast<float>(v.number().value_or(0)); }

} // namespace

tk::Rect hotspot_rect(float cx, float cy, float ccx, float ccy) {
    const float dx = ccx - cx;
    const float dy = ccy - cy;
    tk::Rect r;
    r.left = cx;
    r.top = cy;
    r.width = std::fabs(dx);
    r.height = std::fabs(dy);
    if (dx < 0 && dy < 0) {
        r.left = ccx;
        r.top = ccy;
    }
    if (dx > 0 && dy < 0) {
        r.top = ccy;
    }
    if (dx < 0 && dy > 0) {
        r.left = ccx;
    }
    // Only the right and bottom edges are limited. A rectangle started beyond
    // them would get a negative size, which no label can have: it gets 0.
    if (r.width + r.left > Form1::kCanvasRight) {
        r.width = std::fmax(0.0F, Form1::kCanvasRight - r.left);
    }
    if (r.height + r.top > Form1::kCanvasBottom) {
        r.height = std::fmax(0.0F, Form1::kCanvasBottom - r.top);
    }
    return r;
}

void cmdHotspot_Click(Form1& form) {
    for (int k = 5; k <= 8; ++k) {
        form.lin(k).visible = false;
    }
    form.cmdDeleteHS.enabled = true;
    int k = 1;
    for (; k <= Form1::kHotspots; ++k) {
        form.hs = static_cast<std::int16_t>(k);
        if (!form.lbl(k).visible) {
            break;
        }
    }
    if (k > Form1::kHotspots) {
        form.hs = static_cast<std::int16_t>(k);
        return; // all ten in use: nothing is made and the button stays enabled
    }

    const tk::Rect r =
        hotspot_rect(coord(form.cX), coord(form.cY), coord(form.ccX), coord(form.ccY));
    tk::Label& label = form.lbl(k);
    label.left = r.left;
    label.top = r.top;
    label.width = r.width;
    label.height = r.height;
    label.visible = true;
    form.cmdHotspot.enabled = false;
}

void lbl_Click(Form1& form, int k) {
    form.hsi = static_cast<std::int16_t>(k);
    form.cmdDeleteHS.enabled = true;
    tk::Label& label = form.lbl(k);
    label.back_color = label.back_color == tk::kRed ? tk::kBlue : tk::kRed;
    CheckColor(form, std::to_string(k));
}

void CheckColor(Form1& form, const std::string& strNumber) {
    const auto keep = parse_number(strNumber);
    for (int k = 1; k <= Form1::kHotspots; ++k) {
        if (!keep || *keep != k) {
            form.lbl(k).back_color = tk::kRed;
        }
    }
}

void cmdDeleteHS_Click(Form1& form) {
    int k = 0;
    for (int n = 1; n <= Form1::kHotspots; ++n) {
        if (form.hsi.is(n)) {
            k = n;
            break;
        }
    }
    if (k == 0) {
        return;
    }
    tk::Label& label = form.lbl(k);
    if (label.back_color == tk::kBlue) {
        label.visible = false;
        label.back_color = tk::kRed;
    }
    for (int n = 1; n <= Form1::kHotspots; ++n) {
        if (form.lbl(n).visible) {
            return;
        }
    }
    form.cmdDeleteHS.enabled = false;
}

} // namespace hotspot_handlers
