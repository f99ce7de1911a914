// SPDX-License-Identifier: GPL-2.0-or-later
// Core costs that run on every user action: the conversions, the code
// generator over a full design, and routing a pointer move over the canvas.
#include "codegen/generate.h"
#include "convert.h"
#include "form1.h"
#include "history.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_ConvertAllInputs(benchmark::State& state) {
    for (auto _ : state) {
        (void)_;
        int sum = 0;
        for (int t = -32768; t <= 32767; ++t) {
            sum += ConvertNumbers(static_cast<std::int16_t>(t), true) +
                   ConvertNumbersSize(static_cast<std::int16_t>(t), false);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 65536 * 2);
}
BENCHMARK(BM_ConvertAllInputs);

// Ten pictures and ten hotspots: the largest design there is.
std::unique_ptr<Form1> full_design() {
    auto form = std::make_unique<Form1>();
    form->start_up();
    auto picture = std::make_shared<tk::Picture>();
    picture->width = 1;
    picture->height = 1;
    picture->argb = {0xFF000000U};
    for (int n = 1; n <= 10; ++n) {
        tk::Image& image = form->Image(n);
        image.picture = picture;
        image.visible = true;
        image.left = 120.0F * static_cast<float>(n);
        image.top = 90.0F * static_cast<float>(n);
        image.width = 1440;
        image.height = 720;
        form->set_intIDS(n, 0);
        form->set_intMode(n, 2);
        form->strFileName(n) = "picture" + std::to_string(n);
        tk::Label& label = form->lbl(n);
        label.visible = true;
        label.left = 600.0F * static_cast<float>(n);
        label.top = 480;
        label.width = 500;
        label.height = 400;
    }
    return form;
}

void BM_GenerateFullDesign(benchmark::State& state) {
    const auto form = full_design();
    for (auto _ : state) {
        (void)_;
        benchmark::DoNotOptimize(codegen::generate_code(*form));
    }
}
BENCHMARK(BM_GenerateFullDesign);

void BM_HoverMoveOverCanvas(benchmark::State& state) {
    const auto form = full_design();
    float x = 0;
    for (auto _ : state) {
        (void)_;
        x = x > 9000 ? 0 : x + 15;
        form->mouse_move(0, 0, x, 3000);
    }
}
BENCHMARK(BM_HoverMoveOverCanvas);

// What every user action costs the undo history: the design taken as a value
// and compared with the last one (no change, the common case), and the same
// when the action moved a picture and so makes a step.
void BM_DesignStepNoChange(benchmark::State& state) {
    const auto form = full_design();
    History history;
    history.after_action(form.get(), false);
    for (auto _ : state) {
        (void)_;
        history.after_action(form.get(), false);
    }
}
BENCHMARK(BM_DesignStepNoChange);

void BM_DesignStepWithChange(benchmark::State& state) {
    const auto form = full_design();
    History history;
    history.after_action(form.get(), false);
    float dx = 15;
    for (auto _ : state) {
        (void)_;
        form->Image(1).left += dx;
        dx = -dx;
        history.after_action(form.get(), false);
    }
}
BENCHMARK(BM_DesignStepWithChange);

} // namespace

BENCHMARK_MAIN();
