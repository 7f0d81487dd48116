// Box drawing and PNG writing, each beside the floor it cannot beat:
// a memset of the same pixel memory, and zlib's level-9 compress2 of the same rows.
#include <benchmark/benchmark.h>

#include "floor.h"
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "lores/lores_page.h"
#include "lores/startup_picture.h"
#include "runtime/images.h"
#include "runtime/png_encoder.h"

namespace {

void DrawPage(int number) {
    const lores::LoresPage& page = lores::StartupPicture();
    runtime::BeginDrawing(runtime::ImageDrawTarget(number));
    for (int r = 0; r < lores::TextRows; ++r)
        for (int x = 0; x < lores::PageWidth; ++x) {
            const std::uint8_t b = page[lores::RowBaseTable[r] + x];
            runtime::FillBox(16 * x, 16 * r, 16, 8, lores::LoresPalette[b & 15]);
            runtime::FillBox(16 * x, 16 * r + 8, 16, 8, lores::LoresPalette[(b >> 4) & 15]);
        }
    runtime::EndDrawing();
}

void BM_RedrawFloorMemset(benchmark::State& state) { MemsetCanvasFloor(state); }
BENCHMARK(BM_RedrawFloorMemset);

void BM_Redraw1920Boxes(benchmark::State& state) {
    runtime::InitImages();
    runtime::CreateImageObject(200, 640, 384);
    for (auto _ : state) {
        DrawPage(200);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Redraw1920Boxes);

void BM_PngFloorCompress2(benchmark::State& state) {
    runtime::InitImages();
    runtime::CreateImageObject(200, 640, 384);
    DrawPage(200);
    const runtime::ImagePixels& px = *runtime::ImageRecordOf(200).pixels;
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < 384; ++y) {
        raw.push_back(0);
        const std::uint8_t* row = px.bits.data() + (383 - y) * px.stride;
        raw.insert(raw.end(), row, row + 1920);
    }
    std::vector<std::uint8_t> out(compressBound(raw.size()));
    for (auto _ : state) {
        uLongf n = out.size();
        compress2(out.data(), &n, raw.data(), raw.size(), 9);
        state.counters["bytes"] = static_cast<double>(n);
    }
}
BENCHMARK(BM_PngFloorCompress2)->Unit(benchmark::kMillisecond);

void BM_PngSaveImageObject(benchmark::State& state) {
    runtime::InitImages();
    runtime::RegisterPngEncoder();
    runtime::CreateImageObject(200, 640, 384);
    DrawPage(200);
    const std::string path = "/tmp/vornel-bench-export.png";
    for (auto _ : state) {
        if (!runtime::SaveImageObject(200, path, runtime::EncoderPng)) state.SkipWithError("save failed");
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        std::fseek(f, 0, SEEK_END);
        state.counters["bytes"] = static_cast<double>(std::ftell(f));
        std::fclose(f);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_PngSaveImageObject)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
