// SPDX-License-Identifier: GPL-2.0-or-later
#include "sample_pictures.h"

#include <QBuffer>

#include <algorithm>

namespace sample_pictures {
namespace {

// One GIF image of a single colour index. Each pair of pixels is preceded by a clear code,
// so the 3-bit LZW codes never grow.
QByteArray gif_image(int width, int height, int index) {
    QByteArray out;
    out.append(char(0x2C));
    put16(out, 0);
    put16(out, 0);
    put16(out, unsigned(width));
    put16(out, unsigned(height));
    out.append(char(0));
    out.append(char(2)); // LZW minimum code size
    QByteArray codes;
    std::uint32_t bits = 0;
    int bit_count = 0;
    auto put_code = [&](unsigned code) {
        bits |= code << bit_count;
        bit_count += 3;
        while (bit_count >= 8) {
            codes.append(char(bits & 0xFF));
            bits >>= 8;
            bit_count -= 8;
        }
    };
    const long long pixels = (long long)width * height;
    for (long long i = 0; i < pixels; ++i) {
        if (i % 2 == 0)
            put_code(4);
        put_code(unsigned(index));
    }
    put_code(5);
    if (bit_count > 0)
        codes.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        out.append(char(block.size())).append(block);
    }
    out.append(char(0));
    return out;
}

} // namespace

void put16(QByteArray& out, unsigned value) {
    out.append(char(value & 0xFF));
    out.append(char(value >> 8 & 0xFF));
}

void put32(QByteArray& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void set16(QByteArray& out, int at, unsigned value) {
    out[at] = char(value & 0xFF);
    out[at + 1] = char(value >> 8 & 0xFF);
}

QImage solid(int width, int height, QRgb color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        return {};
    return bytes;
}

QByteArray bmp(int width, int height, QRgb color, bool with_pixels) {
    const int row = (width * 3 + 3) / 4 * 4;
    const std::uint32_t data_size = with_pixels ? std::uint32_t(row) * std::uint32_t(height) : 0;
    QByteArray out("BM");
    put32(out, 54 + data_size);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, data_size);
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (std::uint32_t i = 0; with_pixels && i < std::uint32_t(height); ++i) {
        for (int x = 0; x < width; ++x)
            out.append(char(qBlue(color))).append(char(qGreen(color))).append(char(qRed(color)));
        out.append(QByteArray(row - width * 3, '\0'));
    }
    return out;
}

QByteArray gif(int width, int height, std::initializer_list<int> frames) {
    QByteArray out("GIF89a");
    put16(out, unsigned(width));
    put16(out, unsigned(height));
    out.append(char(0x81)).append(char(0)).append(char(0));
    out.append(QByteArray::fromHex("ff00000000ff00ff00000000"));
    for (int index : frames)
        out.append(gif_image(width, height, index));
    out.append(char(0x3B));
    return out;
}

QByteArray icon_bitmap(int size, QRgb color) {
    const int mask_row = (size + 31) / 32 * 4;
    QByteArray out;
    put32(out, 40);
    put32(out, std::uint32_t(size));
    put32(out, std::uint32_t(size * 2));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, std::uint32_t(size * size * 4 + size * mask_row));
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (int i = 0; i < size * size; ++i)
        put32(out, color);
    out.append(QByteArray(qsizetype(size) * mask_row, '\0'));
    return out;
}

QByteArray icon_file(std::initializer_list<IconEntry> entries, int type) {
    QByteArray out;
    put16(out, 0);
    put16(out, unsigned(type));
    put16(out, unsigned(entries.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(entries.size());
    for (const IconEntry& entry : entries) {
        out.append(char(entry.size & 0xFF)).append(char(entry.size & 0xFF));
        out.append(char(0)).append(char(0));
        put16(out, type == 2 ? 3 : 1);
        put16(out, type == 2 ? 5 : 32);
        put32(out, std::uint32_t(entry.data.size()));
        put32(out, offset);
        offset += std::uint32_t(entry.data.size());
    }
    for (const IconEntry& entry : entries)
        out.append(entry.data);
    return out;
}

QByteArray emf_record(std::uint32_t type, const QByteArray& payload) {
    QByteArray out;
    put32(out, type);
    put32(out, std::uint32_t(8 + payload.size()));
    return out + payload;
}

QByteArray emf_record(std::uint32_t type, std::initializer_list<std::int32_t> params) {
    QByteArray payload;
    for (std::int32_t p : params)
        put32(payload, std::uint32_t(p));
    return emf_record(type, payload);
}

QByteArray emf_file(std::int32_t frame_right, std::int32_t frame_bottom, const QByteArray& body,
                    std::uint32_t records) {
    const QByteArray end = emf_record(14, {0, 16, 20}); // EOF
    QByteArray out;
    put32(out, 1);
    put32(out, 88);
    for (std::int32_t v : {0, 0, 95, 47, 0, 0, frame_right, frame_bottom})
        put32(out, std::uint32_t(v));
    put32(out, 0x464D4520);
    put32(out, 0x10000);
    put32(out, std::uint32_t(88 + body.size() + end.size()));
    put32(out, records + 2);
    put16(out, 2);
    put16(out, 0);
    for (std::uint32_t v : {0u, 0u, 0u, 960u, 960u, 254u, 254u})
        put32(out, v);
    return out + body + end;
}

QByteArray emf(std::int32_t frame_right, std::int32_t frame_bottom) {
    QByteArray body;
    body.append(emf_record(39, {1, 0, 0x000000FF, 0})); // CREATEBRUSHINDIRECT, red
    body.append(emf_record(37, {1}));                   // SELECTOBJECT
    body.append(emf_record(43, {10, 10, 86, 38}));      // RECTANGLE
    return emf_file(frame_right, frame_bottom, body, 3);
}

QByteArray wmf_record(unsigned function, std::initializer_list<int> params) {
    QByteArray out;
    put32(out, std::uint32_t(3 + params.size()));
    put16(out, function);
    for (int p : params)
        put16(out, unsigned(p) & 0xFFFF);
    return out;
}

namespace {

// Header and placeable box of a WMF around its records (which end with EOF).
QByteArray wmf_around(const QByteArray& records, int extent_x, int extent_y, int units_per_inch,
                      bool placeable) {
    std::uint32_t longest = 0; // in words, as the header counts it
    for (qsizetype at = 0; at + 4 <= records.size();) {
        std::uint32_t words = 0;
        for (int i = 3; i >= 0; --i)
            words = words << 8 | std::uint8_t(records[at + i]);
        longest = std::max(longest, words);
        at += qsizetype(words) * 2;
    }
    QByteArray out;
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, std::uint32_t((18 + records.size()) / 2));
    put16(out, 1);
    put32(out, longest);
    put16(out, 0);
    out.append(records);
    if (!placeable)
        return out;
    QByteArray header;
    put32(header, 0x9AC6CDD7);
    for (int v : {0, 0, 0, extent_x, extent_y, units_per_inch, 0, 0})
        put16(header, unsigned(v) & 0xFFFF);
    unsigned checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= std::uint8_t(header[i]) | std::uint8_t(header[i + 1]) << 8;
    put16(header, checksum);
    return header + out;
}

} // namespace

QByteArray wmf_record_bytes(unsigned function, QByteArray params) {
    if (params.size() % 2)
        params.append('\0');
    QByteArray out;
    put32(out, std::uint32_t(3 + params.size() / 2));
    put16(out, function);
    return out + params;
}

QByteArray wmf_drawing(const QByteArray& body) {
    QByteArray records;
    records.append(wmf_record(0x020B, {0, 0}));     // SETWINDOWORG
    records.append(wmf_record(0x020C, {100, 400})); // SETWINDOWEXT
    records.append(body);
    records.append(wmf_record(0x0000, {})); // EOF
    return wmf_around(records, 400, 100, 96, true);
}

QByteArray wmf_text(const char* face, const char* text, const QByteArray& before, int y) {
    QByteArray records;
    QByteArray font;                                // LOGFONT
    for (int v : {-40, 0, 0, 0, 400})               // height (em), width, angles, weight
        put16(font, unsigned(v) & 0xFFFF);
    font.append(8, '\0'); // italic, underline, strike-out, charset, precision, quality, pitch
    font.append(QByteArray(face).leftJustified(32, '\0', true));
    records.append(wmf_record_bytes(0x02FB, font)); // CREATEFONTINDIRECT
    records.append(wmf_record(0x012D, {0}));        // SELECTOBJECT
    records.append(before);
    QByteArray string;
    put16(string, unsigned(qstrlen(text)));
    string.append(text);
    if (string.size() % 2)
        string.append('\0');
    put16(string, unsigned(y)); // y, then x
    put16(string, 10);
    records.append(wmf_record_bytes(0x0521, string)); // TEXTOUT
    return wmf_drawing(records);
}

QByteArray wmf(int extent_x, int extent_y, bool placeable) {
    QByteArray records;
    records.append(wmf_record(0x020B, {0, 0}));                 // SETWINDOWORG
    records.append(wmf_record(0x020C, {extent_y, extent_x}));   // SETWINDOWEXT
    records.append(wmf_record(0x02FC, {0, 0x00FF, 0x0000, 0})); // CREATEBRUSHINDIRECT, red
    records.append(wmf_record(0x012D, {0}));                    // SELECTOBJECT
    records.append(wmf_record(
        0x041B, {extent_y * 3 / 4, extent_x * 3 / 4, extent_y / 4, extent_x / 4})); // RECTANGLE
    records.append(wmf_record(0x0000, {}));                                         // EOF
    return wmf_around(records, extent_x, extent_y, 1440, placeable);
}

} // namespace sample_pictures
