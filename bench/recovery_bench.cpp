// SPDX-License-Identifier: GPL-2.0-or-later
// The recovery copy's costs: a design step on the UI thread, now that the writer
// is woken for each copy instead of looking on its own; and a start in a folder
// that ended programs filled with copies.
#include "document/document.h"
#include "document/recovery.h"
#include "fakes.h"
#include "program.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

fs::path bench_folder(const std::string& what) {
    return fs::temp_directory_path() /
           ("padscreen-bench-" + what + "-" + std::to_string(::getpid()));
}

// Only the step and the hand-over: the writer is idle at each, as at a user's pace.
void BM_DesignStepWithRecovery(benchmark::State& state) {
    const fs::path folder = bench_folder("step");
    fakes::Platform platform;
    document::Document document({platform.services, "bench", folder.string()});
    Program& program = document.program();
    program.start();
    tk::Label& hotspot = program.form1()->lbl(1);
    hotspot.visible = true;
    float dx = 15;
    for (auto _ : state) {
        (void)_;
        const Clock::time_point begin = Clock::now();
        program.run([&] { hotspot.left += dx; });
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
        dx = -dx;
        document.flush();
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_DesignStepWithRecovery)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A start among state.range(0) copies that cannot be read, each with the lock of a
// program that ended; the folder is looked through beside it, after it (three read,
// the rest kept or removed).
void BM_StartAmongOldCopies(benchmark::State& state) {
    const fs::path folder = bench_folder("start");
    for (auto _ : state) {
        (void)_;
        fakes::Platform platform;
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (int k = 0; k < state.range(0); ++k) {
            const fs::path copy = folder / ("design-" + std::to_string(k) + ".padscreen");
            std::ofstream(copy) << "{";
            std::ofstream{fs::path(copy).replace_extension(".lock")};
        }
        const Clock::time_point begin = Clock::now();
        const document::Document document({platform.services, "bench", folder.string()});
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
        benchmark::DoNotOptimize(document.offer());
    }
    fs::remove_all(folder);
}
// The start does not wait for the folder: its time is short, and a benchmark would
// run it many times over, each filling the folder anew.
BENCHMARK(BM_StartAmongOldCopies)
    ->Arg(10)
    ->Arg(10000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
