// Texture export speed: area-averaging resampling beside stb_image_resize's box filter on the same
// pixels, dithered conversions, palette and NCC tables, and a whole export.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize.h>

#include "texlib/mip_filter.h"
#include "texlib/quantize.h"
#include "texlib/resample.h"
#include "texlib/tex3df.h"

namespace {

// A photo-like test image: smooth gradients with some noise, so palettes and dithering work on
// realistic colour spreads.
const TxMip& sourceImage(int side) {
    static TxMip images[3];
    TxMip& m = images[side == 4096 ? 0 : side == 2048 ? 1 : 2];
    if (!m.data[0]) {
        txMipInit(m, side, side, 1, TX_FMT_ARGB8888);
        auto* p = reinterpret_cast<uint32_t*>(m.data[0]);
        std::mt19937 rng(42);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const uint32_t n = rng() & 0x1F;
                const uint32_t r = uint32_t(x * 255 / side), g = uint32_t(y * 255 / side);
                const uint32_t b = uint32_t(((x ^ y) & 0xFF) / 2 + n);
                const uint32_t a = 255 - uint32_t((x + y) * 127 / side);
                p[size_t(y) * size_t(side) + size_t(x)] =
                    (a << 24) | (r << 16) | (g << 8) | (b & 0xFF);
            }
    }
    return m;
}

void BM_TxImageResize(benchmark::State& state) {
    const TxMip& src = sourceImage(4096);
    TxMip dst;
    txMipInit(dst, int(state.range(0)), int(state.range(1)), 1, TX_FMT_ARGB8888);
    for (auto _ : state) {
        txImageResize(dst, src);
        benchmark::DoNotOptimize(dst.data[0]);
    }
    state.SetItemsProcessed(state.iterations() * 4096 * 4096);
    state.SetLabel("source Mpx/s as items");
}

void BM_StbBoxResize(benchmark::State& state) {
    const TxMip& src = sourceImage(4096);
    const int w = int(state.range(0)), h = int(state.range(1));
    std::vector<uint8_t> out(size_t(w) * size_t(h) * 4);
    for (auto _ : state) {
        stbir_resize_uint8_generic(src.data[0], 4096, 4096, 0, out.data(), w, h, 0, 4,
                                   STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_BOX,
                                   STBIR_COLORSPACE_LINEAR, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 4096 * 4096);
    state.SetLabel("source Mpx/s as items");
}

void quantizeBench(benchmark::State& state, int format, int dither, int ncc) {
    const TxMip& src = sourceImage(2048);
    TxMip dst;
    txMipInit(dst, 2048, 2048, 1, format);
    for (auto _ : state) {
        txQuantize(dst, src, format, dither, ncc);
        benchmark::DoNotOptimize(dst.data[0]);
    }
    state.SetItemsProcessed(state.iterations() * 2048 * 2048);
}

void BM_Ordered_rgb565(benchmark::State& s) {
    quantizeBench(s, TX_FMT_RGB565, TX_DITHER_ORDERED, 0);
}
void BM_Diffusion_rgb565(benchmark::State& s) {
    quantizeBench(s, TX_FMT_RGB565, TX_DITHER_ERR_DIFFUSION, 0);
}
void BM_Ordered_argb4444(benchmark::State& s) {
    quantizeBench(s, TX_FMT_ARGB4444, TX_DITHER_ORDERED, 0);
}
void BM_Diffusion_argb4444(benchmark::State& s) {
    quantizeBench(s, TX_FMT_ARGB4444, TX_DITHER_ERR_DIFFUSION, 0);
}
void BM_MedianCut_p8(benchmark::State& s) { quantizeBench(s, TX_FMT_P8, TX_DITHER_NONE, 0); }
void BM_MedianCutDiffusion_p8(benchmark::State& s) {
    quantizeBench(s, TX_FMT_P8, TX_DITHER_ERR_DIFFUSION, 0);
}
void BM_NccStatistic_yiq(benchmark::State& s) {
    quantizeBench(s, TX_FMT_YIQ, TX_DITHER_NONE, TX_NCC_STATISTIC);
}
void BM_NccHeuristic_yiq(benchmark::State& s) {
    quantizeBench(s, TX_FMT_YIQ, TX_DITHER_NONE, TX_NCC_HEURISTIC);
}

// The whole export of a 1024x1024 image: all mipmap levels, rgb565 with error diffusion, written
// as a 3DF file.
void BM_Export1024_rgb565_diffusion(benchmark::State& state) {
    const TxMip& img = sourceImage(1024);
    TxExportOptions o;
    o.format = TX_FMT_RGB565;
    o.dither = TX_DITHER_ERR_DIFFUSION;
    o.mipmap = 1;
    o.allLevels = 1;
    o.levelLimit = -1;
    o.output = TX_OUTPUT_3DF;
    const std::string path = "/tmp/tarquil_export_bench.3df";
    for (auto _ : state) {
        if (txMipWrite3df(img, o, path) != TX_EXPORT_OK) state.SkipWithError("export failed");
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}

}  // namespace

// One mipmap step, 2048x2048 to 1024x1024: args filter (0 box, 1 triangle, 2 kaiser) and sRGB.
void BM_MipChainLevel1(benchmark::State& state) {
    const TxMip& src = sourceImage(2048);
    TxMip m;
    txMipInit(m, 2048, 2048, 2, TX_FMT_ARGB8888);
    std::memcpy(m.data[0], src.data[0], size_t(2048) * 2048 * 4);
    const TxMipChainOptions o{int(state.range(0)), state.range(1) != 0, false};
    for (auto _ : state) {
        txMipBuildChain(m, o);
        benchmark::DoNotOptimize(m.data[1]);
    }
    state.SetItemsProcessed(state.iterations() * 2048 * 2048);
    state.SetLabel("source Mpx/s as items");
}

// The peer: stb_image_resize halving the same pixels with its triangle filter, in sRGB or not.
void BM_StbTriangleHalve(benchmark::State& state) {
    const TxMip& src = sourceImage(2048);
    std::vector<uint8_t> out(size_t(1024) * 1024 * 4);
    const stbir_colorspace space = state.range(0) ? STBIR_COLORSPACE_SRGB : STBIR_COLORSPACE_LINEAR;
    for (auto _ : state) {
        stbir_resize_uint8_generic(src.data[0], 2048, 2048, 0, out.data(), 1024, 1024, 0, 4, 3, 0,
                                   STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE, space, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 2048 * 2048);
    state.SetLabel("source Mpx/s as items");
}

BENCHMARK(BM_MipChainLevel1)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbTriangleHalve)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TxImageResize)->Args({1024, 1024})->Args({1000, 700})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbBoxResize)->Args({1024, 1024})->Args({1000, 700})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ordered_rgb565)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Diffusion_rgb565)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ordered_argb4444)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Diffusion_argb4444)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MedianCut_p8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MedianCutDiffusion_p8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NccStatistic_yiq)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NccHeuristic_yiq)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export1024_rgb565_diffusion)->Unit(benchmark::kMillisecond);
