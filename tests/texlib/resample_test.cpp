// Area-averaging resampling, mipmap generation and the export's size rules.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/texlib/test_util.h"
#include "texlib/read.h"
#include "texlib/resample.h"

namespace {

std::vector<uint32_t> resized(const TxMip& src, int w, int h) {
    TxMip dst;
    EXPECT_TRUE(txMipInit(dst, w, h, src.depth, TX_FMT_ARGB8888));
    txImageResize(dst, src);
    const auto* p = reinterpret_cast<const uint32_t*>(dst.data[0]);
    return std::vector<uint32_t>(p, p + size_t(w) * size_t(h));
}

uint32_t grey(uint32_t v) { return (v << 24) | (v << 16) | (v << 8) | v; }

// Weights as overlaps of unit intervals: source texel i covers [i D, (i+1) D), destination
// texel j covers [j S, (j+1) S).
std::vector<int> reference1d(const std::vector<int>& in, int D) {
    const int S = int(in.size());
    std::vector<int> out(static_cast<size_t>(D));
    for (int j = 0; j < D; ++j) {
        int64_t sum = 0;
        for (int i = 0; i < S; ++i) {
            const int64_t lo = std::max<int64_t>(int64_t(i) * D, int64_t(j) * S);
            const int64_t hi = std::min<int64_t>(int64_t(i + 1) * D, int64_t(j + 1) * S);
            if (hi > lo) sum += (hi - lo) * in[size_t(i)];
        }
        out[size_t(j)] = int(sum / S);
    }
    return out;
}

}  // namespace

TEST(Resample, KnownOneDimensionalValues) {
    const uint32_t t0 = 0xFF000000u | (30u << 16) | 7u, t1 = 0x80000000u | (91u << 16) | 200u,
                   t2 = 0x00000000u | (254u << 16) | 1u;
    const auto down = resized(image(3, 1, {t0, t1, t2}), 2, 1);
    // (2 t0 + t1) / 3 and (t1 + 2 t2) / 3, truncated per channel.
    EXPECT_EQ(down[0], (uint32_t((2 * 255 + 128) / 3) << 24) | (uint32_t((60 + 91) / 3) << 16) |
                           uint32_t((14 + 200) / 3));
    EXPECT_EQ(down[1],
              (uint32_t(128 / 3) << 24) | (uint32_t((91 + 508) / 3) << 16) | uint32_t(202 / 3));
    const auto up = resized(image(2, 1, {grey(10), grey(21)}), 3, 1);
    EXPECT_EQ(up, (std::vector<uint32_t>{grey(10), grey(15), grey(21)}));
    EXPECT_EQ(resized(image(1, 1, {0x12345678u}), 4, 1), std::vector<uint32_t>(4, 0x12345678u));
    EXPECT_EQ(resized(image(1, 4, {grey(1), grey(2), grey(3), grey(5)}), 1, 1),
              std::vector<uint32_t>{grey(2)});  // 11 / 4 truncated
    // Identity into another block copies.
    const std::vector<uint32_t> px = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(resized(image(3, 2, px), 3, 2), px);
}

TEST(Resample, WeightsSumExactlyForEverySizePair) {
    ErrorCapture cap;
    for (int s = 1; s <= 24; ++s)
        for (int d = 1; d <= 24; ++d) {
            const TxMip src = image(s, d, std::vector<uint32_t>(size_t(s * d), 0xFEFDFCFBu));
            // Both directions at once: s x d to d x s.
            const auto out = resized(src, d, s);
            for (uint32_t p : out) ASSERT_EQ(p, 0xFEFDFCFBu) << s << "->" << d;
        }
    const TxMip big = image(1000, 3, std::vector<uint32_t>(3000, 0xFFFFFFFFu));
    for (uint32_t p : resized(big, 7, 999)) ASSERT_EQ(p, 0xFFFFFFFFu);
    EXPECT_TRUE(gErrors.empty());
}

TEST(Resample, TwoDimensionsAgreeWithOverlapWeights) {
    std::mt19937 rng(3);
    const int sizes[][4] = {
        {7, 5, 3, 2}, {3, 3, 2, 2}, {5, 9, 8, 4}, {16, 16, 5, 11}, {2, 7, 9, 3}};
    for (const auto& sz : sizes) {
        const int sw = sz[0], sh = sz[1], dw = sz[2], dh = sz[3];
        std::vector<uint32_t> px(size_t(sw * sh));
        for (auto& p : px) p = rng();
        const auto out = resized(image(sw, sh, px), dw, dh);
        for (int shift : {0, 8, 16, 24}) {
            // Rows first (each truncated), then columns.
            std::vector<std::vector<int>> rows;
            for (int y = 0; y < sh; ++y) {
                std::vector<int> r;
                for (int x = 0; x < sw; ++x)
                    r.push_back(int((px[size_t(y * sw + x)] >> shift) & 0xFF));
                rows.push_back(reference1d(r, dw));
            }
            for (int x = 0; x < dw; ++x) {
                std::vector<int> col;
                for (int y = 0; y < sh; ++y) col.push_back(rows[size_t(y)][size_t(x)]);
                const auto c = reference1d(col, dh);
                for (int y = 0; y < dh; ++y)
                    ASSERT_EQ(int((out[size_t(y * dw + x)] >> shift) & 0xFF), c[size_t(y)])
                        << sw << "x" << sh << "->" << dw << "x" << dh << " at " << x << "," << y;
            }
        }
    }
}

TEST(Resample, EveryLevelAndRefusals) {
    // Two levels: 4x2 + 2x1 scaled to 2x2 + 1x1.
    const TxMip src = image(4, 2,
                            {grey(0), grey(4), grey(8), grey(12), grey(0), grey(4), grey(8),
                             grey(12), grey(100), grey(50)},
                            2);
    TxMip dst;
    ASSERT_TRUE(txMipInit(dst, 2, 2, 2, TX_FMT_ARGB8888));
    txImageResize(dst, src);
    const auto* l0 = reinterpret_cast<const uint32_t*>(dst.data[0]);
    EXPECT_EQ(l0[0], grey(2));
    EXPECT_EQ(l0[3], grey(10));
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(dst.data[1])[0], grey(75));

    ErrorCapture cap;
    TxMip p8;
    ASSERT_TRUE(txMipInit(p8, 2, 2, 1, TX_FMT_P8));
    txImageResize(p8, src);
    ASSERT_EQ(gErrors.size(), 1u);
    EXPECT_EQ(gErrors[0], "Bad image format in txMipResample.");
    gErrors.clear();
    TxMip empty;
    empty.format = TX_FMT_ARGB8888;
    empty.width = empty.height = empty.depth = 1;
    txImageResize(empty, src);
    ASSERT_EQ(gErrors.size(), 1u);
    EXPECT_EQ(gErrors[0], "txImageResize: Null buffer\n");
    // A destination with fewer levels than the source is refused, not overrun.
    gErrors.clear();
    TxMip oneLevel;
    ASSERT_TRUE(txMipInit(oneLevel, 2, 2, 1, TX_FMT_ARGB8888));
    txImageResize(oneLevel, src);
    ASSERT_EQ(gErrors.size(), 1u);
    EXPECT_EQ(gErrors[0], "txImageResize: no miplevel present\n");
}

TEST(Resample, MipmapAverages) {
    TxMip m;
    ASSERT_TRUE(txMipInit(m, 2, 2, 2, TX_FMT_ARGB8888));
    auto* p = reinterpret_cast<uint32_t*>(m.data[0]);
    p[0] = 0x01000000u | 0x000001u;
    p[1] = 0x01000000u | 0x000002u;
    p[2] = 0x00000000u | 0x0000FFu;
    p[3] = 0xFF000000u | 0x0000FFu;
    txMipGenerateMipmaps(m);
    // Per channel (sum + 2) >> 2: alpha (1+1+0+255+2)/4 = 64, blue (1+2+255+255+2)/4 = 128.
    EXPECT_EQ(reinterpret_cast<uint32_t*>(m.data[1])[0], 0x40000080u);

    // A 1x8 column: 1x4, 1x2, 1x1 by vertical pairs with (a + b + 1) >> 1.
    TxMip col;
    ASSERT_TRUE(txMipInit(col, 1, 8, 4, TX_FMT_ARGB8888));
    auto* c = reinterpret_cast<uint32_t*>(col.data[0]);
    const uint32_t v[8] = {0, 1, 2, 4, 10, 20, 255, 255};
    for (int k = 0; k < 8; ++k) c[k] = grey(v[k]);
    txMipGenerateMipmaps(col);
    const auto* l1 = reinterpret_cast<uint32_t*>(col.data[1]);
    EXPECT_EQ(l1[0], grey(1));
    EXPECT_EQ(l1[1], grey(3));
    EXPECT_EQ(l1[2], grey(15));
    EXPECT_EQ(l1[3], grey(255));
    const auto* l2 = reinterpret_cast<uint32_t*>(col.data[2]);
    EXPECT_EQ(l2[0], grey(2));
    EXPECT_EQ(l2[1], grey(135));
    EXPECT_EQ(reinterpret_cast<uint32_t*>(col.data[3])[0], grey(69));

    // A row behaves the same way horizontally; a level below 1x1 copies it.
    TxMip row;
    ASSERT_TRUE(txMipInit(row, 2, 1, 3, TX_FMT_ARGB8888));
    auto* r = reinterpret_cast<uint32_t*>(row.data[0]);
    r[0] = grey(3);
    r[1] = grey(6);
    txMipGenerateMipmaps(row);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(row.data[1])[0], grey(5));
    EXPECT_EQ(reinterpret_cast<uint32_t*>(row.data[2])[0], grey(5));

    // A level whose parent is not a power of two is left alone.
    TxMip odd;
    ASSERT_TRUE(txMipInit(odd, 3, 2, 2, TX_FMT_ARGB8888));
    txMipFill(odd, 0x11);
    txMipGenerateMipmaps(odd);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(odd.data[1])[0], 0x11111111u);
}

TEST(Resample, ExportSizeRules) {
    int w = 0, h = 0;
    txExportResampleSize(100, 300, true, -1, -1, w, h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 256);
    txExportResampleSize(512, 16, true, -1, -1, w, h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 16);
    txExportResampleSize(16, 1000, true, -1, -1, w, h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 128);
    txExportResampleSize(300, 100, true, 1, 1, w, h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    txExportResampleSize(256, 256, true, 1, 8, w, h);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 256);
    // A forced aspect may exceed the image when one part alone is larger.
    txExportResampleSize(4, 4, true, 8, 1, w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 1);
    txExportResampleSize(100, 100, false, 64, 32, w, h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 32);
}

TEST(Resample, ExportLevelCount) {
    EXPECT_EQ(txExportLevelCount(256, 64, true, -1), 9);
    EXPECT_EQ(txExportLevelCount(256, 64, true, 3), 3);
    EXPECT_EQ(txExportLevelCount(256, 64, true, 12), 9);
    EXPECT_EQ(txExportLevelCount(1, 1, true, -1), 1);
    EXPECT_EQ(txExportLevelCount(32768, 1, true, -1), 16);
    EXPECT_EQ(txExportLevelCount(256, 256, false, 32), 4);
    EXPECT_EQ(txExportLevelCount(256, 256, false, 256), 1);
    // A size of 0 or less counts as 1 instead of running past the last level.
    EXPECT_EQ(txExportLevelCount(4, 4, false, 0), 3);
    EXPECT_EQ(txExportLevelCount(4, 4, false, -5), 3);
    EXPECT_EQ(txExportLevelCount(32768, 32768, false, 0), 16);
}
