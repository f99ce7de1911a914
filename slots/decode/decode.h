#pragma once

#include "toolkit/picture.h"

#include <cstddef>
#include <string>

// Turns the bytes of a picture file into pixels. Runs inside the padscreen-decode
// helper process only: the decoders behind it are not trusted with the program's memory.
namespace picture_decode {

// The most pixel bytes (width * height * 4) a picture may have.
inline constexpr std::size_t max_pixel_bytes = std::size_t{128} << 20;
// Larger files are refused before they are read.
inline constexpr std::size_t max_file_bytes = std::size_t{256} << 20;

struct DecodeResult {
    bool ok = false;
    std::string error; // set when !ok
    tk::Picture picture;
};

// The format is decided by the content alone; the path's extension plays no part.
DecodeResult decode_file(const std::string& path);
DecodeResult decode_bytes(const std::byte* data, std::size_t size);

} // namespace picture_decode
