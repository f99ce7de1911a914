// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "picture.h"

#include <cstdint>
#include <functional>
#include <string>
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

class Control {
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

    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool visible = true;
    bool enabled = true;
    int tab_index = -1;           // -1: takes no focus
    Control* container = nullptr; // a Frame, or nullptr for the window itself

    // Place in window coordinates (containers add their offset).
    Rect window_rect() const;
    bool shown() const; // visible, and so is every container

    std::function<void()> on_click;
    MouseHandler on_mouse_down;
    MouseHandler on_mouse_move;
    MouseHandler on_mouse_up;

    Window* window = nullptr;

private:
    Kind kind_;
    std::string name_;
};

class Image : public Control {
public:
    explicit Image(std::string name) : Control(Kind::Image, std::move(name)) {}
    enum DragMode : std::int16_t { kManual = 0, kAutomatic = 1 };
    PicturePtr picture;
    std::string tag;
    std::int16_t drag_mode = kManual;
    bool has_picture() const { return picture != nullptr; }
};

class Label : public Control {
public:
    explicit Label(std::string name) : Control(Kind::Label, std::move(name)) {}
    std::string caption;
    Color back_color = kButtonFace;
    bool word_wrap = true;
    // Where the part of the caption that a view may shorten in its middle
    // begins (a file title), in bytes; npos: none. Drawing only.
    std::size_t elide_from = std::string::npos;
};

class Line : public Control {
public:
    explicit Line(std::string name) : Control(Kind::Line, std::move(name)) {}
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    Color border_color = kBlack;
};

class TextBox : public Control {
public:
    explicit TextBox(std::string name) : Control(Kind::TextBox, std::move(name)) {}
    std::string text;
    bool multi_line = false;
    bool vertical_scroll_bar = false;
};

class ComboBox : public Control {
public:
    explicit ComboBox(std::string name) : Control(Kind::ComboBox, std::move(name)) {}
    std::string text;
    std::vector<std::string> items;
    // Called only when the user chooses an item from the list, after `text`
    // has taken that item's text; never when a handler sets the text.
    void choose(int index);
};

class Button : public Control {
public:
    explicit Button(std::string name) : Control(Kind::Button, std::move(name)) {}
    std::string caption; // "&" marks the access key
    // What a press of the button does: nothing unless it is shown and enabled.
    void click();
};

class Frame : public Control {
public:
    explicit Frame(std::string name) : Control(Kind::Frame, std::move(name)) {}
    std::string caption;
};

class OptionButton : public Control {
public:
    explicit OptionButton(std::string name) : Control(Kind::OptionButton, std::move(name)) {}
    std::string caption;
    bool value() const { return value_; }
    // Selecting one option clears the others of the same container.
    void set_value(bool selected);

private:
    bool value_ = false;
};

class PictureBox : public Control {
public:
    explicit PictureBox(std::string name) : Control(Kind::PictureBox, std::move(name)) {}
    // Holds a picture and sizes itself to it: outer size = picture + its frame.
    void set_picture(PicturePtr picture);
    void clear_picture() { picture_.reset(); }
    bool has_picture() const { return picture_ != nullptr; }
    const PicturePtr& picture() const { return picture_; }
    static constexpr float kFramePixels = 2.0F; // sunken frame, on each side

private:
    PicturePtr picture_;
};

} // namespace tk
