// Image operations and mask passes on one 4096 x 4096 frame (64 MiB of pixels), each reported in
// bytes per second beside a plain memcpy of the same bytes measured in the same run. Operations
// that build a new pixel block (crop, canvas, projection) are compared with a memcpy into a fresh
// block as well, since the first touch of new memory is part of their cost.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "edit/image_ops.h"
#include "edit/mask_ops.h"
#include "model/frame_sequence.h"
#include "model/image_buffer.h"

namespace {

constexpr int kSide = 4096;
constexpr int64_t kBytes = int64_t(kSide) * kSide * 4;

// A sprite sheet: a transparent ground with opaque, textured sprites in a 3000 x 3000 middle.
const Frame& source() {
    static Frame f;
    if (!f.pixels()) {
        f.createBlank(kSide, kSide);
        uint32_t seed = 12345;
        for (int y = 548; y < 3548; ++y)
            for (int x = 548; x < 3548; ++x) {
                seed = seed * 1664525u + 1013904223u;
                if (((x / 96) + (y / 96)) % 3 != 0)
                    f.pixels()[size_t(y) * kSide + x] = 0xFF000000u | (seed >> 8);
            }
    }
    return f;
}

// A private copy of the source, made outside the timed region.
std::unique_ptr<Frame> freshCopy(benchmark::State& state) {
    state.PauseTiming();
    auto f = std::make_unique<Frame>(source());
    state.ResumeTiming();
    return f;
}

void BM_Memcpy(benchmark::State& state) {
    const uint32_t* src = source().pixels();
    std::unique_ptr<uint32_t[]> dst(new uint32_t[size_t(kBytes / 4)]);
    std::memset(dst.get(), 0, size_t(kBytes));
    for (auto _ : state) {
        std::memcpy(dst.get(), src, size_t(kBytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

// memcpy into a block just taken from malloc, as the operations that allocate do.
void BM_MemcpyFreshBlock(benchmark::State& state) {
    const uint32_t* src = source().pixels();
    for (auto _ : state) {
        void* dst = std::malloc(size_t(kBytes));
        std::memcpy(dst, src, size_t(kBytes));
        benchmark::DoNotOptimize(dst);
        std::free(dst);
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_Crop(benchmark::State& state) {
    // Eight pixels off every edge: the output is nearly the whole frame.
    const TxRect r{8, 8, kSide - 8, kSide - 8};
    for (auto _ : state) {
        auto f = freshCopy(state);
        if (f->crop(r) != FE_OK) state.SkipWithError("crop");
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(r.width()) * r.height() * 4);
}

void BM_FlipHorizontal(benchmark::State& state) {
    Frame f(source());
    for (auto _ : state) {
        f.mirror();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_FlipVertical(benchmark::State& state) {
    Frame f(source());
    for (auto _ : state) {
        f.flip();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_ResizeCanvasCentred(benchmark::State& state) {
    constexpr int kNew = kSide + 64;
    for (auto _ : state) {
        auto f = freshCopy(state);
        if (f->resizeCanvas(kNew, kNew, true) != FE_OK) state.SkipWithError("canvas");
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kNew) * kNew * 4);
}

// The projection writes a canvas twice the frame's size; the figure counts the frame's bytes.
void BM_IsoProjection(benchmark::State& state) {
    for (auto _ : state) {
        auto f = freshCopy(state);
        if (f->isoTransform() != FE_OK) state.SkipWithError("iso");
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_AutoCropSearch(benchmark::State& state) {
    FrameSequence seq;
    Frame* f = seq.append();
    f->createBlank(kSide, kSide);
    std::memcpy(f->pixels(), source().pixels(), size_t(kBytes));
    for (auto _ : state) {
        TxRect r;
        if (autoCropBounds(seq, r) != FE_OK) state.SkipWithError("autocrop");
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

// Search and crop together, as the document's auto crop runs them.
void BM_AutoCropWhole(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        FrameSequence seq;
        Frame* f = seq.append();
        f->createBlank(kSide, kSide);
        std::memcpy(f->pixels(), source().pixels(), size_t(kBytes));
        state.ResumeTiming();
        TxRect r;
        if (autoCropBounds(seq, r) != FE_OK || seq.crop(r) != FE_OK)
            state.SkipWithError("autocrop");
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MaskAlphaGrey(benchmark::State& state) {
    ImageBuffer mask;
    for (auto _ : state) {
        maskFromAlphaGrey(mask, source());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MaskOneBit(benchmark::State& state) {
    ImageBuffer mask;
    for (auto _ : state) {
        maskOneBit(mask, source(), 128);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MaskIntensity(benchmark::State& state) {
    ImageBuffer mask;
    for (auto _ : state) {
        maskIntensity(mask, source());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MaskBorder(benchmark::State& state) {
    ImageBuffer mask;
    for (auto _ : state) {
        maskBorder(mask, source());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MaskKeyColour(benchmark::State& state) {
    ImageBuffer mask;
    for (auto _ : state) {
        maskFromKeyColour(mask, source(), 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MaskInvert(benchmark::State& state) {
    ImageBuffer mask;
    maskFromAlphaGrey(mask, source());
    for (auto _ : state) {
        maskInvert(mask);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_WriteMaskToAlpha(benchmark::State& state) {
    Frame f(source());
    ImageBuffer mask;
    maskIntensity(mask, f);
    for (auto _ : state) {
        f.alphaFromMask(&mask);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_KeyColourToAlpha(benchmark::State& state) {
    Frame f(source());
    for (auto _ : state) {
        keyColourToAlpha(f, 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBytes);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyFreshBlock)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipHorizontal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipVertical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeCanvasCentred)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsoProjection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoCropSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoCropWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskAlphaGrey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskOneBit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskIntensity)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskBorder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskKeyColour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskInvert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteMaskToAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyColourToAlpha)->Unit(benchmark::kMillisecond);
