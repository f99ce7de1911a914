// SPDX-License-Identifier: GPL-2.0-or-later
#include "properties_panel.h"

#include "assist/code_check.h"
#include "assist/keyboard.h"
#include "assist/nudge.h"
#include "form1.h"
#include "program.h"
#include "units.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace padscreen_qt {

namespace {

constexpr std::array<assist::Side, 4> kSides = {assist::Side::X, assist::Side::Y, assist::Side::W,
                                                assist::Side::H};
// Dark red on the window's grey: well over 4.5:1.
const char* const kProblemStyle = "color: #9a0000";

QString side_label(assist::Side side) {
    return QStringLiteral("LCD ") + QString::fromLatin1(assist::side_name(side));
}

constexpr int kNothing = -1000;

void set_value(QSpinBox* box, int value) {
    const QSignalBlocker quiet(box);
    box->setValue(value);
}

} // namespace

PropertiesPanel::PropertiesPanel(QWidget& main, Program& program, Dispatcher& dispatcher)
    : QWidget(&main, Qt::Tool), program_(program), dispatcher_(dispatcher), main_(&main) {
    setWindowTitle(QStringLiteral("Properties"));
    for (const QKeySequence& key : {QKeySequence(Qt::Key_F4), QKeySequence(Qt::Key_Escape)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, [this] { toggle(); });
    }

    // Below the document's controls, in the right column; out of the Tab
    // order, which stays the document's.
    toggle_ = new QToolButton(&main);
    toggle_->setText(QStringLiteral("Properties (F4)"));
    toggle_->setCheckable(true);
    toggle_->setFocusPolicy(Qt::NoFocus);
    toggle_->setGeometry(px_rect({9840, 7155, 2535, 375}));
    toggle_->show();
    connect(toggle_, &QToolButton::clicked, this, [this] { toggle(); });
}

void PropertiesPanel::setVisible(bool visible) {
    // Its fields are made when it first shows: many users never open it, and
    // the start should not wait for them.
    if (visible && note_ == nullptr) {
        build();
    }
    QWidget::setVisible(visible);
}

void PropertiesPanel::build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    note_ = new QLabel(this); // laid out last

    picture_box_ = new QGroupBox(this);
    auto* picture = new QFormLayout(picture_box_);
    picture->setContentsMargins(6, 6, 6, 6);
    for (std::size_t k = 0; k < 2; ++k) {
        picture_xy_[k] = number_field(picture_box_);
        picture_xy_[k]->setObjectName(QStringLiteral("picture ") + assist::side_name(kSides[k]));
        picture->addRow(side_label(kSides[k]), picture_xy_[k]);
        connect(picture_xy_[k], &QSpinBox::valueChanged, this,
                [this, k](int value) { edit_picture_side(kSides[k], value); });
    }
    status_ = new QComboBox(picture_box_);
    status_->setObjectName(QStringLiteral("status"));
    status_->addItems({QStringLiteral("Display Foreground"), QStringLiteral("Hidden Background")});
    picture->addRow(QStringLiteral("Status"), status_);
    mode_ = new QComboBox(picture_box_);
    mode_->setObjectName(QStringLiteral("mode"));
    mode_->addItems({QStringLiteral("Clear"), QStringLiteral("Complement"),
                     QStringLiteral("Write Opaque"), QStringLiteral("Write Transparent")});
    picture->addRow(QStringLiteral("Mode"), mode_);
    connect(status_, &QComboBox::activated, this, [this](int index) {
        edit([index](Form1& form) {
            if (const auto n = assist::selected_picture(form)) {
                assist::set_picture_status(form, *n, index);
            }
        });
    });
    connect(mode_, &QComboBox::activated, this, [this](int index) {
        edit([index](Form1& form) {
            if (const auto n = assist::selected_picture(form)) {
                assist::set_picture_mode(form, *n, index);
            }
        });
    });
    name_ = new QLineEdit(picture_box_);
    name_->setObjectName(QStringLiteral("name"));
    picture->addRow(QStringLiteral("NAME"), name_);
    name_note_ = new QLabel(picture_box_);
    name_note_->setWordWrap(true);
    name_note_->setStyleSheet(QString::fromLatin1(kProblemStyle));
    picture->addRow(name_note_);
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const Form1* form = program_.form1();
        if (form != nullptr && picture_) {
            name_note_->setText(QString::fromStdString(
                assist::code_name_problem(*form, picture_->slot, text.toStdString())));
        }
    });
    connect(name_, &QLineEdit::editingFinished, this, [this] {
        if (!picture_ || name_->text().toStdString() == picture_->name) {
            return;
        }
        const std::string name = name_->text().toStdString();
        std::string problem;
        edit([&problem, &name](Form1& form) {
            if (const auto n = assist::selected_picture(form)) {
                problem = assist::set_code_name(form, *n, name);
            }
        });
        if (problem.empty()) {
            name_->setModified(false); // the model's now
        } else {
            note_->setText(QStringLiteral("NAME not changed: ") + QString::fromStdString(problem));
        }
    });
    layout->addWidget(picture_box_);

    hotspot_box_ = new QGroupBox(this);
    auto* hotspot = new QFormLayout(hotspot_box_);
    hotspot->setContentsMargins(6, 6, 6, 6);
    for (std::size_t k = 0; k < kSides.size(); ++k) {
        hotspot_sides_[k] = number_field(hotspot_box_);
        hotspot_sides_[k]->setObjectName(QStringLiteral("hotspot ") + assist::side_name(kSides[k]));
        hotspot->addRow(side_label(kSides[k]), hotspot_sides_[k]);
        connect(hotspot_sides_[k], &QSpinBox::valueChanged, this,
                [this, k](int value) { edit_hotspot_side(kSides[k], value); });
    }
    layout->addWidget(hotspot_box_);

    // A band by numbers, for "C&reate Hotspot" without the mouse.
    auto* band_box = new QGroupBox(QStringLiteral("New band"), this);
    auto* band = new QFormLayout(band_box);
    band->setContentsMargins(6, 6, 6, 6);
    for (std::size_t k = 0; k < kSides.size(); ++k) {
        band_sides_[k] = number_field(band_box);
        band_sides_[k]->setObjectName(QStringLiteral("band ") + assist::side_name(kSides[k]));
        band_sides_[k]->setKeyboardTracking(true);
        band->addRow(side_label(kSides[k]), band_sides_[k]);
        // What was said of the last band is not said of this one.
        connect(band_sides_[k], &QSpinBox::valueChanged, note_, &QLabel::clear);
    }
    band_sides_[2]->setValue(40);
    band_sides_[3]->setValue(20);
    auto* draw = new QPushButton(QStringLiteral("Dra&w band"), band_box);
    draw->setAutoDefault(true);
    band->addRow(draw);
    connect(draw, &QPushButton::clicked, this, [this] {
        assist::LcdNumbers wanted;
        wanted.x = static_cast<std::int16_t>(band_sides_[0]->value());
        wanted.y = static_cast<std::int16_t>(band_sides_[1]->value());
        wanted.w = static_cast<std::int16_t>(band_sides_[2]->value());
        wanted.h = static_cast<std::int16_t>(band_sides_[3]->value());
        std::string problem;
        edit([&problem, wanted](Form1& form) { problem = assist::draw_band(form, wanted); });
        note_->setText(problem.empty()
                           ? QStringLiteral("Band drawn: \"C&&reate Hotspot\" (Alt+R) makes it")
                           : QStringLiteral("No band: ") + QString::fromStdString(problem));
    });
    layout->addWidget(band_box);

    note_->setWordWrap(true);
    note_->setMinimumHeight(note_->fontMetrics().lineSpacing() * 4);
    // Narrow enough to stand beside the main window on a common screen.
    note_->setMaximumWidth(note_->fontMetrics().averageCharWidth() * 34);
    note_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    note_->setTextFormat(Qt::PlainText);
    layout->addWidget(note_);
    layout->addStretch(1);
}

QSpinBox* PropertiesPanel::number_field(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    // The lowest value stands for nothing selected.
    box->setRange(kNothing, 9999);
    box->setSpecialValueText(QStringLiteral("\u2013"));
    // A typed number counts once it is entered, not at each digit.
    box->setKeyboardTracking(false);
    return box;
}

QString PropertiesPanel::note() const { return note_ != nullptr ? note_->text() : QString(); }

void PropertiesPanel::toggle() {
    if (isVisible()) {
        hide();
        if (main_) {
            main_->activateWindow();
        }
        return;
    }
    show();
    raise();
    activateWindow();
}

void PropertiesPanel::showEvent(QShowEvent* event) {
    if (!placed_ && main_) {
        placed_ = true;
        // Beside the main window, right or left where the screen has room, else
        // over its right edge.
        adjustSize();
        const QRect screen = main_->screen()->availableGeometry();
        const QRect frame = frameGeometry();
        const QPoint beside = main_->frameGeometry().topRight() + QPoint(8, 0);
        const int left_of = main_->frameGeometry().left() - 8 - frame.width();
        const int x = beside.x() + frame.width() <= screen.right() || left_of < screen.left()
                          ? std::min(beside.x(), screen.right() - frame.width())
                          : left_of;
        move(std::max(screen.left(), x),
             std::max(screen.top(), std::min(beside.y(), screen.bottom() - frame.height())));
    }
    if (toggle_) {
        toggle_->setChecked(true);
    }
    if (const Form1* form = program_.form1(); stale_ && form != nullptr) {
        stale_ = false;
        note_->clear();
        show_all(*form);
    }
    QWidget::showEvent(event);
}

void PropertiesPanel::hideEvent(QHideEvent* event) {
    if (toggle_) {
        toggle_->setChecked(false);
    }
    QWidget::hideEvent(event);
}

void PropertiesPanel::edit(const std::function<void(Form1&)>& action) {
    if (following_ || dispatcher_.busy()) {
        return;
    }
    note_->clear();
    dispatcher_.dispatch([this, &action] {
        if (Form1* form = program_.form1()) {
            action(*form);
        }
    });
    // What was typed gives way to what the model took.
    if (const Form1* form = program_.form1()) {
        show_all(*form);
    }
}

void PropertiesPanel::edit_picture_side(assist::Side side, int value) {
    assist::Typed typed;
    edit([&typed, side, value](Form1& form) {
        if (const auto n = assist::selected_picture(form)) {
            typed = assist::set_picture_place(form, *n, side == assist::Side::X, value);
        }
    });
    note_->setText(QString::fromStdString(typed.note));
}

void PropertiesPanel::edit_hotspot_side(assist::Side side, int value) {
    assist::Typed typed;
    edit([&typed, side, value](Form1& form) {
        if (const auto k = assist::selected_hotspot(form)) {
            typed = assist::set_hotspot_side(form, *k, side, value);
        }
    });
    note_->setText(QString::fromStdString(typed.note));
}

void PropertiesPanel::follow(const Form1& form) {
    // While the status dialog stands in for the main window, the panel is away too.
    if (main_ && !main_->isVisible() && isVisible()) {
        away_with_main_ = true;
        hide();
    } else if (main_ && main_->isVisible() && away_with_main_) {
        away_with_main_ = false;
        setAttribute(Qt::WA_ShowWithoutActivating); // the main window keeps the keyboard
        show();
        setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
    if (!isVisible()) {
        stale_ = true; // brought up to date when it shows: a hidden panel costs a step nothing
        return;
    }
    std::optional<assist::PictureProperties> picture;
    if (const auto n = assist::selected_picture(form)) {
        picture = assist::picture_properties(form, *n);
    }
    std::optional<std::pair<int, assist::LcdNumbers>> hotspot;
    if (const auto k = assist::selected_hotspot(form)) {
        hotspot.emplace(*k, assist::line_numbers(form.lbl(*k)));
    }
    if (picture != picture_ || hotspot != hotspot_) {
        if ((picture ? picture->slot : 0) != (picture_ ? picture_->slot : 0) ||
            (hotspot ? hotspot->first : 0) != (hotspot_ ? hotspot_->first : 0)) {
            note_->clear(); // said of what is no longer selected
        }
        show_all(form);
    }
}

void PropertiesPanel::show_all(const Form1& form) {
    following_ = true;
    picture_.reset();
    if (const auto n = assist::selected_picture(form)) {
        picture_ = assist::picture_properties(form, *n);
    }
    picture_box_->setEnabled(picture_.has_value());
    if (picture_) {
        // A picture read from a design written by hand may have no tag.
        const QString tag = qs(form.Image(picture_->slot).tag);
        picture_box_->setTitle(
            tag.isEmpty() ? QStringLiteral("Picture %1").arg(picture_->slot)
                          : QStringLiteral("Picture %1 (%2)").arg(picture_->slot).arg(tag));
        set_value(picture_xy_[0], picture_->numbers.x);
        set_value(picture_xy_[1], picture_->numbers.y);
        status_->setCurrentIndex(picture_->status.value_or(-1));
        mode_->setCurrentIndex(picture_->mode.value_or(-1));
        if (!name_->hasFocus() || !name_->isModified()) {
            name_->setText(QString::fromStdString(picture_->name));
            name_->setModified(false);
        }
        name_note_->setText(QString::fromStdString(picture_->name_problem));
    } else {
        picture_box_->setTitle(QStringLiteral("No picture selected"));
        for (QSpinBox* box : picture_xy_) {
            set_value(box, kNothing);
        }
        status_->setCurrentIndex(-1);
        mode_->setCurrentIndex(-1);
        name_->clear();
        name_note_->clear();
    }
    hotspot_.reset();
    if (const auto k = assist::selected_hotspot(form)) {
        hotspot_.emplace(*k, assist::line_numbers(form.lbl(*k)));
    }
    hotspot_box_->setEnabled(hotspot_.has_value());
    if (hotspot_) {
        hotspot_box_->setTitle(QStringLiteral("Hotspot %1 in the code")
                                   .arg(assist::hotspot_code_number(form, hotspot_->first)));
        for (std::size_t k = 0; k < kSides.size(); ++k) {
            set_value(hotspot_sides_[k], assist::side_of(hotspot_->second, kSides[k]));
        }
    } else {
        hotspot_box_->setTitle(QStringLiteral("No hotspot selected"));
        for (QSpinBox* box : hotspot_sides_) {
            set_value(box, kNothing);
        }
    }
    following_ = false;
}

} // namespace padscreen_qt
