// SPDX-License-Identifier: GPL-2.0-or-later
// What the main window costs on screen: painting the whole canvas (grid,
// ten pictures, ten hotspots, markers) and one pointer move through the view.
#include "design_scene.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Ten screen-sized pictures of a full LCD screen each.
struct Scene : DesignScene {
    Scene() : DesignScene({240, 128, 7260, 3900, 300, 200}) {}
};

void BM_PaintMainWindow(benchmark::State& state) {
    Scene scene;
    padscreen_qt::WindowView& view = scene.form_view();
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        (void)_;
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_PaintMainWindow)->Unit(benchmark::kMicrosecond);

void BM_PointerMoveThroughView(benchmark::State& state) {
    Scene scene;
    padscreen_qt::WindowView& view = scene.form_view();
    int x = 0;
    for (auto _ : state) {
        (void)_;
        x = (x + 1) % 640;
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 300), QPointF(x, 300), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
    }
}
BENCHMARK(BM_PointerMoveThroughView)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
