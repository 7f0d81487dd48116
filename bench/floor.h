// The floor every redraw is measured against: one memset of the 640x384
// 24-bit pixel memory a redraw fills.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

inline void MemsetCanvasFloor(benchmark::State& state) {
    std::vector<std::uint8_t> bits(1920 * 384);
    int v = 0;
    for (auto _ : state) {
        std::memset(bits.data(), ++v & 0xFF, bits.size());
        benchmark::DoNotOptimize(bits.data());
        benchmark::ClobberMemory();
    }
}
