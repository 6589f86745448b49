// One frame of the document view: a 1280 x 800 window over a 4096 x 4096 picture with the grid
// on, at zoom 1 and 8, scrolled to the middle, beside a memcpy of the window's 4 MB of pixels in
// the same run (the least any painting of that window costs). Target: under 8 ms a frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "document/document.h"
#include "view/view_render.h"
#include "view/view_state.h"

namespace {

constexpr int kSide = 4096, kClientW = 1280, kClientH = 800;

CBitmapDoc& picture() {
    static CBitmapDoc doc;
    if (!doc.frames() || !doc.frames()->currentFrame()) {
        auto seq = std::make_unique<FrameSequence>();
        seq->addBlankFrames(kSide, kSide, 1);
        uint32_t seed = 12345;
        uint32_t* px = seq->frameAt(0)->pixels();
        for (size_t i = 0; i < size_t(kSide) * kSide; ++i) {
            seed = seed * 1664525u + 1013904223u;
            px[i] = seed;
        }
        doc.setFrames(std::move(seq));
    }
    return doc;
}

void renderFrame(benchmark::State& state, int zoom, GridMode mode) {
    ViewPreferences prefs;
    prefs.startMode = mode == GridMode::Isometric;
    ViewState view(&picture(), prefs);
    view.setZoom(zoom);
    view.toggleGrid();
    view.setSelection(TxRect{100, 100, 3000, 3000});
    const int sx = (kSide * zoom - kClientW) / 2, sy = (kSide * zoom - kClientH) / 2;
    ImageBuffer out;
    int step = 0;
    for (auto _ : state) {
        // Scrolling by a few pixels each frame, as while dragging or playing.
        view.setViewport(sx + (step & 7), sy + (step & 3), kClientW, kClientH);
        ++step;
        renderView(view, out);
        benchmark::DoNotOptimize(out.pixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kClientW * kClientH * 4);
}

void BM_RenderZoom1Grid(benchmark::State& s) { renderFrame(s, 1, GridMode::Normal); }
void BM_RenderZoom8Grid(benchmark::State& s) { renderFrame(s, 8, GridMode::Normal); }
void BM_RenderZoom1IsoGrid(benchmark::State& s) { renderFrame(s, 1, GridMode::Isometric); }
void BM_RenderZoom8IsoGrid(benchmark::State& s) { renderFrame(s, 8, GridMode::Isometric); }

void BM_MemcpyViewport(benchmark::State& state) {
    const CBitmapDoc& doc = picture();
    const uint32_t* src = doc.frames()->frameAt(0)->pixels();
    std::vector<uint32_t> out(size_t(kClientW) * kClientH);
    for (auto _ : state) {
        for (int y = 0; y < kClientH; ++y)
            std::memcpy(&out[size_t(y) * kClientW], src + size_t(1000 + y) * kSide + 1000,
                        size_t(kClientW) * 4);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kClientW * kClientH * 4);
}

}  // namespace

BENCHMARK(BM_MemcpyViewport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderZoom1Grid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderZoom8Grid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderZoom1IsoGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderZoom8IsoGrid)->Unit(benchmark::kMillisecond);
