// Font texture generation at 32 points with 4x4 antialiasing (target: under 0.2 s for the 8-bit
// set), beside stb_truetype baking the same characters at the same enlarged size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include "document/document.h"
#include "tests/scripted_prompts.h"
#include "texlib/stream.h"
#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_generator.h"

namespace {

FontPreset benchPreset(int filter) {
    FontPreset p = FontPreset::standard();
    p.fontName = "DejaVu Sans";
    p.fontSize = 32;
    p.antialias = 2;
    p.char8 = 1;
    p.filter = filter;
    return p;
}

// The whole command: layout, rendering, the new document, the downscale and the items.
void generate(benchmark::State& state, int filter) {
    ScriptedPrompts prompts;
    size_t chars = 0;
    for (auto _ : state) {
        std::unique_ptr<CBitmapDoc> doc;
        FontPreset p = benchPreset(filter);
        DocumentContext context;
        CBitmapDoc* made = CBitmapDoc::generateFontTexture(p, prompts, context, [&](Prompts& pr) {
            doc = std::make_unique<CBitmapDoc>(context);
            return doc->onNewDocument(pr) ? doc.get() : nullptr;
        });
        if (!made) {
            state.SkipWithError("generation failed");
            break;
        }
        chars = size_t(made->positions().count());
        benchmark::DoNotOptimize(made->frames()->currentFrame()->pixels());
    }
    state.counters["chars"] = double(chars);
}

// Layout and rendering of the enlarged coverage only.
void renderOnly(benchmark::State& state, int filter) {
    const FontPreset p = benchPreset(filter);
    for (auto _ : state) {
        FontLayout L;
        std::string msg;
        if (fontRender(p, L, msg) != FONT_GEN_OK) {
            state.SkipWithError(msg.c_str());
            break;
        }
        benchmark::DoNotOptimize(L.coverage.data());
    }
}

// Peer: stb_truetype bakes codes 32-255 (as Windows-1252 characters) at the same enlarged em
// height into a bitmap of the same width.
void stbBake(benchmark::State& state) {
    FontFaceMatch m;
    std::vector<uint8_t> file;
    std::string err;
    if (!fontFindFace("DejaVu Sans", 0, m, &err) || !txLoadFile(m.file, file, err)) {
        state.SkipWithError("DejaVu Sans not found");
        return;
    }
    stbtt_fontinfo info;
    if (!stbtt_InitFont(&info, file.data(), stbtt_GetFontOffsetForIndex(file.data(), m.index))) {
        state.SkipWithError("stb_truetype cannot read the face");
        return;
    }
    const int em = (32 * 96 / 72) * 4;
    const float scale = stbtt_ScaleForMappingEmToPixels(&info, float(em));
    const int width = 1024, height = 8192;
    std::vector<uint8_t> bitmap(size_t(width) * height);
    for (auto _ : state) {
        std::fill(bitmap.begin(), bitmap.end(), 0);
        int x = 0, y = 0, rowH = 0;
        for (int code = 32; code < 256; ++code) {
            const int g = stbtt_FindGlyphIndex(&info, int(fontCp1252ToUnicode(code)));
            int x0, y0, x1, y1;
            stbtt_GetGlyphBitmapBox(&info, g, scale, scale, &x0, &y0, &x1, &y1);
            const int w = x1 - x0, h = y1 - y0;
            if (x + w > width) {
                x = 0;
                y += rowH;
                rowH = 0;
            }
            if (y + h > height) break;
            stbtt_MakeGlyphBitmap(&info, bitmap.data() + size_t(y) * width + x, w, h, width, scale,
                                  scale, g);
            x += w;
            rowH = std::max(rowH, h);
        }
        benchmark::DoNotOptimize(bitmap.data());
    }
}

}  // namespace

BENCHMARK_CAPTURE(generate, eightBitAll_32pt_4x4, FONT_FILTER_ALL)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(generate, standard_32pt_4x4, FONT_FILTER_GRAPH | FONT_FILTER_ONEOF)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderOnly, eightBitAll_32pt_4x4, FONT_FILTER_ALL)->Unit(benchmark::kMillisecond);
BENCHMARK(stbBake)->Unit(benchmark::kMillisecond);
