// A change in the conversion dialog: the kept cells adjusted and their
// colours chosen again, by each method, beside the floor of one pass over
// the cells (their nearest colours). A change must show within a frame
// (16 ms).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "documents/photo_conversion.h"

namespace {

// A picture with the detail of a photograph: gradients under a fine pattern.
const documents::LinearCells& Cells() {
    static const documents::LinearCells cells = [] {
        const int w = 600, h = 400;
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4, 255);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
                p[0] = static_cast<std::uint8_t>(128 + 127 * std::sin(x * 0.05 + y * 0.01));
                p[1] = static_cast<std::uint8_t>(y * 255 / h);
                p[2] = static_cast<std::uint8_t>((x * y) % 251);
            }
        return documents::AverageIntoCells(rgba.data(), w, h, documents::FitMode::Fit);
    }();
    return cells;
}

void Change(benchmark::State& state, documents::DitherMethod method) {
    const auto& palette = lores::Palettes().front().colours;
    int step = 0;
    for (auto _ : state) {
        documents::LinearCells cells = Cells();
        documents::Adjust(cells, {++step % 20, 10, -5});
        benchmark::DoNotOptimize(documents::ChooseColours(cells, palette, method));
    }
}

void BM_FloorNearestColours(benchmark::State& state) {
    const auto& palette = lores::Palettes().front().colours;
    for (auto _ : state) benchmark::DoNotOptimize(documents::ChooseColours(Cells(), palette, documents::DitherMethod::None));
}
BENCHMARK(BM_FloorNearestColours)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Change, Search, documents::DitherMethod::Search)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Change, FloydSteinberg, documents::DitherMethod::FloydSteinberg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Change, Ordered, documents::DitherMethod::Ordered)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
