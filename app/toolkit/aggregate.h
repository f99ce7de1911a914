// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>

namespace tk {

namespace detail {
// Converts to any field's type: counts an aggregate's fields by initialising it.
struct AnyField {
    template <class U> operator U() const; // NOLINT(google-explicit-constructor)
};
} // namespace detail

// How many fields an aggregate of the state has, so that whoever names them one by
// one (a file format, a test) learns of a field added later.
template <class T, class... A> constexpr std::size_t field_count() {
    if constexpr (requires { T{A{}..., detail::AnyField{}}; }) {
        return field_count<T, A..., detail::AnyField>();
    } else {
        return sizeof...(A);
    }
}

} // namespace tk
