// What the main window costs on screen: painting the whole canvas (grid,
// ten pictures, ten hotspots, markers) and one pointer move through the view.
#include "fakes.h"
#include "program.h"
#include "program_view.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct Scene {
    fakes::Platform platform;
    Program program{platform.services};
    padscreen_qt::ProgramView view{program, QIcon()};

    Scene() {
        view.start();
        Form1& form = *program.form1();
        auto picture = std::make_shared<tk::Picture>();
        picture->width = 240; // a full LCD screen each
        picture->height = 128;
        picture->argb.assign(240 * 128, 0xFF3060C0U);
        for (int n = 1; n <= 10; ++n) {
            tk::Image& image = form.Image(n);
            image.picture = picture;
            image.visible = true;
            image.left = 300.0F * static_cast<float>(n);
            image.top = 200.0F * static_cast<float>(n);
            image.width = 7260;
            image.height = 3900;
            tk::Label& label = form.lbl(n);
            label.visible = true;
            label.left = 600.0F * static_cast<float>(n);
            label.top = 480;
            label.width = 500;
            label.height = 400;
        }
        for (int m = 1; m <= 4; ++m) {
            form.lblPicture(m).visible = true;
        }
    }
    padscreen_qt::WindowView& form_view() { return *view.view(program.form1()->id()); }
};

void BM_PaintMainWindow(benchmark::State& state) {
    Scene scene;
    padscreen_qt::WindowView& view = scene.form_view();
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
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
