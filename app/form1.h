// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/window.h"
#include "variant.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Form1's window-level variables that are the design: which hotspot is
// selected and how many there are, the selected picture, and each slot's
// status, mode and code name. Slots 1 to 9 hold dynamic values; slot 10's
// status and mode are plain integers that start at 0 and so always print a
// number. Read and write them through Form1's accessors.
struct DesignVariables {
    static constexpr int kSlots = 10;
    Variant hs, hsi, intPic;
    std::array<Variant, kSlots - 1> status_1_to_9;
    std::array<Variant, kSlots - 1> mode_1_to_9;
    std::int16_t status_10 = 0;
    std::int16_t mode_10 = 0;
    std::array<Variant, kSlots> file_names;
    friend bool operator==(const DesignVariables&, const DesignVariables&) = default;
};

// The variables of a gesture in progress (a drag, a band, the slot of a load
// waiting for its dialog): restored with the design, but alone no design step.
struct GestureVariables {
    Variant Lefty, Toppy, i, cX, cY, ccX, ccY, movX, movY;
    friend bool operator==(const GestureVariables&, const GestureVariables&) = default;
};

// What a control is to the design: part of it, part of a gesture in progress
// (the band's lines, the hidden text boxes), or layout no handler touches.
enum class StatePart { Design, Gesture, Fixed };

// The design as a value: every design control's state, in creation order, and
// the design variables. Design files and undo are made of it.
struct DesignState {
    std::vector<tk::ControlState> controls;
    DesignVariables variables;
    friend bool operator==(const DesignState&, const DesignState&) = default;
};

struct GestureState {
    std::vector<tk::ControlState> controls;
    std::vector<std::string> typed; // what is typed into the controls that take typing
    GestureVariables variables;
    friend bool operator==(const GestureState&, const GestureState&) = default;
};

// Everything of Form1 that a user action can change.
struct FormState {
    DesignState design;
    GestureState gesture;
    friend bool operator==(const FormState&, const FormState&) = default;
};

// The main window: the canvas grid on the left, the control panel on the
// right, and the design's window-level variables.
class Form1 : public tk::Window, public DesignVariables, public GestureVariables {
public:
    static constexpr int kSlots = DesignVariables::kSlots;
    static constexpr int kHotspots = 10;
    static constexpr float kClientWidth = 12465;
    static constexpr float kClientHeight = 7665;
    // Limits of the canvas for dropped pictures and drawn rectangles.
    static constexpr float kCanvasRight = 9720;
    static constexpr float kCanvasBottom = 7315;

    // The layout as designed, before the start-up steps; drag_distance in twips.
    explicit Form1(float drag_distance = tk::kDefaultDragDistance);
    void start_up();

    FormState state() const;
    void set_state(const FormState& state);
    DesignState design() const;
    // Takes back a design; the gesture part is left as it is.
    void set_design(const DesignState& design);
    StatePart part_of(const tk::Control& control) const;

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

    // Slot variables (see DesignVariables).
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
    // The controls of each part and those that take typing, in creation order:
    // every design step walks them. Made again when a control was added.
    struct Parts {
        std::size_t counted = 0;
        std::vector<tk::Control*> design;
        std::vector<tk::Control*> gesture;
        std::vector<tk::Control*> typed;
    };
    const Parts& parts() const;
    mutable Parts parts_;
};
