// SPDX-License-Identifier: GPL-2.0-or-later
#include "header_size.h"

#include "decode_limits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace picture_decode {

namespace {

constexpr std::uint32_t emr_header = 1;
constexpr std::uint32_t emf_signature = 0x464D4520; // " EMF"
constexpr std::uint32_t wmf_placeable_key = 0x9AC6CDD7;

// Metafile frames the full decoder also holds to a longest side.
constexpr double max_metafile_side = 16384;
// Sizes are answered well inside the limits only: near them, the full decoder decides.
constexpr std::uint32_t max_side = 65535;

std::optional<PictureSize> if_well_inside(double width, double height, std::size_t max_bytes) {
    if (width < 1 || height < 1 || width > max_side || height > max_side ||
        width * height * 4 > double(std::min(max_bytes, max_pixel_bytes)) / 2)
        return std::nullopt;
    return PictureSize{int(width), int(height)};
}

std::uint32_t be32_at(const std::byte* p) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | std::to_integer<std::uint32_t>(p[i]);
    return value;
}

std::uint16_t be16_at(const std::byte* p) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) << 8 |
                                      std::to_integer<unsigned>(p[1]));
}

unsigned byte_at(const std::byte* p) { return std::to_integer<unsigned>(*p); }

bool starts_with(const std::byte* data, std::size_t size, std::string_view magic) {
    return size >= magic.size() && std::memcmp(data, magic.data(), magic.size()) == 0;
}

// BITMAPINFOHEADER pictures, uncompressed, bottom-up, with the usual depths.
std::optional<PictureSize> bmp_size(const std::byte* data, std::size_t size,
                                    std::size_t max_bytes) {
    if (size < 54 || u32_at(data + 14) != 40)
        return std::nullopt;
    const std::int32_t width = s32_at(data + 18);
    const std::int32_t height = s32_at(data + 22);
    const unsigned bits = u16_at(data + 28);
    const std::uint32_t colours = u32_at(data + 46);
    if (u16_at(data + 26) != 1 || u32_at(data + 30) != 0 || width <= 0 || height <= 0)
        return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return std::nullopt;
    if (bits > 8 ? colours != 0 : colours > (1U << bits))
        return std::nullopt;
    const std::uint32_t pixels_at = u32_at(data + 10);
    const std::uint32_t palette = bits > 8 ? 0 : 4 * (colours != 0 ? colours : 1U << bits);
    if (pixels_at < 54 + palette || pixels_at > (1U << 20))
        return std::nullopt;
    return if_well_inside(width, height, max_bytes);
}

std::uint32_t crc32(const std::byte* data, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFU;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ byte_at(data + i)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

bool png_depth_fits(unsigned type, unsigned depth) {
    switch (type) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

// Every chunk up to the first IDAT is read before the size is known: all must be whole,
// with right checksums, and of kinds whose faults are never fatal.
std::optional<PictureSize> png_size(const std::byte* data, std::size_t size,
                                    std::size_t max_bytes) {
    if (size < 33 || be32_at(data + 8) != 13 || !starts_with(data + 12, 4, "IHDR"))
        return std::nullopt;
    const std::byte* ihdr = data + 16;
    const std::uint32_t width = be32_at(ihdr);
    const std::uint32_t height = be32_at(ihdr + 4);
    const unsigned depth = byte_at(ihdr + 8);
    const unsigned type = byte_at(ihdr + 9);
    if (!png_depth_fits(type, depth) || byte_at(ihdr + 10) != 0 || byte_at(ihdr + 11) != 0 ||
        byte_at(ihdr + 12) > 1 || width > max_side || height > max_side)
        return std::nullopt;
    constexpr std::string_view harmless[] = {"gAMA", "sRGB", "pHYs", "tIME", "tEXt",
                                             "cHRM", "bKGD", "tRNS", "iTXt", "zTXt"};
    bool palette = false;
    for (std::size_t pos = 8;;) {
        if (size - pos < 12)
            return std::nullopt;
        const std::uint32_t length = be32_at(data + pos);
        if (length > size - pos - 12 ||
            be32_at(data + pos + 8 + length) != crc32(data + pos + 4, std::size_t{length} + 4))
            return std::nullopt;
        const std::string_view name(reinterpret_cast<const char*>(data + pos + 4), 4);
        if (name == "IDAT")
            break;
        if (pos == 8) {
            // IHDR, checked above.
        } else if (name == "PLTE") {
            if (type != 3 || palette || length == 0 || length % 3 != 0 ||
                length / 3 > (1U << depth))
                return std::nullopt;
            palette = true;
        } else if (std::find(std::begin(harmless), std::end(harmless), name) ==
                   std::end(harmless)) {
            return std::nullopt;
        }
        pos += 12 + std::size_t{length};
    }
    if (type == 3 && !palette)
        return std::nullopt;
    return if_well_inside(width, height, max_bytes);
}

// A GIF whose first image fills its screen exactly.
std::optional<PictureSize> gif_size(const std::byte* data, std::size_t size,
                                    std::size_t max_bytes) {
    if (size < 13)
        return std::nullopt;
    const unsigned width = u16_at(data + 6);
    const unsigned height = u16_at(data + 8);
    const auto table = [](const std::byte* flags) {
        return byte_at(flags) & 0x80 ? std::size_t{3} << ((byte_at(flags) & 7) + 1) : 0;
    };
    std::size_t pos = 13 + table(data + 10);
    while (pos < size && byte_at(data + pos) == 0x21) {
        pos += 2;
        // The extension's sub-blocks.
        for (;;) {
            if (pos >= size)
                return std::nullopt;
            const std::size_t length = byte_at(data + pos);
            pos += 1 + length;
            if (length == 0)
                break;
        }
    }
    if (pos >= size || size - pos < 10 || byte_at(data + pos) != 0x2C)
        return std::nullopt;
    if (u16_at(data + pos + 1) != 0 || u16_at(data + pos + 3) != 0 ||
        u16_at(data + pos + 5) != width || u16_at(data + pos + 7) != height)
        return std::nullopt;
    return if_well_inside(width, height, max_bytes);
}

// Baseline, extended or progressive JPEGs of 8-bit samples, one or three components; every
// segment before the first scan must be whole and of a kind the decoder reads as we do.
std::optional<PictureSize> jpeg_size(const std::byte* data, std::size_t size,
                                     std::size_t max_bytes) {
    unsigned width = 0;
    unsigned height = 0;
    std::array<unsigned, 3> ids{};
    unsigned components = 0;
    for (std::size_t pos = 2;;) {
        if (size - pos < 4 || byte_at(data + pos) != 0xFF)
            return std::nullopt;
        const unsigned marker = byte_at(data + pos + 1);
        const std::size_t length = be16_at(data + pos + 2);
        if (length < 2 || length > size - pos - 2)
            return std::nullopt;
        const std::byte* body = data + pos + 4;
        const std::size_t left = length - 2;
        if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
            // Application data and comments.
        } else if (marker == 0xDB) {
            for (std::size_t at = 0; at < left;) {
                const unsigned table = byte_at(body + at);
                const std::size_t bytes = table >> 4 == 0 ? 65 : 129;
                if (table >> 4 > 1 || (table & 15) > 3 || bytes > left - at)
                    return std::nullopt;
                at += bytes;
            }
        } else if (marker == 0xC4) {
            for (std::size_t at = 0; at < left;) {
                if (left - at < 17)
                    return std::nullopt;
                const unsigned table = byte_at(body + at);
                std::size_t count = 0;
                for (int i = 1; i <= 16; ++i)
                    count += byte_at(body + at + i);
                if ((table & 0xEF) > 3 || count > 256 || 17 + count > left - at)
                    return std::nullopt;
                at += 17 + count;
            }
        } else if (marker == 0xDD) {
            if (left != 2)
                return std::nullopt;
        } else if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            if (components != 0 || left < 6 || byte_at(body) != 8)
                return std::nullopt;
            height = be16_at(body + 1);
            width = be16_at(body + 3);
            components = byte_at(body + 5);
            if ((components != 1 && components != 3) || left != 6 + 3 * components)
                return std::nullopt;
            for (unsigned c = 0; c < components; ++c) {
                const std::byte* part = body + 6 + std::size_t{3} * c;
                ids[c] = byte_at(part);
                const unsigned h = byte_at(part + 1) >> 4;
                const unsigned v = byte_at(part + 1) & 15;
                if (h < 1 || h > 4 || v < 1 || v > 4 || byte_at(part + 2) > 3 ||
                    std::count(ids.begin(), ids.begin() + c, ids[c]) != 0)
                    return std::nullopt;
            }
        } else if (marker == 0xDA) {
            if (components == 0 || left < 1)
                return std::nullopt;
            const unsigned in_scan = byte_at(body);
            if (in_scan < 1 || in_scan > components || left != 4 + 2 * in_scan)
                return std::nullopt;
            std::array<unsigned, 3> seen{};
            for (unsigned c = 0; c < in_scan; ++c) {
                seen[c] = byte_at(body + 1 + std::size_t{2} * c);
                if (std::count(ids.begin(), ids.begin() + components, seen[c]) != 1 ||
                    std::count(seen.begin(), seen.begin() + c, seen[c]) != 0)
                    return std::nullopt;
            }
            if (width > 65500 || height > 65500)
                return std::nullopt;
            return if_well_inside(width, height, max_bytes);
        } else {
            return std::nullopt;
        }
        pos += 2 + length;
    }
}

} // namespace

bool is_emf(const std::byte* data, std::size_t size) {
    return size >= emf_header_size && u32_at(data) == emr_header &&
           u32_at(data + 40) == emf_signature;
}

bool is_placeable_wmf(const std::byte* data, std::size_t size) {
    return size >= wmf_placeable_size && u32_at(data) == wmf_placeable_key;
}

bool is_standard_wmf(const std::byte* data, std::size_t size) {
    if (size < 18)
        return false;
    const std::uint16_t type = u16_at(data);
    const std::uint16_t version = u16_at(data + 4);
    return (type == 1 || type == 2) && u16_at(data + 2) == 9 &&
           (version == 0x0100 || version == 0x0300);
}

FrameSize emf_frame(const std::byte* header) {
    const double frame_w = std::abs(double(s32_at(header + 32)) - s32_at(header + 24));
    const double frame_h = std::abs(double(s32_at(header + 36)) - s32_at(header + 28));
    return {std::round(frame_w / 100 / 25.4 * 96), std::round(frame_h / 100 / 25.4 * 96)};
}

std::optional<FrameSize> placeable_frame(const std::byte* data) {
    // The placeable header gives its box in units, and how many units make an inch.
    const double inch = u16_at(data + 14);
    if (inch == 0)
        return std::nullopt;
    return FrameSize{
        std::round(std::abs(double(s16_at(data + 10)) - s16_at(data + 6)) / inch * 96),
        std::round(std::abs(double(s16_at(data + 12)) - s16_at(data + 8)) / inch * 96)};
}

std::optional<PictureSize> header_size(const std::byte* data, std::size_t size,
                                       std::size_t max_bytes) {
    if (!data || size == 0 || size > max_file_bytes)
        return std::nullopt;
    const auto metafile = [max_bytes](FrameSize frame) -> std::optional<PictureSize> {
        if (frame.width > max_metafile_side || frame.height > max_metafile_side)
            return std::nullopt;
        return if_well_inside(frame.width, frame.height, max_bytes);
    };
    if (is_emf(data, size))
        return metafile(emf_frame(data));
    if (is_placeable_wmf(data, size)) {
        const std::byte* header = data + wmf_placeable_size;
        const std::optional<FrameSize> frame = placeable_frame(data);
        if (!frame || !is_standard_wmf(header, size - wmf_placeable_size) ||
            std::uint64_t{u32_at(header + 12)} * 2 > size)
            return std::nullopt;
        return metafile(*frame);
    }
    if (is_standard_wmf(data, size))
        return std::nullopt; // its size is the extent of what it draws
    if (starts_with(data, size, "BM"))
        return bmp_size(data, size, max_bytes);
    if (starts_with(data, size, "GIF87a") || starts_with(data, size, "GIF89a"))
        return gif_size(data, size, max_bytes);
    if (starts_with(data, size, "\xFF\xD8\xFF"))
        return jpeg_size(data, size, max_bytes);
    if (starts_with(data, size, "\x89PNG\r\n\x1A\n"))
        return png_size(data, size, max_bytes);
    return std::nullopt; // icons, and whatever is not a picture
}

} // namespace picture_decode
