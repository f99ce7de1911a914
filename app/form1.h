// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/window.h"
#include "variant.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The main window: the canvas grid on the left, the control panel on the
// right, and the design's window-level variables.
class Form1 : public tk::Window {
public:
    static constexpr int kSlots = 10;
    static constexpr int kHotspots = 10;
    static constexpr float kClientWidth = 12465;
    static constexpr float kClientHeight = 7665;
    // Limits of the canvas for dropped pictures and drawn rectangles.
    static constexpr float kCanvasRight = 9720;
    static constexpr float kCanvasBottom = 7315;

    Form1(); // the layout as designed, before the start-up steps
    void start_up();

    // Families numbered from 1.
    tk::Image& Image(int n) const;
    tk::Label& lbl(int n) const;
    tk::Label& lblPicture(int n) const;
    tk::Line& lin(int n) const;
    tk::TextBox& Text(int n) const;

    tk::Button& cmdNewPicture;
    tk::Button& cmdDelete;
    tk::Button& cmdCreateCode;
    tk::Button& cmdHotspot;
    tk::Button& cmdDeleteHS;
    tk::Button& cmdReset;
    tk::ComboBox& cboDisable;
    tk::Label& lblDisable;
    tk::Label& Label1;
    tk::PictureBox& picHold;
    const std::vector<tk::Line*>& grid() const { return grid_; }

    // Window-level variables.
    Variant Lefty, Toppy, i, hs, cX, cY, ccX, ccY, movX, movY, hsi, intPic;

    // Slot variables: slots 1 to 9 hold dynamic values, slot 10's status and
    // mode are plain integers that start at 0 and so always print a number.
    Variant intIDS(int n) const;
    void set_intIDS(int n, std::int16_t code);
    void clear_intIDS(int n);
    Variant intMode(int n) const;
    void set_intMode(int n, std::int16_t code);
    void clear_intMode(int n); // back to never set (slot 10: 0)
    Variant& strFileName(int n);
    const Variant& strFileName(int n) const;

private:
    std::array<tk::Image*, kSlots> images_{};
    std::array<tk::Label*, kHotspots> labels_{};
    std::array<tk::Label*, 4> markers_{};
    std::array<tk::Line*, 8> lines_{};
    std::array<tk::TextBox*, 6> texts_{};
    std::vector<tk::Line*> grid_;

    std::array<Variant, kSlots - 1> intIDS_;
    std::array<Variant, kSlots - 1> intMode_;
    std::int16_t intIDS10_ = 0;
    std::int16_t intMode10_ = 0;
    std::array<Variant, kSlots> strFileName_;
};
