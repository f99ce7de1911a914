// SPDX-License-Identifier: GPL-2.0-or-later
// Does the main window keep painting while a big picture is decoded? Loads a
// 24-megapixel JPEG through the decode helper, as "&Load Image" does, while a
// timer asks the main window for a repaint every 5 ms, and reports the
// longest gap between two paints during the load and the load's time: with
// the loader painting while it waits (the program's way) and blocking.
//   load_paint_bench [runs]    (QT_QPA_PLATFORM=offscreen, or under Xvfb)
#include "decode/client.h"
#include "fakes.h"
#include "program.h"
#include "program_view.h"
#include "services.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// A photograph-like 6000 x 4000 picture: gradients and noise, so that the
// JPEG is of a usual size rather than trivially small.
void write_jpeg(const QString& path) {
    QImage image(6000, 4000, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525U + 1013904223U;
            const int noise = static_cast<int>(seed >> 28);
            line[x] = qRgb((x / 24 + noise) & 0xFF, (y / 16 + noise) & 0xFF, ((x + y) / 40) & 0xFF);
        }
    }
    image.save(path, "JPG", 90);
}

class PaintClock : public QObject {
public:
    QElapsedTimer clock;
    std::vector<qint64> paints; // ms since the clock started
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            paints.push_back(clock.elapsed());
        }
        return false;
    }
};

// Times the load itself, inside the handler.
class TimedLoader : public platform::PictureLoader {
public:
    TimedLoader(platform::PictureLoader& inner, const QElapsedTimer& clock)
        : inner_(inner), clock_(clock) {}
    tk::PicturePtr load(const std::string& path, tk::PictureBudget& budget) override {
        start_ms = clock_.elapsed();
        tk::PicturePtr picture = inner_.load(path, budget);
        end_ms = clock_.elapsed();
        return picture;
    }
    qint64 start_ms = 0;
    qint64 end_ms = 0;

private:
    platform::PictureLoader& inner_;
    const QElapsedTimer& clock_;
};

struct Result {
    qint64 load_ms = 0;
    qint64 longest_gap_ms = 0;
    std::size_t paints = 0;
};

Result one_load(const std::string& helper, const std::string& path, bool idle, bool ticking) {
    fakes::Platform fake;
    auto helper_loader = std::make_unique<picture_decode::HelperPictureLoader>(helper);
    if (idle) {
        helper_loader->set_idle(padscreen_qt::keep_painting);
    }
    padscreen_qt::BusyCursorPictureLoader busy(std::move(helper_loader));
    PaintClock clock;
    TimedLoader loader(busy, clock.clock);
    platform::Services services{fake.files, fake.messages, loader, fake.writer, fake.app};
    Program program(services);
    padscreen_qt::ProgramView view(program, QIcon());
    view.start();
    QWidget& main = *view.view(program.form1()->id());
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200) {
        QApplication::processEvents();
    }

    main.installEventFilter(&clock);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &main, [&main] { main.update(); });
    if (ticking) {
        ticker.start(5);
    }
    fake.files.choose(path);
    clock.clock.start();
    view.dispatch([&program] { program.form1()->cmdNewPicture.click(); });
    ticker.stop();
    Result result;
    result.load_ms = loader.end_ms - loader.start_ms;
    main.removeEventFilter(&clock);
    if (program.status_dialog() == nullptr) {
        std::fprintf(stderr, "the picture did not load\n");
        std::exit(1);
    }
    // From the load's start to its end, with the paints in between.
    qint64 last = loader.start_ms;
    for (const qint64 t : clock.paints) {
        if (t <= loader.start_ms || t > loader.end_ms) {
            continue;
        }
        result.longest_gap_ms = std::max(result.longest_gap_ms, t - last);
        last = t;
        ++result.paints;
    }
    result.longest_gap_ms = std::max(result.longest_gap_ms, loader.end_ms - last);
    if (std::getenv("LOAD_PAINT_TRACE") != nullptr) {
        std::printf("load %lld..%lld ms, paints:", static_cast<long long>(loader.start_ms),
                    static_cast<long long>(loader.end_ms));
        for (const qint64 t : clock.paints) {
            std::printf(" %lld", static_cast<long long>(t));
        }
        std::printf("\n");
    }
    return result;
}

qint64 median(std::vector<qint64> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    write_jpeg(jpeg);
    std::printf("24-megapixel JPEG: %lld bytes, %d runs each, alternating\n",
                static_cast<long long>(QFileInfo(jpeg).size()), runs);

    // Each way with the 5-ms repaint requests (the paint gaps) and without
    // them (the load's own time, nothing else asking for the processor).
    struct Way {
        const char* name;
        bool idle;
        bool ticking;
        std::vector<qint64> load;
        std::vector<qint64> gap;
    } ways[] = {{"blocking, repaints asked", false, true, {}, {}},
                {"painting, repaints asked", true, true, {}, {}},
                {"blocking, quiet", false, false, {}, {}},
                {"painting, quiet", true, false, {}, {}}};
    for (int k = 0; k < runs; ++k) {
        for (Way& way : ways) {
            const Result r = one_load(PADSCREEN_DECODE_HELPER, jpeg.toStdString(), way.idle,
                                      way.ticking);
            way.load.push_back(r.load_ms);
            way.gap.push_back(r.longest_gap_ms);
        }
    }
    for (const Way& way : ways) {
        std::printf("%-26s load median %5lld ms", way.name,
                    static_cast<long long>(median(way.load)));
        if (way.ticking) {
            std::printf("   longest paint gap median %5lld ms, worst %5lld ms",
                        static_cast<long long>(median(way.gap)),
                        static_cast<long long>(*std::max_element(way.gap.begin(), way.gap.end())));
        }
        std::printf("\n");
    }
    return 0;
}
