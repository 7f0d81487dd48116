// A change in the conversion dialog: the kept cells adjusted and their
// colours chosen again, by each method, beside the floor of one pass over
// the cells (their nearest colours). A change must show within a frame
// (16 ms). And the files of frames.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "documents/documents.h"
#include "documents/photo_conversion.h"
#include "documents/program_export.h"

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

// A picture of 256 frames saved and opened (a file of 256 KiB), beside one
// page saved: under 10 ms of CPU each.
std::vector<lores::LoresPage> ManyFrames() {
    std::vector<lores::LoresPage> frames(256);
    for (std::size_t k = 0; k < frames.size(); ++k)
        for (std::size_t i = 0; i < lores::PageBytes; ++i) frames[k][i] = static_cast<std::uint8_t>(i * 7 + k);
    return frames;
}
const std::string& FramesPath() {
    static const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                                    "/vornel-bench-frames-" + std::to_string(getpid());
    return path;
}

void BM_FloorSaveOnePage(benchmark::State& state) {
    const std::vector<lores::LoresPage> one(1);
    for (auto _ : state) benchmark::DoNotOptimize(documents::WriteFramesBytes(FramesPath(), one).ok);
}
BENCHMARK(BM_FloorSaveOnePage)->Unit(benchmark::kMillisecond);

void BM_Save256Frames(benchmark::State& state) {
    const auto frames = ManyFrames();
    for (auto _ : state) benchmark::DoNotOptimize(documents::WriteFramesBytes(FramesPath(), frames).ok);
}
BENCHMARK(BM_Save256Frames)->Unit(benchmark::kMillisecond);

void BM_Open256Frames(benchmark::State& state) {
    documents::WriteFramesBytes(FramesPath(), ManyFrames());
    std::vector<lores::LoresPage> read;
    for (auto _ : state) benchmark::DoNotOptimize(documents::ReadFramesFile(FramesPath(), read).bytes);
    std::remove(FramesPath().c_str());
}
BENCHMARK(BM_Open256Frames)->Unit(benchmark::kMillisecond);

// The BASIC program of each real page beside the plain one (one HLIN or
// PLOT a run of a colour in a row, colours grouped): its tokenized bytes
// (goal: at most 3,072), the plain program's, and their ratio; the time is
// the time to make the program.
void BasicProgram(benchmark::State& state, const char* name, bool mixed) {
    std::FILE* f = std::fopen((std::string(VORNEL_SOURCE_DIR "/../shared/realworld/") + name).c_str(), "rb");
    lores::LoresPage page{};
    if (!f || std::fread(page.data(), 1, page.size(), f) != page.size()) {
        if (f) std::fclose(f);
        state.SkipWithError("the real pages are not beside this tree");
        return;
    }
    std::fclose(f);
    std::size_t bytes = 0;
    for (auto _ : state) bytes = documents::TokenizeApplesoft(documents::BasicListing(page, mixed)).size();
    const auto plain = documents::TokenizeApplesoft(documents::BasicListing(page, mixed, true)).size();
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["plain"] = static_cast<double>(plain);
    state.counters["ratio"] = static_cast<double>(bytes) / static_cast<double>(plain);
}
BENCHMARK_CAPTURE(BasicProgram, TB1, "TB1.GR", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BasicProgram, MODE7DEMO, "MODE7DEMO.GR", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BasicProgram, CHIPTUNE, "CHIPTUNE.GR", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BasicProgram, Spaceship, "spaceship_far_n.gr", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BasicProgram, MODE7DEMOMixed, "MODE7DEMO.GR", true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
