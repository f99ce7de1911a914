// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "decode_limits.h"
#include "toolkit/picture.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Turns the bytes of a picture file into pixels. Runs inside the padscreen-decode
// helper process only: the decoders behind it are not trusted with the program's memory.
namespace picture_decode {

// Gives the buffer of width * height words that the decoder fills with 0xAARRGGBB pixels
// (non-premultiplied), or nullptr when there is no room. Asked once, with the final size.
using PixelSink = std::function<std::uint32_t*(int width, int height)>;

// What kind of failure a decode ended in, for the program to tell the user.
// takes_decoding: measured from its header only, its size needs the picture decoded.
enum class Refusal {
    unreadable,
    not_a_picture,
    too_large,
    out_of_memory,
    needs_fonts,
    takes_decoding
};

struct Decoded {
    bool ok = false;
    std::string error; // set when !ok
    int width = 0;
    int height = 0;
    Refusal refusal = Refusal::unreadable;
};

// Opens everything decoding may need from the file system (plugins, fonts), so that
// decoding itself needs none. Needs a QGuiApplication. Without fonts a QCoreApplication
// will do: then metafiles are only measured from their headers, and a picture that would
// have to be drawn for that is refused as needs_fonts.
void prepare_decoders(bool with_fonts = true);

// The folders decoding may still read from after set-up: those of the fonts.
std::vector<std::string> readable_folders();

// The format is decided by the content alone; the path's extension plays no part.
// Pictures of more than max_bytes pixel bytes are refused before anything is allocated.
Decoded decode_into(const std::byte* data, std::size_t size, std::size_t max_bytes,
                    const PixelSink& sink);

// decode_into's checks and the size, without pixels: read from the header wherever the
// format has one that decoding holds to, else from as much decoding as the size takes;
// header_only: never decoding, refused as takes_decoding then.
Decoded measure(const std::byte* data, std::size_t size, std::size_t max_bytes,
                bool header_only = false);

struct DecodeResult {
    bool ok = false;
    std::string error; // set when !ok
    Refusal refusal = Refusal::unreadable;
    tk::Picture picture;
};

// decode_into a picture of its own, within max_pixel_bytes.
DecodeResult decode_bytes(const std::byte* data, std::size_t size);

} // namespace picture_decode
