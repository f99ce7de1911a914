// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the fuzzers' seed corpus: small real files of every family, one folder each.
//   make_seeds <dir>  ->  <dir>/qt/*, <dir>/wmf/*, <dir>/emf/*

#include "sample_pictures.h"

#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace sample_pictures;

QByteArray words(std::initializer_list<std::int32_t> values) {
    QByteArray out;
    for (std::int32_t v : values)
        put32(out, std::uint32_t(v));
    return out;
}

// EXTTEXTOUTW with its text and advances inside the record.
QByteArray emf_text(const char16_t* text, int length) {
    const std::int32_t string_at = 76;
    const std::int32_t dx_at = string_at + (length * 2 + 3) / 4 * 4;
    QByteArray payload =
        words({0, 0, 200, 40, 1, 0, 0, 10, 30, length, string_at, 0, 0, 0, 200, 40, dx_at});
    QByteArray chars;
    for (int i = 0; i < length; ++i)
        put16(chars, text[i]);
    chars.resize(dx_at - string_at, '\0');
    payload.append(chars);
    for (int i = 0; i < length; ++i)
        put32(payload, 8);
    return emf_record(84, payload);
}

// STRETCHDIBITS of a 2 x 2 24-bit bitmap.
QByteArray emf_bitmap() {
    QByteArray info = words({40, 2, 2});
    put16(info, 1);
    put16(info, 24);
    info.append(words({0, 16, 0, 0, 0, 0}));
    const QByteArray bits = QByteArray::fromHex("0000ff00ff000000ff0000ffffff0000"); // rows of 8
    const QByteArray payload = words({0, 0, 40, 40, 0, 0, 0, 0, 2, 2, 80, 40, 120,
                                      std::int32_t(bits.size()), 0, 0x00CC0020, 40, 40});
    return emf_record(81, payload + info + bits);
}

QByteArray emf_polyline() {
    QByteArray payload = words({0, 0, 90, 40, 4});
    for (int v : {0, 0, 90, 0, 90, 40, 0, 40})
        put16(payload, unsigned(v) & 0xFFFF);
    return emf_record(87, payload);
}

QByteArray emf_path() {
    QByteArray body;
    body.append(emf_record(59, {}));                    // BEGINPATH
    body.append(emf_record(27, {5, 5}));                // MOVETOEX
    body.append(emf_record(54, {80, 5}));               // LINETO
    body.append(emf_record(54, {40, 45}));              // LINETO
    body.append(emf_record(61, {}));                    // CLOSEFIGURE
    body.append(emf_record(60, {}));                    // ENDPATH
    body.append(emf_record(39, {1, 0, 0x0000FF00, 0})); // CREATEBRUSHINDIRECT, green
    body.append(emf_record(37, {1}));                   // SELECTOBJECT
    body.append(emf_record(62, {0, 0, 90, 50}));        // FILLPATH
    return body;
}

QByteArray wmf_text() {
    QByteArray records;
    records.append(wmf_record(0x020B, {0, 0}));
    records.append(wmf_record(0x020C, {100, 200}));
    records.append(wmf_record(0x0521, {2, 0x6968, 20, 10}));           // TEXTOUT "hi"
    records.append(wmf_record(0x0324, {3, 10, 10, 190, 10, 100, 90})); // POLYGON
    records.append(wmf_record(0x0325, {3, 10, 90, 100, 10, 190, 90})); // POLYLINE
    records.append(wmf_record(0x0000, {}));
    QByteArray out;
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, std::uint32_t((18 + records.size()) / 2));
    put16(out, 0);
    put32(out, 10);
    put16(out, 0);
    return out + records;
}

struct Seed {
    const char* path;
    QByteArray bytes;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <dir>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage picture = [] {
        QImage image = solid(6, 4, red);
        image.setPixel(1, 1, blue);
        image.setPixel(4, 2, 0x80123456);
        return image;
    }();
    const std::vector<Seed> seeds = {
        {"qt/small.bmp", bmp(7, 4, blue)},
        {"qt/qt.bmp", encoded(picture, "BMP")},
        {"qt/frames.gif", gif(5, 3, {0, 1})},
        {"qt/small.jpg", encoded(picture, "JPEG", 90)},
        {"qt/small.png", encoded(picture, "PNG")},
        {"qt/three.ico", icon_file({{16, icon_bitmap(16, red)}, {32, icon_bitmap(32, green)}})},
        {"qt/png.ico", icon_file({{8, icon_bitmap(8, red)}, {6, encoded(picture, "PNG")}})},
        {"qt/pointer.cur", icon_file({{16, icon_bitmap(16, blue)}}, 2)},
        {"wmf/placeable.wmf", wmf(1440, 720, true)},
        {"wmf/standard.wmf", wmf(200, 100, false)},
        {"wmf/text.wmf", wmf_text()},
        {"emf/rectangle.emf", emf(2540, 1270)},
        {"emf/polyline.emf", emf_file(2540, 1270, emf_polyline(), 1)},
        {"emf/text.emf", emf_file(5080, 1270, emf_text(u"Hello", 5), 1)},
        {"emf/bitmap.emf", emf_file(1270, 1270, emf_bitmap(), 1)},
        {"emf/path.emf", emf_file(2540, 1270, emf_path(), 9)},
    };
    const std::filesystem::path root = argv[1];
    for (const Seed& seed : seeds) {
        const std::filesystem::path path = root / seed.path;
        std::filesystem::create_directories(path.parent_path());
        if (seed.bytes.isEmpty() ||
            !std::ofstream(path, std::ios::binary)
                 .write(seed.bytes.constData(), std::streamsize(seed.bytes.size()))) {
            std::fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
