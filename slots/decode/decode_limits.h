// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>

namespace picture_decode {

// The most pixel bytes (width * height * 4) one picture may have: room for a 100-megapixel
// photograph. All pictures together are bounded by tk::kPictureBudgetBytes as well.
inline constexpr std::size_t max_pixel_bytes = std::size_t{512} << 20;
// Larger files are refused before they are read.
inline constexpr std::size_t max_file_bytes = std::size_t{256} << 20;

// The helper's exit status tells the program why it gave no picture (stderr goes nowhere).
inline constexpr int exit_unreadable = 1;
inline constexpr int exit_not_a_picture = 2;
inline constexpr int exit_too_large = 3; // more pixel bytes than the request allowed
inline constexpr int exit_out_of_memory = 4;
// Set up without fonts, it cannot read this picture (a metafile that must be drawn).
inline constexpr int exit_needs_fonts = 5;
// Among pictures measured together: its size takes decoding, which it gets in a child of its
// own. Never a child's exit status.
inline constexpr int exit_takes_decoding = 6;

} // namespace picture_decode
