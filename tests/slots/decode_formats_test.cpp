// SPDX-License-Identifier: GPL-2.0-or-later
// Real files through the real helper, plus the decoder's own refusals checked in-process.

#include "decode/client.h"
#include "decode/decode.h"
#include "decode_test_support.h"
#include "fakes.h"
#include "program.h"
#include "sample_pictures.h"
#include "slots/status_dialog.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <zlib.h>

namespace {

// Pictures of these loads count against it, as a program's do.
tk::PictureBudget budget; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

using decode_test::TempDir;
using namespace sample_pictures;

QSize size_by_qt(const QByteArray& bytes, bool auto_transform) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(auto_transform);
    return reader.read().size();
}

// ---- Files only these tests need ------------------------------------------------------

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

// A JPEG whose frame, and so its size, comes after `count` comment segments of 64000 bytes.
QByteArray jpeg_after_comments(const QImage& image, int count) {
    QByteArray comment = QByteArray::fromHex("fffefa02"); // COM, 64002 bytes with the length
    comment.append(QByteArray(64000, 'c'));
    QByteArray jpeg = encoded(image, "JPEG");
    for (int i = 0; i < count; ++i)
        jpeg.insert(2, comment);
    return jpeg;
}

std::uint32_t pixel(const tk::Picture& picture, int x, int y) {
    return picture.argb[std::size_t(y) * std::size_t(picture.width) + std::size_t(x)];
}

// ---- Through the helper ---------------------------------------------------------------

class HelperLoads : public ::testing::Test {
protected:
    tk::PicturePtr load(const std::string& name, const QByteArray& bytes) {
        return loader.load(dir.write(name, std::string_view(bytes.constData(), bytes.size())),
                           budget);
    }

    TempDir dir;
    picture_decode::HelperPictureLoader loader{PADSCREEN_DECODE_HELPER};
};

#define EXPECT_PICTURE(picture, w, h)                                                              \
    do {                                                                                           \
        ASSERT_NE(picture, nullptr);                                                               \
        EXPECT_EQ((picture)->width, (w));                                                          \
        EXPECT_EQ((picture)->height, (h));                                                         \
        ASSERT_EQ((picture)->argb.size(), std::size_t(w) * std::size_t(h));                        \
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

// The columns (first, last) holding any half-opaque pixel; (-1, -1) when there are none.
std::pair<int, int> inked_columns(const tk::Picture& picture) {
    std::pair<int, int> ink{-1, -1};
    for (int x = 0; x < picture.width; ++x)
        for (int y = 0; y < picture.height; ++y)
            if (pixel(picture, x, y) >> 24 >= 0x80) {
                ink = {ink.first < 0 ? x : ink.first, x};
                break;
            }
    return ink;
}

TEST_F(HelperLoads, WmfTextInWindowsFacesHasTheWidthsOfAFaceOfTheirMetrics) {
    // Each face Windows programs write, and the installed face with its widths.
    const struct {
        const char* face;
        const char* family;
    } faces[] = {{"Arial", "Liberation Sans"},       {"MS Sans Serif", "Liberation Sans"},
                 {"Courier New", "Liberation Mono"}, {"Times New Roman", "Liberation Serif"},
                 {"Tahoma", "Liberation Sans"},      {"Verdana", "Liberation Sans"},
                 {"Symbol", "Standard Symbols PS"}};
    const char* text = "Wide mm, thin il";
    for (const auto& face : faces) {
        const auto picture = load("text.wmf", wmf_text(face.face, text));
        EXPECT_PICTURE(picture, 400, 100);
        const auto [first, last] = inked_columns(*picture);
        QFont font(face.family);
        font.setPixelSize(40);
        const QRect expected = QFontMetrics(font).tightBoundingRect(text);
        EXPECT_NEAR(first, 10 + expected.left(), 3) << face.face;
        EXPECT_NEAR(last - first + 1, expected.width(), expected.width() / 50.0 + 2) << face.face;
    }
}

TEST_F(HelperLoads, WmfTextKeepsItsColourAndAlignmentAcrossSavedStates) {
    // Red text on its baseline at y = 60, saved three deep (as LibreOffice nests them);
    // blue and hung from its top in between.
    QByteArray records;
    records.append(wmf_record(0x0209, {0x00FF, 0})); // SETTEXTCOLOR red
    records.append(wmf_record(0x012E, {24}));        // SETTEXTALIGN TA_BASELINE
    for (int i = 0; i < 3; ++i)
        records.append(wmf_record(0x001E, {}));      // SAVEDC
    records.append(wmf_record(0x0209, {0, 0x00FF})); // SETTEXTCOLOR blue
    records.append(wmf_record(0x012E, {0}));         // SETTEXTALIGN TA_TOP
    records.append(wmf_record(0x0127, {0xFFFF}));    // RESTOREDC -1
    const auto picture = load("text.wmf", wmf_text("Arial", "Hello", records, 60));
    EXPECT_PICTURE(picture, 400, 100);
    int inked = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x)
            if (pixel(*picture, x, y) >> 24 == 0xFF) {
                ++inked;
                EXPECT_LE(y, 61) << "below the baseline";
                EXPECT_EQ(pixel(*picture, x, y), red) << x << ", " << y;
            }
    EXPECT_GT(inked, 100);
}

TEST_F(HelperLoads, WmfBitmapFillsTheBoxItIsStretchedOnto) {
    // A 2 x 2 blue bitmap stretched onto 80 x 40 pixels at (100, 20).
    QByteArray params;
    for (int v : {0x0020, 0x00CC, 0, 2, 2, 0, 0, 40, 80, 20, 100}) // SRCCOPY, colours, boxes
        put16(params, unsigned(v));
    params.append(bmp(2, 2, blue).mid(14)); // the bitmap without its file header
    const auto picture = load("bitmap.wmf", wmf_drawing(wmf_record_bytes(0x0F43, params)));
    EXPECT_PICTURE(picture, 400, 100);
    EXPECT_EQ(pixel(*picture, 104, 24), blue);
    EXPECT_EQ(pixel(*picture, 176, 56), blue);
    EXPECT_EQ(pixel(*picture, 96, 40) >> 24, 0u);
    EXPECT_EQ(pixel(*picture, 184, 40) >> 24, 0u);
    EXPECT_EQ(pixel(*picture, 140, 64) >> 24, 0u);
}

TEST_F(HelperLoads, NonPicturesFail) {
    EXPECT_EQ(load("empty.png", {}), nullptr);
    EXPECT_EQ(load("notes.bmp", "BMP files start with BM, this is text\n"), nullptr);
    EXPECT_EQ(load("notes.png", "plain text\n"), nullptr);
    EXPECT_EQ(loader.last_failure(), platform::load_failure::kNotAPicture);
    EXPECT_EQ(load("zeros.ico", QByteArray(4096, '\0')), nullptr);
    EXPECT_EQ(loader.load(dir.file("missing.png"), budget), nullptr);
    EXPECT_EQ(loader.load(dir.file(""), budget), nullptr) << "a directory";
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
    EXPECT_EQ(loader.last_failure(), platform::load_failure::kTooLargeForOne);
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

TEST_F(HelperLoads, HundredMegapixelPhotoLoads) {
    // 12000 x 9000 is 432 MB of pixels; grey, so that the test itself stays light.
    QImage photo(12000, 9000, QImage::Format_Grayscale8);
    photo.fill(0x80);
    const auto picture = load("photo.jpg", encoded(photo, "JPEG"));
    EXPECT_PICTURE(picture, 12000, 9000);
    EXPECT_EQ(pixel(*picture, 11999, 8999), 0xFF808080u);
}

TEST_F(HelperLoads, PreparedHelperServesTheLoadsAndNeverOutlivesTheLoader) {
    const QByteArray bitmap = bmp(3, 2, red);
    loader.prepare();
    loader.prepare(); // one helper waiting is enough
    const std::set<int> helpers = decode_test::children();
    EXPECT_EQ(helpers.size(), 1u);
    for (const char* name : {"first.bmp", "second.bmp", "third.bmp"})
        EXPECT_PICTURE(load(name, bitmap), 3, 2);
    EXPECT_EQ(decode_test::children(), helpers) << "the prepared helper served the loads";
    {
        picture_decode::HelperPictureLoader unused{PADSCREEN_DECODE_HELPER};
        unused.prepare();
        EXPECT_EQ(decode_test::children().size(), 2u);
    }
    EXPECT_EQ(decode_test::children(), helpers) << "a prepared helper goes with its loader";
}

// Measuring reads a header where there is one, decoding the whole file: both give one size,
// one by one and side by side.
TEST_F(HelperLoads, MeasuringGivesTheSizeDecodingGives) {
    const QByteArray text = wmf_text("Arial", "Measured");
    const struct {
        const char* name;
        QByteArray bytes;
    } pictures[] = {
        {"photo.jpg", encoded(solid(40, 30, red), "JPEG")},
        {"turned.jpg", jpeg_with_orientation(solid(40, 30, red))},
        {"commented.jpg", jpeg_after_comments(solid(40, 30, red), 5)}, // past the first bytes
        {"logo.bmp", bmp(7, 4, blue)},
        {"frames.gif", gif(5, 3, {0, 1})},
        {"logo.png", encoded(solid(6, 2, green), "PNG")},
        {"icon.ico", icon_file({{16, icon_bitmap(16, red)}, {48, icon_bitmap(48, blue)}})},
        {"frame.emf", emf(2540, 1270)},
        {"placeable.wmf", wmf(1440, 720, true)},
        {"standard.wmf", wmf(200, 100, false)},
        {"text.wmf", text},
        {"standard text.wmf", text.mid(22)}, // its extent takes fonts
    };
    std::vector<std::string> paths;
    for (const auto& picture : pictures)
        paths.push_back(dir.write(picture.name, picture.bytes.toStdString()));
    picture_decode::HelperPictureLoader measuring{PADSCREEN_DECODE_HELPER};
    measuring.set_measure_only(true);
    const auto measured = measuring.load_all(paths, budget, {});
    const auto decoded = loader.load_all(paths, budget, {});
    ASSERT_EQ(measured.size(), paths.size());
    for (std::size_t k = 0; k < paths.size(); ++k) {
        SCOPED_TRACE(pictures[k].name);
        ASSERT_NE(decoded[k], nullptr);
        for (const tk::PicturePtr& size : {measured[k], measuring.load(paths[k], budget)}) {
            ASSERT_NE(size, nullptr);
            EXPECT_EQ(size->width, decoded[k]->width);
            EXPECT_EQ(size->height, decoded[k]->height);
            EXPECT_EQ(size->argb.size(), 0u);
        }
    }
}

// Pictures measured together in one child: a hostile one, wherever it stands, costs the
// others nothing and keeps its own reason; an icon, and a JPEG whose header lies past what
// goes along at first, still come out right.
TEST_F(HelperLoads, OneHostilePictureAmongMeasuredOnesCostsOnlyItself) {
    namespace lf = platform::load_failure;
    const std::vector<std::string> good = {
        dir.write("a.bmp", bmp(7, 4, blue).toStdString()),
        dir.write("b.ico", icon_file({{48, icon_bitmap(48, blue)}}).toStdString()),
        dir.write("c.jpg", jpeg_after_comments(solid(40, 30, red), 3).toStdString()),
        dir.write("d.gif", gif(5, 3, {0, 1}).toStdString()),
    };
    const QSize sizes[] = {{7, 4}, {48, 48}, {40, 30}, {5, 3}};
    const struct {
        const char* bytes;
        std::string reason;
    } hostiles[] = {{"testhook:execve /bin/true", lf::kDecoderStopped},
                    {"testhook:hang -", lf::kTooSlow},
                    {"not a picture", lf::kNotAPicture}};
    for (const auto& hostile : hostiles) {
        for (const std::size_t at : {0, 2, 4}) {
            SCOPED_TRACE(std::string(hostile.bytes) + " at " + std::to_string(at));
            picture_decode::HelperPictureLoader hooked{PADSCREEN_DECODE_TESTHOOK_HELPER,
                                                       std::chrono::seconds(1)};
            hooked.set_measure_only(true);
            std::vector<std::string> paths = good;
            paths.insert(paths.begin() + std::ptrdiff_t(at), dir.write("bad", hostile.bytes));
            const auto measured = hooked.load_all(paths, budget, {});
            ASSERT_EQ(measured.size(), paths.size());
            for (std::size_t k = 0; k < paths.size(); ++k) {
                ASSERT_EQ(measured[k] == nullptr, k == at) << k;
                if (k != at) {
                    EXPECT_EQ(QSize(measured[k]->width, measured[k]->height), sizes[k - (k > at)]);
                }
            }
            EXPECT_EQ(hooked.last_failure(), hostile.reason);
        }
    }
}

// Address space that counts as picture memory without being touched.
tk::Pixels untouched_pixels(std::size_t bytes) {
    void* map = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(map, MAP_FAILED);
    return tk::Pixels::adopt(
        static_cast<std::uint32_t*>(map), bytes / 4,
        [](void* data, std::size_t size) { ::munmap(data, size); }, &budget);
}

TEST_F(HelperLoads, AllPicturesTogetherStayWithinTheBudget) {
    const QByteArray bitmap = bmp(64, 64, red); // 16 KiB of pixels
    const std::size_t held = budget.bytes_in_use();
    for (const std::size_t left : {std::size_t{16384}, std::size_t{16380}, std::size_t{0}}) {
        auto others = untouched_pixels(tk::kPictureBudgetBytes - held - left);
        EXPECT_EQ(load("logo.bmp", bitmap) != nullptr, left >= 16384) << left << " bytes left";
    }
    EXPECT_EQ(budget.bytes_in_use(), held);
}

// The program's picture memory files, open or mapped, counted once each.
std::size_t shared_picture_bytes() {
    std::map<ino_t, std::size_t> files;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        struct stat info {};
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string().rfind("/memfd:", 0) == 0 &&
            ::stat(entry.path().c_str(), &info) == 0)
            files[info.st_ino] = static_cast<std::size_t>(info.st_size);
    }
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string range, skip;
        ino_t inode = 0;
        fields >> range >> skip >> skip >> skip >> inode;
        if (line.find("/memfd:padscreen-picture") != std::string::npos && !files.count(inode))
            files[inode] = std::stoul(range.substr(range.find('-') + 1), nullptr, 16) -
                           std::stoul(range.substr(0, range.find('-')), nullptr, 16);
    }
    std::size_t sum = 0;
    for (const auto& [inode, bytes] : files)
        sum += bytes;
    return sum;
}

// Ten pictures of 48 MB each under a budget of 200 MB: what the children fill and what is
// taken never pass the budget together, and the pictures that fit are taken.
TEST_F(HelperLoads, PicturesLoadedSideBySideStayWithinTheBudgetAtEveryMoment) {
    const QByteArray bomb = encoded(solid(4000, 3000, red), "PNG");
    std::vector<std::string> paths;
    paths.reserve(10);
    for (int k = 0; k < 10; ++k)
        paths.push_back(dir.write("bomb" + std::to_string(k) + ".png", bomb.toStdString()));
    tk::PictureBudget small(200'000'000);
    std::atomic<bool> done{false};
    std::size_t peak = 0;
    std::thread watch([&] {
        while (!done) {
            peak = std::max(peak, shared_picture_bytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto pictures = loader.load_all(paths, small, {});
    done = true;
    watch.join();
    EXPECT_LE(peak, small.limit());
    EXPECT_GT(peak, 48'000'000u) << "the watch saw no picture at all";
    EXPECT_EQ(std::count_if(pictures.begin(), pictures.end(), [](const auto& p) { return p; }), 4);
    // Stopped once a picture is in: none is kept, and the memory files are given back.
    const std::size_t held = small.bytes_in_use();
    const std::size_t files = shared_picture_bytes();
    EXPECT_TRUE(
        loader.load_all(paths, small, {[](std::size_t done, std::size_t) { return done == 0; }})
            .empty());
    EXPECT_EQ(small.bytes_in_use(), held);
    EXPECT_EQ(shared_picture_bytes(), files);
}

// Each picture's child dies on what decoding never does; the helper that forked it serves
// on. A child that hangs takes the helper with it, and the next load starts another.
TEST_F(HelperLoads, LockedDownHelperDiesOnWhatDecodingNeverDoes) {
    picture_decode::HelperPictureLoader hooked{PADSCREEN_DECODE_TESTHOOK_HELPER,
                                               std::chrono::seconds(3)};
    const std::string written = dir.file("written");
    const std::string tries[] = {
        "open-write " + written,
        "execve /bin/true",
        "connect " + dir.file("socket"),
        "fork -",
    };
    std::set<int> helper;
    for (const std::string& attempt : tries) {
        EXPECT_EQ(hooked.load(dir.write("hook", "testhook:" + attempt), budget), nullptr)
            << attempt;
        EXPECT_TRUE(WIFSIGNALED(hooked.last_status()) && WTERMSIG(hooked.last_status()) == SIGSYS)
            << attempt << ": status " << hooked.last_status();
        if (helper.empty())
            helper = decode_test::children();
        EXPECT_EQ(decode_test::children(), helper) << attempt;
    }
    EXPECT_EQ(helper.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(written));
    // The same helper decodes what it is meant to.
    const std::string fine = dir.write("fine.bmp", bmp(3, 2, red).toStdString());
    EXPECT_PICTURE(hooked.load(fine, budget), 3, 2);
    EXPECT_EQ(hooked.last_status(), 0);
    EXPECT_EQ(decode_test::children(), helper);
    EXPECT_EQ(hooked.load(dir.write("hook", "testhook:hang -"), budget), nullptr);
    EXPECT_EQ(hooked.last_failure(), platform::load_failure::kTooSlow);
    EXPECT_PICTURE(hooked.load(fine, budget), 3, 2);
    EXPECT_NE(decode_test::children(), helper);
}

// A file that has taken the helper over tries each way out of the lock-down: the helper is
// killed or its call fails (exit 43; 42 would mean it got through), the process it aims at
// is untouched, and the program keeps its design.
TEST_F(HelperLoads, TakenOverHelperReachesNothingButItsInputAndAnswer) {
    picture_decode::HelperPictureLoader hooked{PADSCREEN_DECODE_TESTHOOK_HELPER};
    fakes::Platform fake;
    platform::Services services{fake.files, fake.messages, hooked, fake.writer, fake.app};
    Program program(services);
    program.start();
    Form1& form = *program.form1();
    const QByteArray bitmap = bmp(3, 2, red);
    fake.files.choose(
        dir.write("logo.bmp", std::string_view(bitmap.constData(), std::size_t(bitmap.size()))));
    form.cmdNewPicture.click();
    ASSERT_TRUE(form.Image(1).has_picture());
    program.status_dialog()->cmdReturn.click();

    const pid_t victim = ::fork();
    if (victim == 0) {
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(victim, 0);
    const std::string attacks[] = {
        "setown " + std::to_string(victim),
        "prlimit " + std::to_string(victim),
        "open-read /etc/passwd",
        "open-read parent-mem",
        "grow -",
    };
    for (const std::string& attack : attacks) {
        fake.files.choose(dir.write("hook", "testhook:" + attack));
        form.cmdNewPicture.click();
        const int status = hooked.last_status();
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 43))
            << attack << ": "
            << (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                    : "exit " + std::to_string(WEXITSTATUS(status)));
        EXPECT_FALSE(form.Image(2).has_picture()) << attack;
        EXPECT_TRUE(form.Image(1).has_picture()) << attack;
        EXPECT_EQ(program.status_dialog(), nullptr) << attack;
        EXPECT_TRUE(fake.messages.shown.empty()) << attack;
    }
    rlimit cpu{};
    EXPECT_EQ(::prlimit(victim, RLIMIT_CPU, nullptr, &cpu), 0);
    EXPECT_EQ(cpu.rlim_cur, RLIM_INFINITY) << "another process's limit was set";
    EXPECT_EQ(::waitpid(victim, nullptr, WNOHANG), 0) << "another process was killed";
    ::kill(victim, SIGKILL);
    ::waitpid(victim, nullptr, 0);
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
        fake.files.choose(dir.write(
            file.name, std::string_view(file.bytes.constData(), std::size_t(file.bytes.size()))));
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
    fake.files.choose(
        dir.write("logo.bmp", std::string_view(bitmap.constData(), std::size_t(bitmap.size()))));
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

TEST(DecodeBytes, RefusesAnnouncedSizesOverTheLimitBeforeReading) {
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
    // Up to the limit the caller sets is still a picture, one byte less is not.
    const QByteArray bitmap = bmp(64, 32, blue);
    std::vector<std::uint32_t> pixels(std::size_t{64} * 32);
    for (const std::size_t limit : {std::size_t{64} * 32 * 4, std::size_t{64} * 32 * 4 - 1}) {
        int asked = 0;
        const auto decoded = picture_decode::decode_into(
            reinterpret_cast<const std::byte*>(bitmap.constData()), std::size_t(bitmap.size()),
            limit, [&](int, int) { return ++asked, pixels.data(); });
        EXPECT_EQ(decoded.ok, limit == std::size_t{64} * 32 * 4) << limit << ": " << decoded.error;
        EXPECT_EQ(asked, decoded.ok ? 1 : 0) << "nothing is allocated for a refused picture";
    }
    EXPECT_EQ(pixels.back(), blue);
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

TEST(DecodeBytes, EmfWhoseRecordsDoNotHoldTogetherIsRefused) {
    const QByteArray good = emf(2540, 1270); // header 88, three records of 24/12/24, EOF 20
    const int eof_at = int(good.size()) - 20;
    auto with32 = [&](int at, std::uint32_t value) {
        QByteArray bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(value >> (8 * i) & 0xFF);
        return bytes;
    };
    const struct {
        const char* name;
        QByteArray bytes;
        bool ok;
    } cases[] = {
        {"as written", good, true},
        {"bytes after the end the header gives are ignored", good + QByteArray(64, '\x55'), true},
        {"header size below 88", with32(4, 84), false},
        {"header size not a multiple of 4", with32(4, 90), false},
        {"file length past the end", with32(48, std::uint32_t(good.size() + 4)), false},
        {"file length cuts the EOF", with32(48, std::uint32_t(good.size() - 4)), false},
        {"one record fewer counted, as LibreOffice writes", with32(52, 4), true},
        {"two records fewer counted", with32(52, 3), false},
        {"one record more counted", with32(52, 6), false},
        {"description past the header", with32(60, 8), false},
        {"description offset with no length", with32(64, 120), false},
        {"record shorter than 8", with32(88 + 4, 4), false},
        {"record length not a multiple of 4", with32(88 + 4, 26), false},
        {"record past the end", with32(88 + 4, 0xFFF0), false},
        {"record type 0", with32(88, 0), false},
        {"second header", with32(88, 1), false},
        {"unknown record type", with32(88, 123), false},
        {"rectangle record too short for its box",
         [&] {
             QByteArray body = emf_record(43, {10, 10});
             return emf_file(2540, 1270, body, 1);
         }(),
         false},
        {"no EOF",
         [&] {
             QByteArray bytes = good.left(eof_at);
             for (int i = 0; i < 4; ++i)
                 bytes[48 + i] = char(std::uint32_t(eof_at) >> (8 * i) & 0xFF);
             bytes[52] = 4;
             return bytes;
         }(),
         false},
        {"EOF palette past its record", with32(eof_at + 8, 2), false},
    };
    for (const auto& c : cases) {
        const auto result = decode(c.bytes);
        EXPECT_EQ(result.ok, c.ok) << c.name << ": " << result.error;
    }
}

TEST(DecodeBytes, RefusesMetafilesLongerThan16384PixelsOnASide) {
    // Hundredths of a millimetre for n pixels at 96 dpi, rounded up.
    auto frame = [](int pixels) { return std::int32_t((pixels * 2540 + 95) / 96); };
    QByteArray placeable = wmf(1440, 720, true);
    set16(placeable, 10, 16385); // 16385 units at 96 per inch
    set16(placeable, 12, 8);
    set16(placeable, 14, 96);
    const struct {
        const char* name;
        QByteArray bytes;
        bool ok;
    } cases[] = {
        {"emf 16384 tall", emf(frame(10), frame(16384)), true},
        {"emf 16385 tall", emf(frame(10), frame(16385)), false},
        {"emf 16385 wide", emf(frame(16385), frame(10)), false},
        {"placeable wmf 16385 wide", placeable, false},
    };
    for (const auto& c : cases) {
        const auto result = decode(c.bytes);
        EXPECT_EQ(result.ok, c.ok) << c.name << ": " << result.error;
        if (!c.ok) {
            EXPECT_NE(result.error.find("too large"), std::string::npos) << c.name;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
