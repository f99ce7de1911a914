// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Picture sizes read from headers by our own code, without Qt or a decoder library: what
// padscreen-measure answers, and the metafile headers padscreen-decode reads as well.
namespace picture_decode {

inline std::uint16_t u16_at(const std::byte* p) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) |
                                      std::to_integer<unsigned>(p[1]) << 8);
}
inline std::uint32_t u32_at(const std::byte* p) {
    return std::uint32_t{u16_at(p)} | std::uint32_t{u16_at(p + 2)} << 16;
}
inline std::int16_t s16_at(const std::byte* p) { return static_cast<std::int16_t>(u16_at(p)); }
inline std::int32_t s32_at(const std::byte* p) { return static_cast<std::int32_t>(u32_at(p)); }

inline constexpr std::size_t emf_header_size = 88;
inline constexpr std::size_t wmf_placeable_size = 22;

bool is_emf(const std::byte* data, std::size_t size);
bool is_placeable_wmf(const std::byte* data, std::size_t size);
bool is_standard_wmf(const std::byte* data, std::size_t size);

struct FrameSize {
    double width = 0;
    double height = 0;
};
// An EMF's frame (rclFrame, hundredths of a millimetre) in pixels at 96 dots per inch.
FrameSize emf_frame(const std::byte* header);
// A placeable WMF's box in pixels at 96 dots per inch; nullopt when it gives no units per inch.
std::optional<FrameSize> placeable_frame(const std::byte* data);

struct PictureSize {
    int width = 0;
    int height = 0;
};

// The size the full decoder's measure would give these first bytes of a picture file, read
// with max_bytes pixel bytes at most; nullopt when only the full decoder can tell (anything
// unusual, cut short, near a limit, or a refusal: those reasons are the full decoder's).
std::optional<PictureSize> header_size(const std::byte* data, std::size_t size,
                                       std::size_t max_bytes);

} // namespace picture_decode
