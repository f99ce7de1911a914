// SPDX-License-Identifier: GPL-2.0-or-later
// padscreen-measure's header reading against the full decoder's measure, over every picture
// file the tests hold and many damaged copies of each: whenever it gives a size, the full
// decoder must measure the same bytes to the same size.

#include "decode/client.h"
#include "decode/decode.h"
#include "decode/header_size.h"
#include "decode_test_support.h"
#include "sample_pictures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

namespace sp = sample_pictures;
using Bytes = std::vector<unsigned char>;

Bytes from(const QByteArray& data) { return Bytes(data.begin(), data.end()); }

Bytes read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

QByteArray progressive_jpeg() {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(sp::solid(300, 200, sp::red));
    return out;
}

// A JPEG whose frame header lies past the first bytes measured together, behind 40,000 bytes
// of metadata as a camera's.
QByteArray jpeg_with_long_metadata() {
    const QByteArray segment = QByteArray("\xff\xe9\x9c\x40", 4) + QByteArray(39998, 'm');
    return sp::encoded(sp::solid(64, 48, sp::green), "jpeg").insert(2, segment);
}

// Built pictures of each kind, and whether padscreen-measure must tell each one's size.
struct Sample {
    const char* name;
    QByteArray data;
    bool told;
};

std::vector<Sample> samples() {
    return {
        {"jpeg", sp::encoded(sp::solid(640, 480, sp::blue), "jpeg", 90), true},
        {"grey jpeg",
         sp::encoded(sp::solid(31, 17, sp::red).convertToFormat(QImage::Format_Grayscale8), "jpeg"),
         true},
        {"progressive jpeg", progressive_jpeg(), true},
        {"png", sp::encoded(sp::solid(33, 21, sp::green), "png"), true},
        {"indexed png",
         sp::encoded(sp::solid(5, 7, sp::red).convertToFormat(QImage::Format_Indexed8), "png"),
         true},
        {"bmp", sp::bmp(13, 9, sp::red), true},
        {"8-bit bmp",
         sp::encoded(sp::solid(6, 4, sp::red).convertToFormat(QImage::Format_Indexed8), "bmp"),
         true},
        {"gif", sp::gif(12, 8, {0, 1}), true},
        {"emf", sp::emf(5000, 2500), true},
        {"placeable wmf", sp::wmf(1440, 720, true), true},
        {"plain wmf", sp::wmf(200, 100, false), false},
        {"icon", sp::icon_file({{32, sp::icon_bitmap(32, sp::red)}}), false},
        {"jpeg with long metadata", jpeg_with_long_metadata(), true},
    };
}

// Every picture file among the tests' corpora and golden designs.
std::map<std::string, Bytes> picture_files() {
    std::map<std::string, Bytes> files;
    for (const char* dir :
         {PADSCREEN_SLOTS_CORPUS_DIR, PADSCREEN_METAFILE_DIR, PADSCREEN_GOLDEN_DIR})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
            if (entry.is_regular_file() && entry.path().extension() != ".padscreen" &&
                entry.path().extension() != ".txt")
                files[entry.path().string()] = read(entry.path());
    for (const Sample& sample : samples())
        files[sample.name] = from(sample.data);
    return files;
}

Bytes first_bytes(const Bytes& file, std::size_t most) {
    return Bytes(file.begin(), file.begin() + std::ptrdiff_t(std::min(file.size(), most)));
}

std::optional<picture_decode::PictureSize> slim_size(const Bytes& bytes) {
    return picture_decode::header_size(reinterpret_cast<const std::byte*>(bytes.data()),
                                       bytes.size(), picture_decode::max_pixel_bytes);
}

// The size padscreen-measure gives, or why the full measure disagrees.
std::string disagreement(const Bytes& bytes) {
    const auto slim = slim_size(bytes);
    if (!slim)
        return {};
    const picture_decode::Decoded full =
        picture_decode::measure(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size(),
                                picture_decode::max_pixel_bytes, true);
    if (!full.ok)
        return "the full measure refuses it: " + full.error;
    if (full.width != slim->width || full.height != slim->height)
        return "full " + std::to_string(full.width) + "x" + std::to_string(full.height) +
               ", slim " + std::to_string(slim->width) + "x" + std::to_string(slim->height);
    return {};
}

TEST(HeaderSize, NeverDisagreesWithTheFullMeasure) {
    for (const Sample& sample : samples())
        EXPECT_EQ(slim_size(from(sample.data)).has_value(), sample.told) << sample.name;
    const auto files = picture_files();
    ASSERT_GT(files.size(), 100u) << "the corpora are missing";
    std::mt19937 random(20261209);
    std::size_t told = 0;
    for (const auto& [name, original] : files) {
        // Measured together, a picture's first 16 KiB go, then maybe its first 128 KiB.
        EXPECT_EQ(disagreement(first_bytes(original, 16 << 10)), "") << name << ", first 16 KiB";
        const Bytes file = first_bytes(original, 128 << 10);
        const std::string why = disagreement(file);
        EXPECT_EQ(why, "") << name;
        told += why.empty() && slim_size(file).has_value();
        // Bit flips and cuts in the headers' bytes.
        const std::size_t head = std::min<std::size_t>(file.size(), 700);
        for (int m = 0; m < 300 && head > 0; ++m) {
            Bytes copy = file;
            const std::size_t at = random() % head;
            if (m % 4 == 3)
                copy.resize(at);
            else
                copy[at] ^= static_cast<unsigned char>(1U << (random() % 8));
            if (m % 4 == 2)
                copy[random() % head] ^= static_cast<unsigned char>(1U << (random() % 8));
            const std::string mutated = disagreement(copy);
            EXPECT_EQ(mutated, "") << name << ", mutation " << m << " at " << at;
            if (!mutated.empty())
                break;
        }
    }
    EXPECT_GT(told, 12u) << "padscreen-measure told hardly any size";
}

TEST(HeaderSize, MeasuringThroughItGivesWhatTheHelperAloneGives) {
    decode_test::TempDir dir;
    std::vector<std::string> paths;
    for (const Sample& sample : samples())
        paths.push_back(
            dir.write(std::string(sample.name) + ".pic",
                      std::string_view(sample.data.constData(), std::size_t(sample.data.size()))));
    paths.push_back(dir.write("text.txt", "not a picture"));
    paths.push_back(dir.file("missing.png"));
    const auto outcomes = [&paths](bool slim) {
        picture_decode::HelperPictureLoader loader(PADSCREEN_DECODE_HELPER);
        loader.set_measure_only(true);
        if (slim)
            loader.set_measure_helper(PADSCREEN_MEASURE_HELPER);
        tk::PictureBudget budget;
        std::vector<std::string> out;
        const auto tell = [&out](const tk::PicturePtr& picture, const std::string& why) {
            out.push_back(picture ? std::to_string(picture->width) + "x" +
                                        std::to_string(picture->height)
                                  : why);
        };
        for (const tk::PicturePtr& picture : loader.load_all(paths, budget, {}))
            tell(picture, loader.last_failure());
        for (const std::string& path : paths)
            tell(loader.load(path, budget), loader.last_failure());
        return out;
    };
    const std::vector<std::string> alone = outcomes(false);
    EXPECT_EQ(outcomes(true), alone);
    EXPECT_EQ(alone[0], "640x480");
    // Plain pictures never need padscreen-decode, even with a header past 16 KiB; an icon does.
    picture_decode::HelperPictureLoader slim_only(dir.file("no-such-helper"));
    slim_only.set_measure_only(true);
    slim_only.set_measure_helper(PADSCREEN_MEASURE_HELPER);
    tk::PictureBudget budget;
    const auto measured = slim_only.load_all({paths[0], paths[3], paths[5], paths[12]}, budget, {});
    EXPECT_TRUE(measured.size() == 4 && measured[0] && measured[1] && measured[2] && measured[3] &&
                measured[3]->width == 64 && measured[3]->height == 48);
    EXPECT_EQ(slim_only.load(paths.at(11), budget), nullptr) << "the icon";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    picture_decode::prepare_decoders(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
