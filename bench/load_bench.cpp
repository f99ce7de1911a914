// SPDX-License-Identifier: GPL-2.0-or-later
// What a load costs the program, through the real sandboxed helper.
//
//   load_bench make-bomb PATH     a 35-byte GIF that declares 5792 x 5792
//   load_bench make-photo PATH    a 4000 x 3000 JPEG
//   load_bench ten PATH           the core program loads PATH ten times ("&Load Image",
//                                 then OK), reads every pixel as a paint would, and prints
//                                 "VmHWM_KiB loaded decoded_bytes design_intact"
//   load_bench ratio PATH N [CHOOSE_MS]
//                                 N alternate runs of: a load as the program does it (the
//                                 helper started when the open dialog opens, the user then
//                                 choosing for CHOOSE_MS, 1000 by default; timed from the
//                                 choice to the picture in the model) and QImageReader::read
//                                 in-process; medians
//
// "ten" starts no Qt at all, so that its peak memory is the program's own.

#include "decode/client.h"
#include "fakes.h"
#include "program.h"
#include "slots/status_dialog.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

// Pictures of these loads count against it, as a program's do.
tk::PictureBudget budget; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

long status_kib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

int make_bomb(const char* path) {
    const unsigned char gif[] = {
        'G', 'I', 'F', '8', '9', 'a', 0xA0, 0x16, 0xA0, 0x16, 0x80, 0, 0, // 5792 x 5792
        0, 0, 0, 0xFF, 0xFF, 0xFF,                                        // two colours
        0x2C, 0, 0, 0, 0, 0xA0, 0x16, 0xA0, 0x16, 0,                      // the image
        2, 1, 0x2C, 0, 0x3B};                                             // clear, end
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
    return 0;
}

int make_photo(int argc, char** argv, const char* path) {
    QGuiApplication app(argc, argv);
    QImage image(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x / 16 + y) & 0xFF, (y / 12) & 0xFF, ((x + y) / 28) & 0xFF);
    }
    return image.save(path, "JPEG", 90) ? 0 : 1;
}

int ten_loads(const std::string& path) {
    fakes::Platform fake;
    picture_decode::HelperPictureLoader loader(picture_decode::default_helper_path());
    platform::Services services{fake.files, fake.messages, loader, fake.writer, fake.app};
    Program program(services);
    program.start();
    Form1& form = *program.form1();
    std::uint64_t sum = 0;
    for (int k = 0; k < 10; ++k) {
        fake.files.choose(path);
        form.cmdNewPicture.click();
        if (auto* dialog = program.status_dialog(); dialog && dialog->visible)
            dialog->cmdReturn.click();
    }
    int loaded = 0;
    long long decoded = 0;
    bool intact = form.visible;
    for (int n = 1; n <= Form1::kSlots; ++n) {
        const tk::Image& image = form.Image(n);
        if (!image.picture)
            continue;
        ++loaded;
        decoded += 4LL * image.picture->width * image.picture->height;
        intact = intact && image.visible && image.picture->argb.size() ==
                                                std::size_t(image.picture->width) *
                                                    std::size_t(image.picture->height);
        // Every pixel read once, as the first paint of the picture does.
        sum = std::accumulate(image.picture->argb.begin(), image.picture->argb.end(), sum);
    }
    std::printf("%ld %d %lld %s\n", status_kib("VmHWM"), loaded, decoded,
                intact ? "intact" : "broken");
    return sum == 42 ? 3 : 0; // keeps the reads
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int ratio(int argc, char** argv, const std::string& path, int n, int choose_ms) {
    QGuiApplication app(argc, argv);
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    picture_decode::HelperPictureLoader loader(picture_decode::default_helper_path());
    std::vector<double> program_ms;
    std::vector<double> reader_ms;
    for (int k = 0; k < n; ++k) {
        loader.prepare();
        std::this_thread::sleep_for(std::chrono::milliseconds(choose_ms));
        auto start = Clock::now();
        const tk::PicturePtr picture = loader.load(path, budget);
        program_ms.push_back(ms(Clock::now() - start));
        start = Clock::now();
        const QImage image = QImageReader(QString::fromStdString(path)).read();
        reader_ms.push_back(ms(Clock::now() - start));
        if (!picture || image.isNull()) {
            std::fprintf(stderr, "load_bench: a load failed\n");
            return 1;
        }
    }
    const double a = median(program_ms);
    const double b = median(reader_ms);
    std::printf("load through the helper %.1f ms, QImageReader::read %.1f ms, ratio %.2f "
                "(medians of %d)\n",
                a, b, a / b, n);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "make-bomb" && argc == 3)
        return make_bomb(argv[2]);
    if (mode == "make-photo" && argc == 3)
        return make_photo(argc, argv, argv[2]);
    if (mode == "ten" && argc == 3)
        return ten_loads(argv[2]);
    if (mode == "ratio" && (argc == 4 || argc == 5))
        return ratio(argc, argv, argv[2], std::max(1, std::atoi(argv[3])),
                     argc == 5 ? std::atoi(argv[4]) : 1000);
    std::fprintf(stderr,
                 "usage: load_bench make-bomb|make-photo|ten PATH | ratio PATH N [CHOOSE_MS]\n");
    return 2;
}
