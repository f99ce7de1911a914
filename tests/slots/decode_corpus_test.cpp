// SPDX-License-Identifier: GPL-2.0-or-later
// Files that once made a decoding library read past the end of its input, each loaded
// through the real helper: it may decode the file or refuse it, but it must end by itself
// with status 0 or 1, never by a signal.

#include "decode/client.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Pictures of these loads count against it, as a program's do.
tk::PictureBudget budget; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

std::vector<std::string> corpus(const char* dir) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(DecodeCorpus, EmfOverreadFilesEndTheHelperCleanly) {
    // A sanitizer report in the helper must show as a crash, not as an ordinary exit 1.
    const char* options = std::getenv("ASAN_OPTIONS");
    ::setenv("ASAN_OPTIONS", (std::string(options ? options : "") + ":abort_on_error=1").c_str(),
             1);
    const auto files = corpus(PADSCREEN_EMF_OVERREAD_DIR);
    ASSERT_GE(files.size(), 5u) << "the corpus is missing";
    picture_decode::HelperPictureLoader loader(PADSCREEN_DECODE_HELPER);
    for (const auto& file : files) {
        loader.load(file, budget);
        const int status = loader.last_status();
        ASSERT_NE(status, -1) << file << ": the helper did not end by itself";
        EXPECT_FALSE(WIFSIGNALED(status))
            << file << ": killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1)
            << file << ": exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
}

// Mean difference per colour channel (0 to 255) between two pictures of one size, each
// laid on white first.
double mean_difference(const QImage& a, const QImage& b) {
    const auto on_white = [](const QImage& image) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        return flat;
    };
    const QImage x = on_white(a);
    const QImage y = on_white(b);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

// Measured: 7.4 to 9.3 for Inkscape's files, 11.3 to 26.1 for LibreOffice's (libwmf names
// each colour by the nearest SVG colour word, the writers hint small text otherwise, the
// renderers round sub-pixel positions apart by up to a pixel, which weighs most in the
// smallest files); the same drawings shifted by 4 pixels differ by 35.3 to 64.9, drawn at
// twice the scale by 61.1 to 67.7.
constexpr double max_difference = 30;

// Metafiles written by a real drawing program load inside the lock-down and look like
// that program's own rendering of them; the same check tells a shifted or rescaled drawing.
TEST(DecodeCorpus, RealMetafilesLookLikeTheirWritersRendering) {
    int argc = 1;
    char name[] = "decode_corpus_test";
    char* argv[] = {name, nullptr};
    const QGuiApplication app(argc, argv);
    std::vector<std::string> files;
    for (const auto& file : corpus(PADSCREEN_METAFILE_DIR))
        if (file.ends_with(".wmf") || file.ends_with(".emf"))
            files.push_back(file);
    ASSERT_GE(files.size(), 4u) << "the corpus is missing";
    picture_decode::HelperPictureLoader loader(PADSCREEN_DECODE_HELPER);
    for (const auto& file : files) {
        const auto picture = loader.load(file, budget);
        ASSERT_NE(picture, nullptr) << file << ": status " << loader.last_status();
        const QImage reference(QString::fromStdString(file.substr(0, file.size() - 3) + "png"));
        ASSERT_FALSE(reference.isNull()) << file;
        // Within one percent of the writer's size (its frame may include a stroke's edge).
        EXPECT_NEAR(picture->width, reference.width(), reference.width() / 100.0 + 1) << file;
        EXPECT_NEAR(picture->height, reference.height(), reference.height() / 100.0 + 1) << file;
        const QImage decoded =
            QImage(reinterpret_cast<const uchar*>(picture->argb.data()), picture->width,
                   picture->height, QImage::Format_ARGB32)
                .scaled(reference.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double difference = mean_difference(decoded, reference);
        EXPECT_LE(difference, max_difference) << file;
        QImage shifted(reference.size(), QImage::Format_ARGB32);
        shifted.fill(Qt::transparent);
        QPainter(&shifted).drawImage(4, 4, decoded);
        const QImage zoomed =
            decoded.scaled(decoded.size() * 2).copy(QRect(QPoint(0, 0), reference.size()));
        EXPECT_GT(mean_difference(shifted, reference), max_difference) << file;
        EXPECT_GT(mean_difference(zoomed, reference), max_difference) << file;
    }
}

} // namespace
