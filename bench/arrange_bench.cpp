// Sheet arrangement: occupancy (area of the sprites / area of the sheet) and time of the row
// packer and of MaxRects on three sets of rectangles, both sides automatic. The row packer is the
// peer figure for MaxRects.
#include <benchmark/benchmark.h>

#include <random>

#include "tools/poslist/arrange.h"

namespace {

// 256 tiles of 32 x 32.
PositionList uniformSet() {
    PositionList list;
    for (int i = 0; i < 256; ++i) list.append(TxRect{0, 0, 32, 32}, "tile");
    return list;
}

// 200 sprites of mixed sizes: mostly small, some large, as a game's sprite sheet has them.
PositionList mixedSet() {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> small(8, 48), large(48, 128), pick(0, 3);
    PositionList list;
    for (int i = 0; i < 200; ++i) {
        const bool big = pick(rng) == 0;
        const int w = big ? large(rng) : small(rng);
        const int h = big ? large(rng) : small(rng);
        list.append(TxRect{0, 0, w, h}, "sprite");
    }
    return list;
}

// The 224 glyphs of characters 32 to 255 of a 24-pixel font: one line height, varied widths.
PositionList glyphSet() {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> width(4, 20);
    PositionList list;
    for (int c = 32; c < 256; ++c) list.append(TxRect{0, 0, width(rng), 24}, "glyph");
    return list;
}

void run(benchmark::State& state, const PositionList& list, int method, int padding) {
    ArrangeResult r;
    for (auto _ : state) {
        r = arrangeItems(list, 0, 0, method, padding);
        benchmark::DoNotOptimize(r.placed.data());
    }
    state.counters["occupancy_pct"] = 100.0 * arrangeOccupancy(r);
    state.counters["sheet_w"] = double(r.canvasWidth);
    state.counters["sheet_h"] = double(r.canvasHeight);
    state.counters["items"] = double(r.placed.size());
    if (!r.ok) state.SkipWithError("arrangement failed");
}

const PositionList& uniform() {
    static const PositionList l = uniformSet();
    return l;
}
const PositionList& mixed() {
    static const PositionList l = mixedSet();
    return l;
}
const PositionList& glyphs() {
    static const PositionList l = glyphSet();
    return l;
}

void BM_Rows_Uniform(benchmark::State& s) { run(s, uniform(), ARRANGE_ROWS, 0); }
void BM_MaxRects_Uniform(benchmark::State& s) { run(s, uniform(), ARRANGE_MAXRECTS, 0); }
void BM_Rows_Mixed(benchmark::State& s) { run(s, mixed(), ARRANGE_ROWS, 0); }
void BM_MaxRects_Mixed(benchmark::State& s) { run(s, mixed(), ARRANGE_MAXRECTS, 0); }
void BM_MaxRects_Mixed_Padding2(benchmark::State& s) { run(s, mixed(), ARRANGE_MAXRECTS, 2); }
void BM_Rows_Glyphs(benchmark::State& s) { run(s, glyphs(), ARRANGE_ROWS, 0); }
void BM_MaxRects_Glyphs(benchmark::State& s) { run(s, glyphs(), ARRANGE_MAXRECTS, 0); }

}  // namespace

BENCHMARK(BM_Rows_Uniform)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MaxRects_Uniform)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rows_Mixed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MaxRects_Mixed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MaxRects_Mixed_Padding2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rows_Glyphs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MaxRects_Glyphs)->Unit(benchmark::kMicrosecond);
