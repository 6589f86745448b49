// TGA decode beside stb_image on the same bytes, and TGA encode in the three modes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#include <stb_image.h>

#include "texlib/read.h"
#include "texlib/tga.h"

namespace {

constexpr int kSide = 2048;

// Sprite-like content: flat areas (runs) mixed with noisy detail (raw packets).
std::vector<uint32_t> makeImage() {
    std::vector<uint32_t> px(size_t(kSide) * kSide);
    uint32_t seed = 12345;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool flat = ((x / 64) + (y / 64)) % 2 == 0;
            px[size_t(y) * kSide + x] = flat ? 0xFF2040A0u : (seed | 0xFF000000u);
        }
    return px;
}

const std::vector<uint8_t>& encoded(int mode) {
    static std::vector<uint8_t> files[3];
    if (files[mode].empty()) {
        auto px = makeImage();
        const std::string path = "/tmp/tarquil_bench_" + std::to_string(mode) + ".tga";
        txWriteTGA(path, kSide, kSide, px.data(), mode);
        std::string err;
        txLoadFile(path, files[mode], err);
        std::remove(path.c_str());
    }
    return files[mode];
}

void decodeOurs(benchmark::State& state, int mode) {
    const auto& bytes = encoded(mode);
    for (auto _ : state) {
        TxStream s(bytes.data(), bytes.size());
        TxMip mip;
        TxReadContext ctx;
        if (!txMipRead(mip, "bench.tga", s, TX_PREFER_ARGB8888, ctx)) state.SkipWithError("read");
        benchmark::DoNotOptimize(mip.data[0]);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}

void decodeStb(benchmark::State& state, int mode) {
    const auto& bytes = encoded(mode);
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* p = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 4);
        if (!p) state.SkipWithError("stb");
        benchmark::DoNotOptimize(p);
        stbi_image_free(p);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}

void encode(benchmark::State& state, int mode) {
    static const auto px = makeImage();
    for (auto _ : state) {
        if (txWriteTGA("/tmp/tarquil_bench_out.tga", kSide, kSide, px.data(), mode) != 0)
            state.SkipWithError("write");
    }
    std::remove("/tmp/tarquil_bench_out.tga");
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}

}  // namespace

BENCHMARK_CAPTURE(decodeOurs, raw, TX_TGA_NONE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeStb, raw, TX_TGA_NONE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeOurs, rle, TX_TGA_RLE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeStb, rle, TX_TGA_RLE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, none, TX_TGA_NONE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, normal, TX_TGA_RLE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, scanline, TX_TGA_RLE_ROWS)->Unit(benchmark::kMillisecond);
