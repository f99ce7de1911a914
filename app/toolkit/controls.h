// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "picture.h"

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace tk {

class Window;

// 24-bit colours laid out 0x00BBGGRR, as the handlers compare them.
using Color = std::uint32_t;
inline constexpr Color kRed = 0x0000FF;
inline constexpr Color kBlue = 0xFF0000;
inline constexpr Color kYellow = 0x00FFFF;
inline constexpr Color kWhite = 0xFFFFFF;
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kButtonFace = 0xF0F0F0;

// Screen pixels at 96 dots per inch.
inline constexpr float kTwipsPerPixel = 15.0F;

enum class Kind { Image, Label, Line, TextBox, ComboBox, Button, OptionButton, Frame, PictureBox };

enum MouseButton : std::int16_t { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// Arguments of a press, move or release: the button(s), the shift state and the
// pointer in twips relative to the receiver (window client area or control).
struct MouseArgs {
    std::int16_t button = 0;
    std::int16_t shift = 0;
    float x = 0;
    float y = 0;
};

using MouseHandler = std::function<void(const MouseArgs&)>;

struct Rect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool contains(float x, float y) const {
        return x >= left && y >= top && x < left + width && y < top + height;
    }
};

// Where a control stands and whether it shows and takes input: what every
// control kind has, in its parent's twips.
struct Placement {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool visible = true;
    bool enabled = true;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// Each kind's own fields as the handlers read and write them; the control
// inherits its aggregate, so `image.tag` is a field of ImageState. A field
// added here is kept by undo, saved and repainted without further code.
struct ImageState {
    PicturePtr picture; // shared, never copied
    std::string tag;
    std::int16_t drag_mode = 0;
    friend bool operator==(const ImageState&, const ImageState&) = default;
};

struct LabelState {
    std::string caption;
    Color back_color = kButtonFace;
    bool word_wrap = true;
    // Where the part of the caption that a view may shorten in its middle
    // begins (a file title), in bytes; npos: none. Drawing only.
    std::size_t elide_from = std::string::npos;
    friend bool operator==(const LabelState&, const LabelState&) = default;
};

struct LineState {
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    Color border_color = kBlack;
    friend bool operator==(const LineState&, const LineState&) = default;
};

struct TextBoxState {
    std::string text;
    bool multi_line = false;
    bool vertical_scroll_bar = false;
    friend bool operator==(const TextBoxState&, const TextBoxState&) = default;
};

// The list; what is typed into the box is `ComboBox::text`, a gesture's.
struct ComboBoxState {
    std::vector<std::string> items;
    friend bool operator==(const ComboBoxState&, const ComboBoxState&) = default;
};

struct ButtonState {
    std::string caption; // "&" marks the access key
    friend bool operator==(const ButtonState&, const ButtonState&) = default;
};

struct FrameState {
    std::string caption;
    friend bool operator==(const FrameState&, const FrameState&) = default;
};

struct OptionButtonState {
    std::string caption;
    bool chosen = false; // read through value(), set through set_value()
    friend bool operator==(const OptionButtonState&, const OptionButtonState&) = default;
};

struct PictureBoxState {
    PicturePtr picture;
    friend bool operator==(const PictureBoxState&, const PictureBoxState&) = default;
};

// Alternatives in the order of Kind.
using KindState = std::variant<ImageState, LabelState, LineState, TextBoxState, ComboBoxState,
                               ButtonState, OptionButtonState, FrameState, PictureBoxState>;

// One control's whole state as a value: taken, compared and given back whole.
struct ControlState {
    Placement place;
    KindState own;
    friend bool operator==(const ControlState&, const ControlState&) = default;
};

class Control : public Placement {
public:
    Control(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    // Windowed controls (buttons, boxes, ...) always lie above the drawn layer.
    bool windowed() const {
        return kind_ != Kind::Image && kind_ != Kind::Label && kind_ != Kind::Line;
    }

    ControlState state() const { return {static_cast<const Placement&>(*this), own_state()}; }
    // Takes back a state of the same kind, as it was taken.
    void set_state(const ControlState& state) {
        set_own_state(state.own);
        static_cast<Placement&>(*this) = state.place;
    }
    virtual KindState own_state() const = 0;
    virtual void set_own_state(const KindState& state) = 0;
    // state() == state, without making a copy (views ask this on every frame).
    bool has_state(const ControlState& state) const {
        return static_cast<const Placement&>(*this) == state.place && has_own_state(state.own);
    }
    virtual bool has_own_state(const KindState& state) const = 0;
    // What the user types into the control, when it takes typing that changes no
    // design by itself (an editable combo box); nullptr otherwise.
    virtual std::string* typed_text() { return nullptr; }
    virtual const std::string* typed_text() const { return nullptr; }

    int tab_index = -1;           // -1: takes no focus
    Control* container = nullptr; // a Frame, or nullptr for the window itself

    // Place in window coordinates (containers add their offset).
    Rect window_rect() const;
    bool shown() const; // visible, and so is every container

    std::function<void()> on_click;
    // Runs on_click, if any, then the window's click observers.
    void run_click();
    MouseHandler on_mouse_down;
    MouseHandler on_mouse_move;
    MouseHandler on_mouse_up;

    Window* window = nullptr;

private:
    Kind kind_;
    std::string name_;
};

// A control kind with its own aggregate.
template <Kind K, class Own> class ControlOf : public Control, public Own {
public:
    explicit ControlOf(std::string name) : Control(K, std::move(name)) {}
    KindState own_state() const override { return static_cast<const Own&>(*this); }
    void set_own_state(const KindState& state) override {
        static_cast<Own&>(*this) = std::get<Own>(state);
    }
    bool has_own_state(const KindState& state) const override {
        const Own* own = std::get_if<Own>(&state);
        return own != nullptr && *own == static_cast<const Own&>(*this);
    }
};

class Image : public ControlOf<Kind::Image, ImageState> {
public:
    using ControlOf::ControlOf;
    enum DragMode : std::int16_t { kManual = 0, kAutomatic = 1 };
    bool has_picture() const { return picture != nullptr; }
};

class Label : public ControlOf<Kind::Label, LabelState> {
public:
    using ControlOf::ControlOf;
};

class Line : public ControlOf<Kind::Line, LineState> {
public:
    using ControlOf::ControlOf;
};

class TextBox : public ControlOf<Kind::TextBox, TextBoxState> {
public:
    using ControlOf::ControlOf;
};

class ComboBox : public ControlOf<Kind::ComboBox, ComboBoxState> {
public:
    using ControlOf::ControlOf;
    std::string text;
    std::string* typed_text() override { return &text; }
    const std::string* typed_text() const override { return &text; }
    // Called only when the user chooses an item from the list, after `text`
    // has taken that item's text; never when a handler sets the text.
    void choose(int index);
};

class Button : public ControlOf<Kind::Button, ButtonState> {
public:
    using ControlOf::ControlOf;
    // What a press of the button does: nothing unless it is shown and enabled.
    void click();
};

class Frame : public ControlOf<Kind::Frame, FrameState> {
public:
    using ControlOf::ControlOf;
};

class OptionButton : public ControlOf<Kind::OptionButton, OptionButtonState> {
public:
    using ControlOf::ControlOf;
    bool value() const { return chosen; }
    // Selecting one option clears the others of the same container.
    void set_value(bool selected);
};

class PictureBox : public ControlOf<Kind::PictureBox, PictureBoxState> {
public:
    using ControlOf::ControlOf;
    // Holds a picture and sizes itself to it: outer size = picture + its frame.
    void set_picture(PicturePtr held);
    void clear_picture() { picture.reset(); }
    bool has_picture() const { return picture != nullptr; }
    static constexpr float kFramePixels = 2.0F; // sunken frame, on each side
};

} // namespace tk
