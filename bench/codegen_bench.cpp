// Code generation on a 10,000-item position list: the Standard preset, sorted orders, texture
// coordinates and a header with braces; beside it the C library's snprintf formatting the same
// Standard line with a fixed format (what an unchecked generator would cost), and the position
// text file writer and reader.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "model/position_files.h"
#include "tools/codegen/code_generator.h"

namespace {

constexpr int kItems = 10000;

const PositionList& sheet() {
    static const PositionList list = [] {
        PositionList l;
        uint32_t seed = 2024;
        for (int i = 0; i < kItems; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int x = int(seed % 4000), y = int((seed >> 12) % 4000);
            l.append(TxRect{x, y, x + 16 + int(seed % 48), y + 16 + int((seed >> 20) % 48)},
                     "sprite_" + std::to_string(seed % 100000));
        }
        return l;
    }();
    return list;
}

std::tm when() {
    std::tm t{};
    t.tm_year = 124;
    t.tm_mday = 1;
    return t;
}

void generate(benchmark::State& state, const std::string& editFormat, int sort, bool decorated) {
    const ParsedFormat f = parseFormat(editFormat);
    CodegenOptions o;
    o.sort = sort;
    o.comment = decorated;
    o.block = decorated;
    const std::tm t = when();
    std::string out;
    for (auto _ : state) {
        if (generateCode(f, sheet(), 4096, 4096, o, "/gfx/sheet.tga", t, out) != CODEGEN_OK)
            state.SkipWithError("generation failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kItems);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

void BM_CodegenStandard(benchmark::State& s) {
    generate(s, escapeFormat(kStandardFormat), POS_SORT_NONE, false);
}
void BM_CodegenStandardHeaderBraces(benchmark::State& s) {
    generate(s, escapeFormat(kStandardFormat), POS_SORT_NONE, true);
}
void BM_CodegenSortByName(benchmark::State& s) {
    generate(s, escapeFormat(kStandardFormat), POS_SORT_NAME, false);
}
void BM_CodegenSortByX1Y1(benchmark::State& s) {
    generate(s, escapeFormat(kStandardFormat), POS_SORT_X1Y1, false);
}
void BM_CodegenTexCoords(benchmark::State& s) {
    generate(s, "\"{%f,%f,%f,%f}, // %s #%d\\n\",s,t,u,v,name,index", POS_SORT_NONE, false);
}
void BM_CodegenFlagsAndWidths(benchmark::State& s) {
    generate(s, "\"%-24s = {%5d,%5d,%04x,%04x},\\n\",name,x1,y1,w,h", POS_SORT_NONE, false);
}

// Peer: the C library's snprintf with the fixed Standard format, one call per item, then the
// same final unescape pass.
void BM_PeerSnprintfStandard(benchmark::State& state) {
    const PositionList& l = sheet();
    std::string out;
    for (auto _ : state) {
        out.clear();
        char buf[1024];
        for (int i = 0; i < l.count(); ++i) {
            const PositionItem& it = l.at(i);
            const int k = std::snprintf(buf, sizeof buf, "{%d,%d,%d,%d},\\t//%s\\r\\n", it.x1(),
                                        it.y1(), it.x2(), it.y2(), it.name.c_str());
            out.append(buf, size_t(k));
        }
        out = unescapeFormat(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kItems);
}

void BM_ParseStandard(benchmark::State& state) {
    const std::string edit = escapeFormat(kStandardFormat);
    for (auto _ : state) benchmark::DoNotOptimize(parseFormat(edit).pieces.size());
}

void BM_PositionTextWriteRead(benchmark::State& state) {
    for (auto _ : state) {
        const std::string bytes = positionTextBytes(sheet());
        TxStream s(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        PositionList back;
        readPositionText(s, back, 8192, 8192);
        benchmark::DoNotOptimize(back.count());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kItems);
}

}  // namespace

BENCHMARK(BM_CodegenStandard)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerSnprintfStandard)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodegenStandardHeaderBraces)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodegenSortByName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodegenSortByX1Y1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodegenTexCoords)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodegenFlagsAndWidths)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseStandard);
BENCHMARK(BM_PositionTextWriteRead)->Unit(benchmark::kMicrosecond);
