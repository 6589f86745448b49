// Quantisation of argb8888 images into the texture formats: exact texels, dithering, palettes.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/texlib/test_util.h"
#include "texlib/convert.h"
#include "texlib/ncc.h"
#include "texlib/quantize.h"
#include "texlib/read.h"

namespace {

TxMip quantize(const TxMip& src, int format, int dither, int ncc = TX_NCC_STATISTIC) {
    TxMip dst;
    EXPECT_TRUE(txMipInit(dst, src.width, src.height, src.depth, format));
    txQuantize(dst, src, format, dither, ncc);
    return dst;
}

uint32_t word(const TxMip& m, size_t k) {
    switch (txBytesPerTexel(m.format)) {
    case 1: return m.data[0][k];
    case 2: return reinterpret_cast<const uint16_t*>(m.data[0])[k];
    default: return reinterpret_cast<const uint32_t*>(m.data[0])[k];
    }
}

// The error diffusion exactly as written: a row of width + 1 terms and a carry.
std::vector<int> referenceDiffusion(const std::vector<int>& channel, int w, int h, int bits) {
    std::vector<int> e(size_t(w) + 1, 0), out;
    const int scale = (1 << (bits + 8)) - 1;
    for (int y = 0; y < h; ++y) {
        int carry = 0;
        for (int x = 0; x < w; ++x) {
            const int v = channel[size_t(y * w + x)] + carry + e[size_t(x)];
            const int c = v < 0 ? 0 : (v > 255 ? 255 : v);
            const int q = int(float(c * scale) * 0.003921569f) / 256;
            const int err = v - int(txWiden(uint32_t(q), bits));
            e[size_t(x)] = (x > 0 ? e[size_t(x)] : 0) + int(0.375 * err);
            e[size_t(x) + 1] = int(0.25 * err);
            carry = int(0.375 * err);
            out.push_back(q);
        }
    }
    return out;
}

}  // namespace

TEST(Quantize, PlainFormatsGiveExactTexels) {
    const TxMip src = image(2, 1, {0x80FF8040u, 0x01000000u});
    struct Case {
        int format;
        uint32_t first, second;
    } cases[] = {
        {TX_FMT_RGB332, 0xF1, 0x00},
        {TX_FMT_A8, 0x80, 0x01},
        {TX_FMT_I8, 159, 0},
        {TX_FMT_AI44, 0x89, 0x00},
        {TX_FMT_ARGB8332, 0x80F1, 0x0100},
        {TX_FMT_RGB565, 0xFC08, 0x0000},
        {TX_FMT_ARGB1555, 0xFE08, 0x8000},
        {TX_FMT_ARGB4444, 0x8F84, 0x0000},
        {TX_FMT_AI88, 0x809F, 0x0100},
        {TX_FMT_ARGB8888, 0x80FF8040u, 0x01000000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(txFormatName(c.format));
        for (int dither : {TX_DITHER_NONE}) {
            const TxMip q = quantize(src, c.format, dither);
            EXPECT_EQ(q.format, c.format);
            EXPECT_EQ(word(q, 0), c.first);
            EXPECT_EQ(word(q, 1), c.second);
        }
    }
    const TxMip rgb = quantize(src, TX_FMT_RGB888, TX_DITHER_NONE);
    EXPECT_EQ(std::vector<uint8_t>(rgb.data[0], rgb.data[0] + 6),
              (std::vector<uint8_t>{0xFF, 0x80, 0x40, 0, 0, 0}));
    // Formats without dithering variants give the same texels whatever the mode.
    for (int f : {TX_FMT_A8, TX_FMT_I8, TX_FMT_AI88, TX_FMT_ARGB8888})
        for (int dither : {TX_DITHER_ORDERED, TX_DITHER_ERR_DIFFUSION})
            EXPECT_EQ(word(quantize(src, f, dither), 0), word(quantize(src, f, 0), 0));
}

TEST(Quantize, EveryLevelIsConverted) {
    // 2x2 level 0 then a 1x1 level: both must be converted, each at its own place.
    const TxMip src =
        image(2, 2, {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu}, 2);
    const TxMip q = quantize(src, TX_FMT_RGB565, TX_DITHER_NONE);
    const auto* w = reinterpret_cast<const uint16_t*>(q.data[0]);
    EXPECT_EQ(w[0], 0xF800);
    EXPECT_EQ(w[3], 0xF800);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(q.data[1])[0], 0x001F);
    EXPECT_EQ(q.data[1], q.data[0] + 8);
}

TEST(Quantize, OrderedDitherFollowsTheMatrix) {
    const TxMip src = image(4, 4, std::vector<uint32_t>(16, 0xFF808080u));
    const TxMip q = quantize(src, TX_FMT_RGB565, TX_DITHER_ORDERED);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int m = kTxDitherMatrix[y][x];
            // round(128 x 16 x 31 / 255) = 249 and round(128 x 16 x 63 / 255) = 506.
            const uint32_t r = m >= 7 ? 16 : 15, g = m >= 6 ? 32 : 31;
            EXPECT_EQ(word(q, size_t(y * 4 + x)), (r << 11) | (g << 5) | r) << x << "," << y;
        }
    // argb4444 keeps the alpha nibble undithered; ai44 dithers the rounded luminance.
    const TxMip src2 = image(4, 1, std::vector<uint32_t>(4, 0x7F808080u));
    const TxMip q4 = quantize(src2, TX_FMT_ARGB4444, TX_DITHER_ORDERED);
    // round(128 x 16 x 15 / 255) = 120: (m + 120) / 16 is 8 once m >= 8.
    EXPECT_EQ(word(q4, 0), 0x7777u);
    EXPECT_EQ(word(q4, 1), 0x7888u);
    const TxMip qi = quantize(src2, TX_FMT_AI44, TX_DITHER_ORDERED);
    EXPECT_EQ(word(qi, 0), 0x77u);
    EXPECT_EQ(word(qi, 1), 0x78u);
    // Alpha 1 sets the argb1555 alpha bit, alpha 0 clears it.
    const TxMip a =
        quantize(image(2, 1, {0x01000000u, 0x00FFFFFFu}), TX_FMT_ARGB1555, TX_DITHER_ORDERED);
    EXPECT_EQ(word(a, 0) & 0x8000, 0x8000u);
    EXPECT_EQ(word(a, 1) & 0x8000, 0u);
}

TEST(Quantize, ErrorDiffusionKnownPattern) {
    // Grey 6 to rgb565: 5-bit channels alternate 0/1, each row starting where E[0] leaves it;
    // the 6-bit green settles on 1.
    const TxMip src = image(4, 3, std::vector<uint32_t>(12, 0xFF060606u));
    const TxMip q = quantize(src, TX_FMT_RGB565, TX_DITHER_ERR_DIFFUSION);
    const uint32_t a = 0x0020, b = 0x0821;
    const uint32_t want[12] = {a, b, a, b, b, a, b, a, a, b, a, b};
    for (size_t k = 0; k < 12; ++k) EXPECT_EQ(word(q, k), want[k]) << k;
}

TEST(Quantize, ErrorDiffusionMatchesTheRowOfErrorTerms) {
    // A gradient with noise, diffused to rgb565, argb4444 and rgb332, against the literal
    // reference loop (row array of width + 1 terms).
    const int w = 37, h = 21;
    std::mt19937 rng(7);
    std::vector<uint32_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t base = uint32_t(x * 255 / (w - 1));
            const uint32_t n = rng() & 0x0F;
            const uint32_t r = std::min<uint32_t>(255, base + n), g = (base * 3 / 4 + n),
                           b = 255 - base;
            // The lower rows are full-range noise, the hardest case for the carried error.
            px.push_back(y >= h / 2 ? (0x80000000u | (rng() & 0xFFFFFF))
                                    : (0x80000000u | (r << 16) | (g << 8) | b));
        }
    const TxMip src = image(w, h, px);
    auto channel = [&](int shift) {
        std::vector<int> c;
        for (uint32_t p : px) c.push_back(int((p >> shift) & 0xFF));
        return c;
    };
    struct Fmt {
        int format, rb, gb, bb, rs, gs, bs;
        uint32_t alpha;
    } fmts[] = {{TX_FMT_RGB565, 5, 6, 5, 11, 5, 0, 0},
                {TX_FMT_ARGB4444, 4, 4, 4, 8, 4, 0, 0x8000},
                {TX_FMT_RGB332, 3, 3, 2, 5, 2, 0, 0},
                {TX_FMT_ARGB1555, 5, 5, 5, 10, 5, 0, 0x8000}};
    for (const auto& f : fmts) {
        SCOPED_TRACE(txFormatName(f.format));
        const TxMip q = quantize(src, f.format, TX_DITHER_ERR_DIFFUSION);
        const auto r = referenceDiffusion(channel(16), w, h, f.rb);
        const auto g = referenceDiffusion(channel(8), w, h, f.gb);
        const auto b = referenceDiffusion(channel(0), w, h, f.bb);
        for (size_t k = 0; k < px.size(); ++k) {
            const uint32_t want = f.alpha | (uint32_t(r[k]) << f.rs) | (uint32_t(g[k]) << f.gs) |
                                  (uint32_t(b[k]) << f.bs);
            ASSERT_EQ(word(q, k), want) << k;
        }
    }
    // ai44: the rounded luminance diffused to 4 bits, the alpha nibble kept.
    const TxMip qi = quantize(src, TX_FMT_AI44, TX_DITHER_ERR_DIFFUSION);
    std::vector<int> lum;
    for (uint32_t p : px)
        lum.push_back(int(0.3f * float((p >> 16) & 0xFF) + 0.59f * float((p >> 8) & 0xFF) +
                          0.11f * float(p & 0xFF) + 0.5f));
    const auto li = referenceDiffusion(lum, w, h, 4);
    for (size_t k = 0; k < px.size(); ++k) ASSERT_EQ(word(qi, k), 0x80u | uint32_t(li[k])) << k;
}

TEST(Quantize, ExplodedDistanceOrdersBitPlanes) {
    EXPECT_EQ(txExplode(0), 0u);
    EXPECT_EQ(txExplode(-3), 9u);
    EXPECT_EQ(txExplode(255), 0x249249u);
    // A difference of 2 in blue outweighs 1 in green, which outweighs 1 in red.
    const uint32_t pal[3] = {0x000002, 0x000100, 0x010000};
    EXPECT_EQ(txExplodedDistance(0, pal[0]), 8u);
    EXPECT_EQ(txExplodedDistance(0, pal[1]), 4u);
    EXPECT_EQ(txExplodedDistance(0, pal[2]), 2u);
    EXPECT_EQ(txNearestPaletteIndex(0xFF000000u, pal, 3), 2);
    EXPECT_EQ(txNearestPaletteIndex(0xFF000000u, pal, 2), 1);
    // Equal distances: the first entry wins.
    const uint32_t same[2] = {0x101010, 0x101010};
    EXPECT_EQ(txNearestPaletteIndex(0x121212, same, 2), 0);
    ErrorCapture cap;
    EXPECT_EQ(txExplode(300), 0x249249u);
    ASSERT_EQ(gErrors.size(), 1u);
    EXPECT_EQ(gErrors[0], "Bad explode\n");
}

TEST(Quantize, MedianCutOnTwoColours) {
    std::vector<uint32_t> px;
    for (int k = 0; k < 8; ++k) px.push_back(k < 4 ? 0x40000000u : 0xC0FFFFFFu);
    const TxMip src = image(4, 2, px);
    const TxMip p = quantize(src, TX_FMT_P8, TX_DITHER_NONE);
    EXPECT_EQ(p.pal[0], 0x000000u);
    EXPECT_EQ(p.pal[1], 0xFFFFFFu);
    EXPECT_EQ(p.pal[2], 0u);
    for (size_t k = 0; k < 8; ++k) EXPECT_EQ(word(p, k), k < 4 ? 0u : 1u);
    const TxMip ap = quantize(src, TX_FMT_AP88, TX_DITHER_NONE);
    EXPECT_EQ(word(ap, 0), 0x4000u);
    EXPECT_EQ(word(ap, 7), 0xC001u);
    TxMip dst;
    ASSERT_TRUE(txMipInit(dst, 4, 2, 1, TX_FMT_P8));
    uint32_t pal[256];
    EXPECT_EQ(txMedianCut(dst, src, false, pal), 2);
    // A single colour gives one box, whose error is 0 from the start.
    const TxMip grey = quantize(image(2, 2, std::vector<uint32_t>(4, 0xFF808080u)), TX_FMT_P8, 0);
    EXPECT_EQ(grey.pal[0], 0x848484u);  // cell 16 -> trunc(16 x 8.225806 + 0.5) = 132
    EXPECT_EQ(grey.pal[1], 0u);
    EXPECT_EQ(word(grey, 3), 0u);
}

TEST(Quantize, MedianCutPaletteAndDiffusion) {
    // Many colours: at most 256 entries, every texel's index within the palette, and the
    // diffused image decodes close to the source on average.
    const int w = 64, h = 64;
    std::vector<uint32_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back(0xFF000000u | (uint32_t(x * 4) << 16) | (uint32_t(y * 4) << 8) |
                         uint32_t((x + y) * 2));
    const TxMip src = image(w, h, px);
    TxMip dst;
    ASSERT_TRUE(txMipInit(dst, w, h, 1, TX_FMT_P8));
    uint32_t pal[256];
    const int n = txMedianCut(dst, src, false, pal);
    EXPECT_EQ(n, 256);
    for (int dither : {TX_DITHER_NONE, TX_DITHER_ERR_DIFFUSION}) {
        const TxMip q = quantize(src, TX_FMT_P8, dither);
        double total = 0;
        for (size_t k = 0; k < px.size(); ++k) {
            const uint32_t c = q.pal[word(q, k)];
            for (int s : {0, 8, 16})
                total += std::abs(int((c >> s) & 0xFF) - int((px[k] >> s) & 0xFF));
        }
        EXPECT_LT(total / double(px.size() * 3), 6.0) << dither;
    }
    // Ordered dithering has no palette variant: same indices as without dithering.
    const TxMip none = quantize(src, TX_FMT_P8, TX_DITHER_NONE);
    const TxMip ord = quantize(src, TX_FMT_P8, TX_DITHER_ORDERED);
    EXPECT_EQ(0, std::memcmp(none.data[0], ord.data[0], size_t(w * h)));
    // Diffusion against a palette starts every row afresh: a one-row image diffused equals the
    // first row of a taller one.
    const TxMip diff = quantize(src, TX_FMT_P8, TX_DITHER_ERR_DIFFUSION);
    TxMip row8;
    ASSERT_TRUE(txMipInit(row8, w, 1, 1, TX_FMT_P8));
    const TxMip row = image(w, 1, std::vector<uint32_t>(px.begin() + w, px.begin() + 2 * w));
    txDiffusePalette(row8, row, false, diff.pal, 256);
    EXPECT_EQ(0, std::memcmp(row8.data[0], diff.data[0] + w, size_t(w)));
}

TEST(Quantize, ReservedFormatsAndBadArgumentsConvertNothing) {
    ErrorCapture cap;
    const TxMip src = image(2, 2, {1, 2, 3, 4});
    for (int f : {int(TX_FMT_RSVD1), int(TX_FMT_RSVD2), int(TX_FMT_RSVD4), 18, -1}) {
        gErrors.clear();
        TxMip dst;
        ASSERT_TRUE(txMipInit(dst, 2, 2, 1, TX_FMT_ARGB8888));
        txMipFill(dst, 0xAB);
        txQuantize(dst, src, f, 0, 0);
        ASSERT_EQ(gErrors.size(), 1u);
        EXPECT_EQ(gErrors[0], "Bad data format in Quantize\n");
        EXPECT_EQ(dst.format, TX_FMT_ARGB8888);
        EXPECT_EQ(dst.data[0][0], 0xAB);
    }
    // A destination too small for the target format is refused rather than overrun.
    gErrors.clear();
    TxMip small;
    ASSERT_TRUE(txMipInit(small, 2, 2, 1, TX_FMT_P8));
    txQuantize(small, src, TX_FMT_ARGB8888, 0, 0);
    EXPECT_EQ(gErrors.size(), 1u);
    EXPECT_EQ(small.format, TX_FMT_P8);
}

TEST(Quantize, StatisticNccRanges) {
    // Under 100 texels the 1% threshold is 0 and every range stays 0..255.
    const TxNccRanges few =
        txNccStatisticRanges(image(9, 9, std::vector<uint32_t>(81, 0xFF646464u)));
    EXPECT_EQ(few.yMin, 0);
    EXPECT_EQ(few.yMax, 255);
    // A larger single-grey image of luminance 100 brackets it by one on either side.
    const TxNccRanges one =
        txNccStatisticRanges(image(10, 10, std::vector<uint32_t>(100, 0xFF646464u)));
    EXPECT_EQ(one.yMin, 99);
    EXPECT_EQ(one.yMax, 101);
    // 1000 texels: 10 bright ones are at the 1% edge and count; 9 are ignored.
    auto mix = [&](int bright) {
        std::vector<uint32_t> px(1000, 0xFF323232u);
        for (int k = 0; k < bright; ++k) px[size_t(k)] = 0xFFC8C8C8u;
        return txNccStatisticRanges(image(100, 10, px));
    };
    EXPECT_EQ(mix(10).yMin, 49);
    EXPECT_EQ(mix(10).yMax, 201);
    EXPECT_EQ(mix(9).yMax, 51);
}

TEST(Quantize, StatisticNccTable) {
    const TxNccTable t = txNccStatisticTable(TxNccRanges{});
    for (int k = 0; k < 16; ++k) EXPECT_EQ(t.y[k], 17 * k);
    const int wantI[4][3] = {{-144, 43, 170}, {-47, 14, 57}, {48, -13, -56}, {145, -42, -169}};
    const int wantQ[4][3] = {{-81, 85, -228}, {-26, 28, -75}, {27, -27, 76}, {82, -84, 229}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(t.i[r][c], wantI[r][c]) << r << c;
            EXPECT_EQ(t.q[r][c], wantQ[r][c]) << r << c;
        }
    const TxNccTable n = txNccStatisticTable(TxNccRanges{99, 101, 0, 255, 0, 255});
    const int wantY[16] = {99,  99,  99,  99,  100, 100, 100, 100,
                           100, 100, 100, 100, 101, 101, 101, 101};
    for (int k = 0; k < 16; ++k) EXPECT_EQ(n.y[k], wantY[k]) << k;
}

TEST(Quantize, StatisticNccMapping) {
    // Grey 100 over 100 texels: Y range 99..101, so the Y index is round(15 / 2) = 8.
    const TxMip src = image(10, 10, std::vector<uint32_t>(100, 0x7F646464u));
    const TxMip q = quantize(src, TX_FMT_AYIQ8422, TX_DITHER_NONE);
    EXPECT_EQ(q.format, TX_FMT_AYIQ8422);
    EXPECT_EQ(word(q, 0) >> 12, 0x7u);
    EXPECT_EQ((word(q, 0) >> 4) & 0xF, 8u);
    const TxNccTable t = txNccFromPal(q.pal);
    EXPECT_EQ(t.y[8], 100);
    // Every texel decodes to nearly the source grey, with its alpha, in each dithering mode.
    for (int dither : {TX_DITHER_NONE, TX_DITHER_ORDERED, TX_DITHER_ERR_DIFFUSION}) {
        const TxMip d = quantize(src, TX_FMT_AYIQ8422, dither);
        std::vector<uint32_t> back(100);
        ASSERT_TRUE(txConvertLevelToArgb8888(d, 0, back.data()));
        for (uint32_t p : back) {
            EXPECT_EQ(p >> 24, 0x7Fu);
            for (int s : {0, 8, 16}) EXPECT_NEAR(int((p >> s) & 0xFF), 100, 4) << dither;
        }
    }
}

TEST(Quantize, HeuristicNccIsReproducibleAndClose) {
    std::vector<uint32_t> px;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            px.push_back(0xFF000000u | (uint32_t(x * 8) << 16) | (uint32_t(128) << 8) |
                         uint32_t(y * 8));
    const TxMip src = image(32, 32, px);
    for (int dither : {TX_DITHER_NONE, TX_DITHER_ERR_DIFFUSION}) {
        const TxMip a = quantize(src, TX_FMT_YIQ, dither, TX_NCC_HEURISTIC);
        const TxMip b = quantize(src, TX_FMT_YIQ, dither, TX_NCC_HEURISTIC);
        EXPECT_EQ(a.format, TX_FMT_YIQ);
        EXPECT_EQ(0, std::memcmp(a.data[0], b.data[0], size_t(a.size)));
        EXPECT_EQ(0, std::memcmp(a.pal, b.pal, sizeof a.pal));
        const TxNccTable t = txNccFromPal(a.pal);
        for (int k = 0; k < 16; ++k) {
            EXPECT_GE(t.y[k], 0);
            EXPECT_LE(t.y[k], 255);
        }
        std::vector<uint32_t> back(px.size());
        ASSERT_TRUE(txConvertLevelToArgb8888(a, 0, back.data()));
        double total = 0;
        for (size_t k = 0; k < px.size(); ++k)
            for (int s : {0, 8, 16})
                total += std::abs(int((back[k] >> s) & 0xFF) - int((px[k] >> s) & 0xFF));
        EXPECT_LT(total / double(px.size() * 3), 40.0) << dither;
    }
    // ayiq8422 keeps each texel's alpha beside the index.
    std::vector<uint32_t> alpha = px;
    for (size_t k = 0; k < alpha.size(); ++k)
        alpha[k] = (alpha[k] & 0xFFFFFF) | (uint32_t(k & 0xFF) << 24);
    const TxMip q =
        quantize(image(32, 32, alpha), TX_FMT_AYIQ8422, TX_DITHER_NONE, TX_NCC_HEURISTIC);
    for (size_t k = 0; k < alpha.size(); ++k) ASSERT_EQ(word(q, k) >> 8, k & 0xFF);
}

TEST(Quantize, FixedPaletteLookupFollowsPaletteContents) {
    uint32_t pal[256];
    for (int k = 0; k < 256; ++k) pal[k] = 0xFFFFFFu;  // all far from black...
    pal[10] = 0x000000;                                // ...but entry 10
    const TxMip src = image(2, 1, {0xFF000000u, 0xFF080808u});
    TxMip dst;
    ASSERT_TRUE(txMipInit(dst, 2, 1, 1, TX_FMT_P8));
    _txPixTrueToFixedPal(dst, src, pal, TX_FIXED_PAL_CACHE);
    EXPECT_EQ(dst.data[0][0], 10);
    EXPECT_EQ(dst.data[0][1], 10);
    // Refill the same array: the cached answers must not survive the change.
    pal[10] = 0xFFFFFF;
    pal[200] = 0x000000;
    _txPixTrueToFixedPal(dst, src, pal, TX_FIXED_PAL_CACHE);
    EXPECT_EQ(dst.data[0][0], 200);
    _txPixTrueToFixedPal(dst, src, pal, 0);
    EXPECT_EQ(dst.data[0][1], 200);
    // Squared distances, not exploded ones: black is nearer to (4,0,0) than to (0,3,3) (16
    // against 18) although the exploded distance prefers the latter; the first of equals wins.
    uint32_t sq[256];
    for (int k = 0; k < 256; ++k) sq[k] = 0xFFFFFF;
    sq[3] = 0x040000;
    sq[4] = 0x000303;
    sq[5] = 0x040000;
    EXPECT_EQ(txNearestPaletteIndex(0, sq, 256), 4);
    const TxMip s2 = image(1, 1, {0xFF000000u});
    TxMip d2;
    ASSERT_TRUE(txMipInit(d2, 1, 1, 1, TX_FMT_P8));
    _txPixTrueToFixedPal(d2, s2, sq, 0);
    EXPECT_EQ(d2.data[0][0], 3);
}

TEST(Quantize, PaletteDiffusionMatchesPlainNearestSearch) {
    // The literal palette diffusion (row of error terms zeroed per row, nearest entry by a scan of
    // the whole palette) against the library's, on random palettes that include duplicates.
    std::mt19937 rng(11);
    const int w = 29, h = 9;
    for (int round = 0; round < 4; ++round) {
        const int count = round == 0 ? 256 : 1 + int(rng() % 200);
        std::vector<uint32_t> pal(static_cast<size_t>(count));
        for (auto& p : pal) p = rng() & (round == 1 ? 0xE0E0E0u : 0xFFFFFFu);
        if (count > 3) pal[size_t(count - 1)] = pal[1];
        std::vector<uint32_t> px(static_cast<size_t>(w * h));
        for (auto& p : px) p = rng();
        const TxMip src = image(w, h, px);
        TxMip dst;
        ASSERT_TRUE(txMipInit(dst, w, h, 1, TX_FMT_AP88));
        txDiffusePalette(dst, src, true, pal.data(), count);
        for (int y = 0; y < h; ++y) {
            std::vector<int> e(size_t(w) * 3 + 3, 0);
            int carry[3] = {0, 0, 0};
            for (int x = 0; x < w; ++x) {
                const uint32_t p = px[size_t(y * w + x)];
                int v[3], c[3];
                for (int k = 0; k < 3; ++k) {
                    v[k] = int((p >> (16 - 8 * k)) & 0xFF) + carry[k] + e[size_t(x * 3 + k)];
                    c[k] = std::clamp(v[k], 0, 255);
                }
                const int idx = txNearestPaletteIndex(uint32_t((c[0] << 16) | (c[1] << 8) | c[2]),
                                                      pal.data(), count);
                ASSERT_EQ(word(dst, size_t(y * w + x)), ((p >> 24) << 8) | uint32_t(idx))
                    << round << " " << x << "," << y;
                for (int k = 0; k < 3; ++k) {
                    const int err = v[k] - int((pal[size_t(idx)] >> (16 - 8 * k)) & 0xFF);
                    e[size_t(x * 3 + k)] = (x > 0 ? e[size_t(x * 3 + k)] : 0) + int(0.375 * err);
                    e[size_t((x + 1) * 3 + k)] = int(0.25 * err);
                    carry[k] = int(0.375 * err);
                }
            }
        }
    }
}
