// Real files through the real helper, plus the decoder's own refusals checked in-process.

#include "decode/client.h"
#include "decode/decode.h"
#include "decode_test_support.h"
#include "fakes.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <zlib.h>

namespace {

using decode_test::TempDir;

constexpr QRgb red = 0xFFFF0000;
constexpr QRgb green = 0xFF00FF00;
constexpr QRgb blue = 0xFF0000FF;

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

QByteArray encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, quality)) << format;
    return bytes;
}

QSize size_by_qt(const QByteArray& bytes, bool auto_transform) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(auto_transform);
    return reader.read().size();
}

// ---- Hand-built files -----------------------------------------------------------------

// A 24-bit BMP; pixel data is left out when the header is all that matters.
QByteArray bmp(int width, int height, QRgb color, bool with_pixels = true) {
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

// A palette of red, blue, green, black; one image per entry of frames (colour indexes).
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

// An icon entry as a 32-bit bitmap with its (empty) AND mask.
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
    out.append(QByteArray(size * mask_row, '\0'));
    return out;
}

struct IconEntry {
    int size;
    QByteArray data;
};

// type 1 is an icon, 2 a cursor (whose entries carry a hot spot instead of planes/bits).
QByteArray icon_file(std::initializer_list<IconEntry> entries, int type = 1) {
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

QByteArray emf_record(std::uint32_t type, std::initializer_list<std::int32_t> params) {
    QByteArray out;
    put32(out, type);
    put32(out, std::uint32_t(8 + 4 * params.size()));
    for (std::int32_t p : params)
        put32(out, std::uint32_t(p));
    return out;
}

// An EMF filling a red rectangle; one logical unit is one pixel at 96 dpi
// (reference device 960 px over 254 mm).
QByteArray emf(std::int32_t frame_right, std::int32_t frame_bottom) {
    QByteArray body;
    body.append(emf_record(39, {1, 0, 0x000000FF, 0})); // CREATEBRUSHINDIRECT, red
    body.append(emf_record(37, {1}));                   // SELECTOBJECT
    body.append(emf_record(43, {10, 10, 86, 38}));      // RECTANGLE
    body.append(emf_record(14, {0, 16, 20}));           // EOF
    QByteArray out;
    put32(out, 1);
    put32(out, 88);
    for (std::int32_t v : {0, 0, 95, 47, 0, 0, frame_right, frame_bottom})
        put32(out, std::uint32_t(v));
    put32(out, 0x464D4520);
    put32(out, 0x10000);
    put32(out, std::uint32_t(88 + body.size()));
    put32(out, 5);
    put16(out, 2);
    put16(out, 0);
    for (std::uint32_t v : {0u, 0u, 0u, 960u, 960u, 254u, 254u})
        put32(out, v);
    return out + body;
}

QByteArray wmf_record(unsigned function, std::initializer_list<int> params) {
    QByteArray out;
    put32(out, std::uint32_t(3 + params.size()));
    put16(out, function);
    for (int p : params)
        put16(out, unsigned(p) & 0xFFFF);
    return out;
}

// A WMF whose window is extent_x by extent_y units, with a red rectangle over its middle
// half. With a placeable header the frame is that window at 1440 units per inch.
QByteArray wmf(int extent_x, int extent_y, bool placeable) {
    QByteArray records;
    records.append(wmf_record(0x020B, {0, 0}));                 // SETWINDOWORG
    records.append(wmf_record(0x020C, {extent_y, extent_x}));   // SETWINDOWEXT
    records.append(wmf_record(0x02FC, {0, 0x00FF, 0x0000, 0})); // CREATEBRUSHINDIRECT, red
    records.append(wmf_record(0x012D, {0}));                    // SELECTOBJECT
    records.append(wmf_record(
        0x041B, {extent_y * 3 / 4, extent_x * 3 / 4, extent_y / 4, extent_x / 4})); // RECTANGLE
    records.append(wmf_record(0x0000, {}));                                         // EOF
    QByteArray out;
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, std::uint32_t((18 + records.size()) / 2));
    put16(out, 1);
    put32(out, 7);
    put16(out, 0);
    out.append(records);
    if (!placeable)
        return out;
    QByteArray header;
    put32(header, 0x9AC6CDD7);
    for (int v : {0, 0, 0, extent_x, extent_y, 1440, 0, 0})
        put16(header, unsigned(v) & 0xFFFF);
    unsigned checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= std::uint8_t(header[i]) | std::uint8_t(header[i + 1]) << 8;
    put16(header, checksum);
    return header + out;
}

// A JPEG with an EXIF orientation of 6 (rotate 90 degrees) placed right after SOI.
QByteArray jpeg_with_orientation(const QImage& image) {
    QByteArray exif("Exif", 4);
    exif.append(QByteArray(2, '\0'));
    exif.append("II*", 3).append(char(0));
    put32(exif, 8);
    put16(exif, 1);
    put16(exif, 0x0112);
    put16(exif, 3);
    put32(exif, 1);
    put16(exif, 6);
    put16(exif, 0);
    put32(exif, 0);
    QByteArray segment = QByteArray::fromHex("ffe1");
    segment.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xFF));
    segment.append(exif);
    QByteArray jpeg = encoded(image, "JPEG", 95);
    return jpeg.insert(2, segment);
}

// Rewrites the dimensions in a PNG's IHDR chunk, keeping its CRC right.
QByteArray png_with_size(QByteArray png, std::uint32_t width, std::uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = char(width >> (24 - 8 * i));
        png[20 + i] = char(height >> (24 - 8 * i));
    }
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17);
    for (int i = 0; i < 4; ++i)
        png[29 + i] = char(crc >> (24 - 8 * i));
    return png;
}

// Rewrites the dimensions in a baseline JPEG's SOF0 segment.
QByteArray jpeg_with_size(QByteArray jpeg, unsigned width, unsigned height) {
    const qsizetype sof = jpeg.indexOf(QByteArray::fromHex("ffc0"));
    EXPECT_GT(sof, 0);
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

std::uint32_t pixel(const tk::Picture& picture, int x, int y) {
    return picture.argb[std::size_t(y) * std::size_t(picture.width) + std::size_t(x)];
}

// ---- Through the helper ---------------------------------------------------------------

class HelperLoads : public ::testing::Test {
protected:
    tk::PicturePtr load(const std::string& name, const QByteArray& bytes) {
        return loader.load(dir.write(name, std::string_view(bytes.constData(), bytes.size())));
    }

    TempDir dir;
    picture_decode::HelperPictureLoader loader{PADSCREEN_DECODE_HELPER};
};

#define EXPECT_PICTURE(picture, w, h)                                                              \
    do {                                                                                           \
        ASSERT_NE(picture, nullptr);                                                               \
        EXPECT_EQ(picture->width, w);                                                              \
        EXPECT_EQ(picture->height, h);                                                             \
        ASSERT_EQ(picture->argb.size(), std::size_t(w) * std::size_t(h));                          \
    } while (false)

TEST_F(HelperLoads, PngKeepsEveryPixelAndAlphaUnpremultiplied) {
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb colors[] = {red, green, blue, 0x80FF8000, 0x00000000, 0x40123456};
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, colors[i]);
    const QByteArray png = encoded(image, "PNG");
    // The name's extension plays no part.
    for (const char* name : {"picture.png", "picture.bmp", "picture"}) {
        const auto picture = load(name, png);
        EXPECT_PICTURE(picture, 3, 2);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(picture->argb[std::size_t(i)], colors[i]) << name << " pixel " << i;
    }
}

TEST_F(HelperLoads, DibIsABitmapReadTopRowFirst) {
    QByteArray bitmap = bmp(7, 4, blue);
    // The file's first row is the bottom one: paint it red.
    for (int x = 0; x < 7; ++x)
        bitmap[54 + 3 * x + 2] = char(0xFF), bitmap[54 + 3 * x] = 0;
    const auto picture = load("picture.dib", bitmap);
    EXPECT_PICTURE(picture, 7, 4);
    EXPECT_EQ(pixel(*picture, 0, 0), blue);
    EXPECT_EQ(pixel(*picture, 6, 3), red);
}

TEST_F(HelperLoads, JpegKeepsItsPixelGridDespiteExifOrientation) {
    const QByteArray jpeg = jpeg_with_orientation(solid(40, 20, green));
    ASSERT_EQ(size_by_qt(jpeg, true), QSize(20, 40)) << "the orientation tag is not seen";
    const auto picture = load("photo.jpg", jpeg);
    EXPECT_PICTURE(picture, 40, 20);
    EXPECT_EQ(qGreen(pixel(*picture, 20, 10)), 255);
}

TEST_F(HelperLoads, GifGivesItsFirstFrame) {
    const QByteArray animation = gif(5, 3, {0, 1});
    QBuffer buffer;
    buffer.setData(animation);
    buffer.open(QIODevice::ReadOnly);
    ASSERT_EQ(QImageReader(&buffer).imageCount(), 2);
    const auto picture = load("anim.gif", animation);
    EXPECT_PICTURE(picture, 5, 3);
    EXPECT_EQ(pixel(*picture, 0, 0), red);
    EXPECT_EQ(pixel(*picture, 4, 2), red);
}

TEST_F(HelperLoads, IconPrefersItsThirtyTwoPixelImage) {
    const auto picture = load("three.ico", icon_file({{16, icon_bitmap(16, red)},
                                                      {32, icon_bitmap(32, green)},
                                                      {48, icon_bitmap(48, blue)}}));
    EXPECT_PICTURE(picture, 32, 32);
    EXPECT_EQ(pixel(*picture, 5, 5), green);
}

TEST_F(HelperLoads, IconWithoutThirtyTwoGivesItsLargest) {
    const auto picture =
        load("two.ico", icon_file({{16, icon_bitmap(16, red)}, {48, icon_bitmap(48, blue)}}));
    EXPECT_PICTURE(picture, 48, 48);
    EXPECT_EQ(pixel(*picture, 47, 47), blue);

    // The same with the large image stored as PNG, as newer icons do.
    const auto mixed =
        load("png.ico",
             icon_file({{16, icon_bitmap(16, red)}, {48, encoded(solid(48, 48, green), "PNG")}}));
    EXPECT_PICTURE(mixed, 48, 48);
    EXPECT_EQ(pixel(*mixed, 0, 0), green);
}

TEST_F(HelperLoads, CursorIsReadLikeAnIcon) {
    const auto picture = load("pointer.cur", icon_file({{16, icon_bitmap(16, red)},
                                                        {32, icon_bitmap(32, green)},
                                                        {48, icon_bitmap(48, blue)}},
                                                       2));
    EXPECT_PICTURE(picture, 32, 32);
    EXPECT_EQ(pixel(*picture, 31, 0), green);
}

TEST_F(HelperLoads, EmfIsDrawnAtItsFrameAt96Dpi) {
    // 2540 x 1270 hundredths of a millimetre: 1 x 0.5 inch.
    const auto picture = load("drawing.emf", emf(2540, 1270));
    EXPECT_PICTURE(picture, 96, 48);
    EXPECT_EQ(pixel(*picture, 48, 24), red);
    EXPECT_EQ(pixel(*picture, 2, 2) >> 24, 0u) << "unpainted parts stay transparent";
}

TEST_F(HelperLoads, PlaceableWmfIsDrawnAtItsFrameAt96Dpi) {
    // 1440 x 720 units at 1440 per inch; the rectangle covers the middle half.
    const auto picture = load("drawing.wmf", wmf(1440, 720, true));
    EXPECT_PICTURE(picture, 96, 48);
    EXPECT_EQ(pixel(*picture, 48, 24), red);
    EXPECT_EQ(pixel(*picture, 30, 15), red);
    EXPECT_EQ(pixel(*picture, 10, 5) >> 24, 0u);
    EXPECT_EQ(pixel(*picture, 85, 42) >> 24, 0u);
}

TEST_F(HelperLoads, StandardWmfIsSizedByWhatItDraws) {
    // The rectangle spans 360..1080 x 180..540 units, one pixel each (plus the pen's edge).
    const auto picture = load("drawing.wmf", wmf(1440, 720, false));
    ASSERT_NE(picture, nullptr);
    EXPECT_NEAR(picture->width, 720, 2);
    EXPECT_NEAR(picture->height, 360, 2);
    EXPECT_EQ(pixel(*picture, picture->width / 2, picture->height / 2), red);
}

TEST_F(HelperLoads, NonPicturesFail) {
    EXPECT_EQ(load("empty.png", {}), nullptr);
    EXPECT_EQ(load("notes.bmp", "BMP files start with BM, this is text\n"), nullptr);
    EXPECT_EQ(load("zeros.ico", QByteArray(4096, '\0')), nullptr);
    EXPECT_EQ(loader.load(dir.file("missing.png")), nullptr);
    EXPECT_EQ(loader.load(dir.file("")), nullptr) << "a directory";
}

TEST_F(HelperLoads, TruncatedFilesFail) {
    const QImage image = solid(64, 64, red);
    const QByteArray png = encoded(image, "PNG");
    EXPECT_EQ(load("cut.png", png.left(png.size() - 20)), nullptr);
    const QByteArray bitmap = bmp(64, 64, red);
    EXPECT_EQ(load("cut.bmp", bitmap.left(bitmap.size() / 2)), nullptr);
    const QByteArray animation = gif(64, 64, {0});
    EXPECT_EQ(load("cut.gif", animation.left(40)), nullptr);
    const QByteArray jpeg = encoded(image, "JPEG");
    EXPECT_EQ(load("cut.jpg", jpeg.left(jpeg.indexOf(QByteArray::fromHex("ffc4")))), nullptr)
        << "cut in the headers";
    EXPECT_EQ(load("cut-scan.jpg", jpeg.left(jpeg.size() - 8)), nullptr) << "cut in the scan";
    const QByteArray icon = icon_file({{32, icon_bitmap(32, red)}});
    EXPECT_EQ(load("cut.ico", icon.left(icon.size() / 2)), nullptr);
    EXPECT_EQ(load("cut.emf", emf(2540, 1270).left(60)), nullptr);
    EXPECT_EQ(load("cut.wmf", wmf(1440, 720, true).left(30)), nullptr);
}

TEST_F(HelperLoads, CorruptFilesFail) {
    QByteArray icon = icon_file({{32, icon_bitmap(32, red)}});
    set16(icon, 18, 0xFFFF); // the image's offset now points far past the end
    EXPECT_EQ(load("far.ico", icon), nullptr);
    QByteArray metafile = emf(2540, 1270);
    metafile.truncate(88);
    metafile.append(emf_record(43, {10, 10, 86, 38}));
    set16(metafile, 88 + 4, 0xFFF0); // a record longer than the file
    EXPECT_EQ(load("bad.emf", metafile), nullptr);
    QByteArray png = encoded(solid(8, 8, red), "PNG");
    png[png.indexOf("IDAT") + 6] ^= 0x55;
    EXPECT_EQ(load("bad.png", png), nullptr);
}

TEST_F(HelperLoads, OversizedPicturesFail) {
    EXPECT_EQ(load("bomb.bmp", bmp(30000, 30000, red, false)), nullptr);
    EXPECT_EQ(load("bomb.png", png_with_size(encoded(solid(8, 8, red), "PNG"), 30000, 30000)),
              nullptr);
    EXPECT_EQ(load("bomb.jpg", jpeg_with_size(encoded(solid(8, 8, red), "JPEG"), 30000, 30000)),
              nullptr);
    EXPECT_EQ(load("bomb.gif", gif(30000, 30000, {})), nullptr);
    // An icon's directory says nothing of the size of a PNG inside it; Qt's allocation
    // limit, which the decoder sets, stops that one.
    EXPECT_EQ(load("bomb.ico",
                   icon_file({{0, png_with_size(encoded(solid(8, 8, red), "PNG"), 30000, 30000)}})),
              nullptr);
    EXPECT_EQ(load("bomb.emf", emf(2000000000, 2000000000)), nullptr);
    EXPECT_EQ(load("bomb.wmf", wmf(32000, 32000, false)), nullptr);
}

// ---- Through the whole program: a file that fails changes nothing ---------------------

TEST_F(HelperLoads, LoadImageWithABadFileLeavesTheDesignAsItWas) {
    fakes::Platform fake;
    platform::Services services{fake.files, fake.messages, loader, fake.writer, fake.app};
    Program program(services);
    program.start();
    Form1& form = *program.form1();
    const QByteArray bitmap = bmp(100, 50, red);
    const struct {
        const char* name;
        QByteArray bytes;
    } bad[] = {
        {"empty.bmp", {}},
        {"notes.bmp", "not a picture at all\n"},
        {"cut.bmp", bitmap.left(bitmap.size() / 2)},
        {"bomb.bmp", bmp(30000, 30000, red, false)},
        {"bomb.emf", emf(2000000000, 2000000000)},
    };
    for (const auto& file : bad) {
        SCOPED_TRACE(file.name);
        fake.files.choose(dir.write(file.name, std::string_view(file.bytes.constData(),
                                                                std::size_t(file.bytes.size()))));
        form.cmdNewPicture.click();
        EXPECT_FALSE(form.Image(1).has_picture());
        EXPECT_FALSE(form.Image(1).visible);
        EXPECT_EQ(form.cboDisable.items, std::vector<std::string>{"None"});
        EXPECT_FALSE(form.cmdDelete.enabled);
        EXPECT_TRUE(form.visible);
        EXPECT_EQ(program.status_dialog(), nullptr);
        EXPECT_TRUE(fake.messages.shown.empty());
    }
    // A good file afterwards loads into the same slot, at twice its size plus the frame.
    fake.files.choose(dir.write("logo.bmp", std::string_view(bitmap.constData(),
                                                             std::size_t(bitmap.size()))));
    form.cmdNewPicture.click();
    ASSERT_TRUE(form.Image(1).has_picture());
    EXPECT_EQ(form.Image(1).width, 3120);
    EXPECT_EQ(form.Image(1).height, 1620);
    EXPECT_NE(program.status_dialog(), nullptr);
}

// ---- In-process: the refusals happen before anything is decoded ------------------------

picture_decode::DecodeResult decode(const QByteArray& bytes) {
    return picture_decode::decode_bytes(reinterpret_cast<const std::byte*>(bytes.constData()),
                                        std::size_t(bytes.size()));
}

TEST(DecodeBytes, RefusesAnnouncedSizesOver128MiBBeforeReading) {
    const struct {
        const char* name;
        QByteArray bytes;
    } bombs[] = {
        {"bmp", bmp(30000, 30000, red, false)},
        {"png", png_with_size(encoded(solid(8, 8, red), "PNG"), 30000, 30000)},
        {"gif", gif(30000, 30000, {})},
        {"jpeg", jpeg_with_size(encoded(solid(8, 8, red), "JPEG"), 30000, 30000)},
        {"emf", emf(2000000000, 2000000000)},
        // 32767 units at 1 unit per inch.
        {"placeable wmf",
         [] {
             QByteArray w = wmf(1440, 720, true);
             set16(w, 10, 32767);
             set16(w, 12, 32767);
             set16(w, 14, 1);
             return w;
         }()},
        {"standard wmf", wmf(32000, 32000, false)},
    };
    for (const auto& bomb : bombs) {
        const auto result = decode(bomb.bytes);
        EXPECT_FALSE(result.ok) << bomb.name;
        EXPECT_NE(result.error.find("too large"), std::string::npos)
            << bomb.name << ": " << result.error;
    }
    // Just under the limit is still a picture: 8192 x 4096 x 4 bytes is 128 MiB.
    const auto largest = decode(bmp(8192, 4096, blue));
    ASSERT_TRUE(largest.ok) << largest.error;
    EXPECT_EQ(largest.picture.argb.back(), blue);
}

// Reads the picture the way Qt does when left to guess the format from the content.
bool qt_reads_by_content(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return !reader.read().isNull();
}

TEST(DecodeBytes, ReadsOnlyTheFormatsTheProgramOffersAndPng) {
    const QImage image = solid(4, 4, red);
    const struct {
        const char* name;
        QByteArray bytes;
        bool read;
    } files[] = {
        {"bmp", encoded(image, "BMP"), true},
        {"gif", gif(4, 4, {0}), true},
        {"jpeg", encoded(image, "JPEG"), true},
        {"png", encoded(image, "PNG"), true},
        {"ico", icon_file({{16, icon_bitmap(16, red)}}), true},
        {"cur", icon_file({{16, icon_bitmap(16, red)}}, 2), true},
        {"emf", emf(2540, 1270), true},
        {"wmf", wmf(1440, 720, true), true},
        {"tiff", encoded(image, "TIFF"), false},
        {"webp", encoded(image, "WEBP"), false},
        {"icns", encoded(image, "ICNS"), false},
        {"xpm", encoded(image, "XPM"), false},
        {"xbm", encoded(image, "XBM"), false},
        {"pbm", encoded(image, "PBM"), false},
        {"pgm", encoded(image, "PGM"), false},
        {"ppm", encoded(image, "PPM"), false},
        {"svg",
         "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'>"
         "<rect width='4' height='4' fill='red'/></svg>",
         false},
    };
    for (const auto& file : files) {
        if (!file.read) { // else the refusal would prove nothing
            ASSERT_TRUE(qt_reads_by_content(file.bytes)) << file.name;
        }
        const auto result = decode(file.bytes);
        EXPECT_EQ(result.ok, file.read) << file.name << ": " << result.error;
    }
}

TEST(DecodeBytes, RefusesEmptyFrames) {
    EXPECT_FALSE(decode(emf(0, 1270)).ok);
    EXPECT_FALSE(decode(wmf(0, 720, true)).ok);
    EXPECT_FALSE(decode(bmp(0, 4, red)).ok);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
