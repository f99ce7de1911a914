// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "toolkit/aggregate.h"
#include "form1.h"

#include <cstddef>
#include <tuple>
#include <type_traits>

// The names a design file gives the fields of the design state: one table per
// aggregate, read and written by the same code. A field added to an aggregate
// and not named here fails the build.
namespace document {

template <class T, class M> struct Field {
    const char* key;
    M T::*member;
};

template <class T> struct FieldsOf;

template <> struct FieldsOf<tk::Placement> {
    using P = tk::Placement;
    static constexpr auto table =
        std::tuple{Field<P, float>{"left", &P::left},      Field<P, float>{"top", &P::top},
                   Field<P, float>{"width", &P::width},    Field<P, float>{"height", &P::height},
                   Field<P, bool>{"visible", &P::visible}, Field<P, bool>{"enabled", &P::enabled}};
};
template <> struct FieldsOf<tk::ImageState> {
    using S = tk::ImageState;
    static constexpr auto table = std::tuple{Field<S, tk::PicturePtr>{"picture", &S::picture},
                                             Field<S, std::string>{"tag", &S::tag},
                                             Field<S, std::int16_t>{"drag_mode", &S::drag_mode}};
};
template <> struct FieldsOf<tk::LabelState> {
    using S = tk::LabelState;
    static constexpr auto table = std::tuple{Field<S, std::string>{"caption", &S::caption},
                                             Field<S, tk::Color>{"back_color", &S::back_color},
                                             Field<S, bool>{"word_wrap", &S::word_wrap},
                                             Field<S, std::size_t>{"elide_from", &S::elide_from}};
};
template <> struct FieldsOf<tk::LineState> {
    using S = tk::LineState;
    static constexpr auto table = std::tuple{
        Field<S, float>{"x1", &S::x1}, Field<S, float>{"y1", &S::y1}, Field<S, float>{"x2", &S::x2},
        Field<S, float>{"y2", &S::y2}, Field<S, tk::Color>{"border_color", &S::border_color}};
};
template <> struct FieldsOf<tk::TextBoxState> {
    using S = tk::TextBoxState;
    static constexpr auto table = std::tuple{
        Field<S, std::string>{"text", &S::text}, Field<S, bool>{"multi_line", &S::multi_line},
        Field<S, bool>{"vertical_scroll_bar", &S::vertical_scroll_bar}};
};
template <> struct FieldsOf<tk::ComboBoxState> {
    using S = tk::ComboBoxState;
    static constexpr auto table =
        std::tuple{Field<S, std::vector<std::string>>{"items", &S::items}};
};
template <> struct FieldsOf<tk::ButtonState> {
    using S = tk::ButtonState;
    static constexpr auto table = std::tuple{Field<S, std::string>{"caption", &S::caption}};
};
template <> struct FieldsOf<tk::OptionButtonState> {
    using S = tk::OptionButtonState;
    static constexpr auto table = std::tuple{Field<S, std::string>{"caption", &S::caption},
                                             Field<S, bool>{"chosen", &S::chosen}};
};
template <> struct FieldsOf<tk::FrameState> {
    using S = tk::FrameState;
    static constexpr auto table = std::tuple{Field<S, std::string>{"caption", &S::caption}};
};
template <> struct FieldsOf<tk::PictureBoxState> {
    using S = tk::PictureBoxState;
    static constexpr auto table = std::tuple{Field<S, tk::PicturePtr>{"picture", &S::picture}};
};
template <> struct FieldsOf<DesignVariables> {
    using S = DesignVariables;
    using Slots9 = std::array<Variant, S::kSlots - 1>;
    static constexpr auto table =
        std::tuple{Field<S, Variant>{"hs", &S::hs},
                   Field<S, Variant>{"hsi", &S::hsi},
                   Field<S, Variant>{"intPic", &S::intPic},
                   Field<S, Slots9>{"status_1_to_9", &S::status_1_to_9},
                   Field<S, Slots9>{"mode_1_to_9", &S::mode_1_to_9},
                   Field<S, std::int16_t>{"status_10", &S::status_10},
                   Field<S, std::int16_t>{"mode_10", &S::mode_10},
                   Field<S, std::array<Variant, S::kSlots>>{"file_names", &S::file_names}};
};

template <class T> constexpr const auto& fields_of() {
    static_assert(tk::field_count<T>() == std::tuple_size_v<decltype(FieldsOf<T>::table)>,
                  "a field of the design state has no name in the design file");
    return FieldsOf<T>::table;
}

} // namespace document
