// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "assist/properties.h"
#include "dispatcher.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class Form1;
class Program;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;

namespace padscreen_qt {

// A tool window beside the main window for typing what the canvas shows in
// LCD pixels: the selected picture's place, status, mode and NAME, the
// selected hotspot's rectangle, and a band to draw by numbers. Every edit is
// one user action; the model's own answer (the number the code line carries
// now, and why it is not the one typed) is shown back. F4 or its button on
// the main window shows and hides it.
class PropertiesPanel : public QWidget {
public:
    PropertiesPanel(QWidget& main, Program& program, Dispatcher& dispatcher);

    // After every action: the fields take what changed in the model; what is
    // being typed elsewhere stays.
    void follow(const Form1& form);
    void toggle();
    // What the panel last said about an edit; empty when nothing.
    QString note() const;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    QSpinBox* number_field(QWidget* parent);
    // Runs an edit as a user action, then shows the model's values again.
    void edit(const std::function<void(Form1&)>& action);
    void show_all(const Form1& form);
    void edit_picture_side(assist::Side side, int value);
    void edit_hotspot_side(assist::Side side, int value);

    Program& program_;
    Dispatcher& dispatcher_;
    QPointer<QWidget> main_;
    QPointer<QToolButton> toggle_; // on the main window
    bool placed_ = false;
    bool stale_ = true;           // the model moved on while the panel was hidden
    bool away_with_main_ = false; // hidden while the main window is

    QGroupBox* picture_box_ = nullptr;
    std::array<QSpinBox*, 2> picture_xy_{};
    QComboBox* status_ = nullptr;
    QComboBox* mode_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* name_note_ = nullptr;
    QGroupBox* hotspot_box_ = nullptr;
    std::array<QSpinBox*, 4> hotspot_sides_{};
    std::array<QSpinBox*, 4> band_sides_{};
    QLabel* note_ = nullptr;

    // What the fields show of the model, to tell its changes from typing.
    std::optional<assist::PictureProperties> picture_;
    std::optional<std::pair<int, assist::LcdNumbers>> hotspot_;
    bool following_ = false; // the fields are being set from the model
};

} // namespace padscreen_qt
