// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// Small picture files built byte by byte (or encoded by Qt), for the decoder's tests and
// as the fuzzers' seeds.

#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <cstdint>
#include <initializer_list>

namespace sample_pictures {

inline constexpr QRgb red = 0xFFFF0000;
inline constexpr QRgb green = 0xFF00FF00;
inline constexpr QRgb blue = 0xFF0000FF;

// Little-endian writers.
void put16(QByteArray& out, unsigned value);
void put32(QByteArray& out, std::uint32_t value);
void set16(QByteArray& out, int at, unsigned value);

QImage solid(int width, int height, QRgb color);
// The image in one of Qt's writable formats; empty if Qt cannot write it.
QByteArray encoded(const QImage& image, const char* format, int quality = -1);

// A 24-bit BMP; pixel data is left out when the header is all that matters.
QByteArray bmp(int width, int height, QRgb color, bool with_pixels = true);
// A palette of red, blue, green, black; one image per entry of frames (colour indexes).
QByteArray gif(int width, int height, std::initializer_list<int> frames);

// An icon entry as a 32-bit bitmap with its (empty) AND mask.
QByteArray icon_bitmap(int size, QRgb color);
struct IconEntry {
    int size;
    QByteArray data;
};
// type 1 is an icon, 2 a cursor (whose entries carry a hot spot instead of planes/bits).
QByteArray icon_file(std::initializer_list<IconEntry> entries, int type = 1);

QByteArray emf_record(std::uint32_t type, const QByteArray& payload);
QByteArray emf_record(std::uint32_t type, std::initializer_list<std::int32_t> params);
// Header, the given records (count of them in records), EOF. One logical unit is one pixel
// at 96 dpi (reference device 960 px over 254 mm); the frame is in hundredths of a mm.
QByteArray emf_file(std::int32_t frame_right, std::int32_t frame_bottom, const QByteArray& body,
                    std::uint32_t records);
// An EMF filling a red rectangle.
QByteArray emf(std::int32_t frame_right, std::int32_t frame_bottom);

QByteArray wmf_record(unsigned function, std::initializer_list<int> params);
// A record whose parameters are raw bytes (padded to whole words).
QByteArray wmf_record_bytes(unsigned function, QByteArray params);
// A WMF whose window is extent_x by extent_y units, with a red rectangle over its middle
// half. With a placeable header the frame is that window at 1440 units per inch.
QByteArray wmf(int extent_x, int extent_y, bool placeable);
// A placeable WMF of 400 x 100 pixels at 96 units per inch with the records given.
QByteArray wmf_drawing(const QByteArray& records);
// Such a WMF that writes text in the face
// named, 40 pixels high, at (10, y) after the records given.
QByteArray wmf_text(const char* face, const char* text, const QByteArray& before = {},
                    int y = 20);

} // namespace sample_pictures
