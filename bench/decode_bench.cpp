// SPDX-License-Identifier: GPL-2.0-or-later
// Cost of decoding a picture in-process, and of a whole load through the helper process.

#include "decode/client.h"
#include "decode/decode.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Pictures of these loads count against it, as a program's do.
tk::PictureBudget budget; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

QByteArray bmp_1024() {
    QImage image(1024, 1024, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void decode_bytes_bmp_1024(benchmark::State& state) {
    const QByteArray bytes = bmp_1024();
    for (auto _ : state) {
        (void)_;
        auto result = picture_decode::decode_bytes(
            reinterpret_cast<const std::byte*>(bytes.constData()), std::size_t(bytes.size()));
        if (!result.ok)
            state.SkipWithError(result.error.c_str());
        benchmark::DoNotOptimize(result.picture.argb.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(decode_bytes_bmp_1024)->Unit(benchmark::kMillisecond);

void helper_load_bmp_1024(benchmark::State& state) {
    const QByteArray bytes = bmp_1024();
    const auto path = std::filesystem::temp_directory_path() /
                      ("padscreen-decode-bench-" + std::to_string(::getpid()) + ".bmp");
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
    picture_decode::HelperPictureLoader loader(PADSCREEN_DECODE_HELPER);
    for (auto _ : state) {
        (void)_;
        auto picture = loader.load(path.string(), budget);
        if (!picture)
            state.SkipWithError("the helper gave no picture");
        benchmark::DoNotOptimize(picture.get());
    }
    std::filesystem::remove(path);
}
BENCHMARK(helper_load_bmp_1024)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
