#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "texlib/convert.h"
#include "texlib/mip.h"

namespace {

uint32_t convertOne(int format, uint32_t texel, const uint32_t* pal = nullptr) {
    TxMip m;
    EXPECT_TRUE(txMipInit(m, 1, 1, 1, format));
    if (pal) std::memcpy(m.pal, pal, sizeof m.pal);
    std::memcpy(m.data[0], &texel, size_t(txBytesPerTexel(format)));
    uint32_t out = 0xDEADBEEF;
    EXPECT_TRUE(txConvertLevelToArgb8888(m, 0, &out));
    return out;
}

}  // namespace

TEST(Mip, BytesPerTexelAndNames) {
    EXPECT_EQ(txBytesPerTexel(0), 1);
    EXPECT_EQ(txBytesPerTexel(7), 1);
    EXPECT_EQ(txBytesPerTexel(8), 2);
    EXPECT_EQ(txBytesPerTexel(15), 2);
    EXPECT_EQ(txBytesPerTexel(16), 4);
    EXPECT_EQ(txBytesPerTexel(17), 3);
    EXPECT_EQ(txBytesPerTexel(18), 4);
    EXPECT_STREQ(txFormatName(1), "yiq");
    EXPECT_STREQ(txFormatName(16), "argb8888");
    EXPECT_EQ(txFormatName(17), nullptr);
    EXPECT_EQ(txFormatFromName("ayiq8422"), 9);
    EXPECT_EQ(txFormatFromName("rgb888"), -1);
}

TEST(Mip, LevelGeometryAndPointers) {
    TxMip m;
    ASSERT_TRUE(txMipInit(m, 256, 64, 9, TX_FMT_RGB565));
    const int expect[9][2] = {{256, 64}, {128, 32}, {64, 16}, {32, 8}, {16, 4},
                              {8, 2},    {4, 1},    {2, 1},   {1, 1}};
    int64_t offset = 0;
    for (int i = 0; i < 9; ++i) {
        int w, h;
        txMipLevelSize(m, i, w, h);
        EXPECT_EQ(w, expect[i][0]);
        EXPECT_EQ(h, expect[i][1]);
        EXPECT_EQ(m.data[i] - m.data[0], offset) << "level " << i;
        offset += int64_t(w) * h * 2;
    }
    EXPECT_EQ(m.size, offset);
    for (int i = 9; i < TX_MAX_LEVELS; ++i) EXPECT_EQ(m.data[i], nullptr);

    TxMip one;
    ASSERT_TRUE(txMipInit(one, 1, 1, 9, TX_FMT_ARGB8888));
    EXPECT_EQ(one.size, 9 * 4);
}

TEST(Mip, AllocationLimits) {
    TxMip m;
    EXPECT_FALSE(txMipInit(m, 0, 5, 1, TX_FMT_ARGB8888));
    EXPECT_FALSE(txMipInit(m, -3, 5, 1, TX_FMT_ARGB8888));
    EXPECT_FALSE(txMipInit(m, 40000, 1, 1, TX_FMT_ARGB8888));
    EXPECT_FALSE(txMipInit(m, 32768, 32768, 1, TX_FMT_ARGB8888));  // 4 GiB of pixels
    EXPECT_FALSE(txMipInit(m, 4, 4, 17, TX_FMT_ARGB8888));
    EXPECT_EQ(m.data[0], nullptr);
    EXPECT_EQ(txMipLevelBytes(TX_FMT_ARGB8888, 16384, 16384, 1), int64_t(1) << 30);
    EXPECT_EQ(txMipLevelBytes(TX_FMT_ARGB8888, 16384, 16385, 1), -1);
}

TEST(Mip, AspectLodAndPowers) {
    EXPECT_EQ(txAspectCode(256, 8), 0);
    EXPECT_EQ(txAspectCode(256, 32), 0);
    EXPECT_EQ(txAspectCode(8, 64), 6);
    EXPECT_EQ(txAspectCode(64, 64), 3);
    EXPECT_EQ(txAspectCode(128, 32), 1);
    EXPECT_EQ(txAspectCode(64, 32), 2);
    EXPECT_EQ(txAspectCode(32, 64), 4);
    EXPECT_EQ(txAspectCode(16, 64), 5);
    EXPECT_EQ(txAspectCode(3, 7), 4);  // 7/3 = 2, key 18
    EXPECT_STREQ(txAspectText(0), "8 1");
    EXPECT_STREQ(txAspectText(6), "1 8");
    EXPECT_EQ(txLodCode(256), 0);
    EXPECT_EQ(txLodCode(128), 1);
    EXPECT_EQ(txLodCode(1), 8);
    EXPECT_EQ(txLodCode(512), -1);
    EXPECT_EQ(txLodCode(3), -1);
    EXPECT_EQ(txLargestPowerOfTwo(256), 256);
    EXPECT_EQ(txLargestPowerOfTwo(300), 256);
    EXPECT_EQ(txLargestPowerOfTwo(1), 1);
}

TEST(Mip, WideningByBitReplication) {
    EXPECT_EQ(txWiden(1, 1), 255);
    EXPECT_EQ(txWiden(2, 2), 170);
    const int three[8] = {0, 36, 73, 109, 146, 182, 219, 255};
    for (int v = 0; v < 8; ++v) EXPECT_EQ(txWiden(uint32_t(v), 3), three[v]);
    EXPECT_EQ(txWiden(9, 4), 153);
    EXPECT_EQ(txWiden(0x11, 5), 0x8C);  // 10001 -> 10001100
    EXPECT_EQ(txWiden(0x21, 6), 0x86);  // 100001 -> 10000110
    EXPECT_EQ(txWiden(31, 5), 255);
    EXPECT_EQ(txWiden(63, 6), 255);
}

TEST(Mip, ConversionOfEveryFormat) {
    EXPECT_EQ(convertOne(TX_FMT_RGB332, 0xE3), 0xFFFF00FFu);  // red 7, green 0, blue 3
    EXPECT_EQ(convertOne(TX_FMT_RGB332, 0x49), 0xFF494955u);  // 010 010 01
    EXPECT_EQ(convertOne(TX_FMT_A8, 0x7F), 0x7F7F7F7Fu);
    EXPECT_EQ(convertOne(TX_FMT_I8, 0x40), 0xFF404040u);
    EXPECT_EQ(convertOne(TX_FMT_AI44, 0x3C), 0x33CCCCCCu);
    uint32_t pal[256] = {};
    pal[7] = 0x80102030u;
    EXPECT_EQ(convertOne(TX_FMT_P8, 7, pal), 0x80102030u);
    EXPECT_EQ(convertOne(TX_FMT_ARGB8332, 0x40E3), 0x40FF00FFu);
    EXPECT_EQ(convertOne(TX_FMT_RGB565, 0xF800), 0xFFFF0000u);
    EXPECT_EQ(convertOne(TX_FMT_RGB565, 0x07E0), 0xFF00FF00u);
    EXPECT_EQ(convertOne(TX_FMT_RGB565, 0x0841), 0xFF080808u);  // 1,2,1 widened
    EXPECT_EQ(convertOne(TX_FMT_ARGB1555, 0x801F), 0xFF0000FFu);
    EXPECT_EQ(convertOne(TX_FMT_ARGB1555, 0x7C00), 0x00FF0000u);
    EXPECT_EQ(convertOne(TX_FMT_ARGB4444, 0x1234), 0x11223344u);
    EXPECT_EQ(convertOne(TX_FMT_AI88, 0x80C0), 0x80C0C0C0u);
    EXPECT_EQ(convertOne(TX_FMT_AP88, 0x4007, pal), 0x40102030u);  // palette alpha ignored
    EXPECT_EQ(convertOne(TX_FMT_ARGB8888, 0x12345678u), 0x12345678u);
    EXPECT_EQ(convertOne(TX_FMT_RGB888, 0x030201), 0xFF010203u);  // bytes R, G, B in order

    // NCC: yiq takes alpha 255, ayiq8422 keeps its own; channels clamp to 0..255.
    TxNccTable ncc{};
    for (int k = 0; k < 16; ++k) ncc.y[k] = k * 16;
    ncc.i[1][0] = 300;
    ncc.i[1][1] = -20;
    ncc.q[2][2] = 5;
    uint32_t nccPal[256] = {};
    txNccToPal(ncc, nccPal);
    const int idx = (3 << 4) | (1 << 2) | 2;
    EXPECT_EQ(convertOne(TX_FMT_YIQ, uint32_t(idx), nccPal), 0xFFFF1C35u);
    EXPECT_EQ(convertOne(TX_FMT_AYIQ8422, 0x2000u | uint32_t(idx), nccPal), 0x20FF1C35u);

    // Extreme table values saturate instead of overflowing.
    TxNccTable wild{};
    wild.y[0] = INT32_MAX;
    wild.i[0][0] = INT32_MAX;
    wild.q[0][0] = INT32_MAX;
    wild.i[0][1] = INT32_MIN;
    wild.q[0][1] = INT32_MIN;
    uint32_t wildPal[256] = {};
    txNccToPal(wild, wildPal);
    EXPECT_EQ(convertOne(TX_FMT_YIQ, 0, wildPal), 0xFFFF00FFu);

    TxMip reserved;
    ASSERT_TRUE(txMipInit(reserved, 1, 1, 1, TX_FMT_RSVD4));
    uint32_t out;
    EXPECT_FALSE(txConvertLevelToArgb8888(reserved, 0, &out));
}

TEST(Mip, MirrorFlipAndRectangles) {
    TxMip m;
    ASSERT_TRUE(txMipInit(m, 4, 3, 1, TX_FMT_ARGB8888));
    auto* p = reinterpret_cast<uint32_t*>(m.data[0]);
    for (uint32_t k = 0; k < 12; ++k) p[k] = k;
    txMipMirror(m);
    EXPECT_EQ(p[0], 3u);
    EXPECT_EQ(p[3], 0u);
    EXPECT_EQ(p[4], 7u);
    txMipMirror(m);
    TxRect r{1, 1, 3, 3};
    txMipMirror(m, &r);
    const uint32_t afterMirror[12] = {0, 1, 2, 3, 4, 6, 5, 7, 8, 10, 9, 11};
    for (int k = 0; k < 12; ++k) EXPECT_EQ(p[k], afterMirror[k]) << k;
    txMipFlip(m);
    EXPECT_EQ(p[0], 8u);
    EXPECT_EQ(p[8], 0u);
    EXPECT_EQ(p[5], 6u);  // middle row stays
    TxRect col{0, 0, 1, 3};
    txMipFlip(m, &col);
    EXPECT_EQ(p[0], 0u);
    EXPECT_EQ(p[1], 10u);

    // A 1-texel-wide image mirrors to itself; a 1-row image flips to itself.
    TxMip thin;
    ASSERT_TRUE(txMipInit(thin, 1, 2, 1, TX_FMT_I8));
    thin.data[0][0] = 1;
    thin.data[0][1] = 2;
    txMipMirror(thin);
    EXPECT_EQ(thin.data[0][0], 1);
    TxMip row;
    ASSERT_TRUE(txMipInit(row, 2, 1, 1, TX_FMT_I8));
    row.data[0][0] = 1;
    row.data[0][1] = 2;
    txMipFlip(row);
    EXPECT_EQ(row.data[0][0], 1);
    EXPECT_EQ(row.data[0][1], 2);
}

TEST(Mip, AssignConvertedCopyAndMove) {
    TxMip src;
    ASSERT_TRUE(txMipInit(src, 2, 1, 1, TX_FMT_I8));
    src.data[0][0] = 0x10;
    src.data[0][1] = 0xF0;
    TxMip dst;
    txMipAssign(dst, src);
    ASSERT_EQ(dst.format, TX_FMT_ARGB8888);
    auto* d = reinterpret_cast<uint32_t*>(dst.data[0]);
    EXPECT_EQ(d[0], 0xFF101010u);
    EXPECT_EQ(d[1], 0xFFF0F0F0u);
    txMipAssign(dst, dst);  // self-assignment keeps the pixels
    EXPECT_EQ(reinterpret_cast<uint32_t*>(dst.data[0])[1], 0xFFF0F0F0u);

    // A cleared record (no block) is refused; an rgb332 record with a block is not.
    TxMip cleared;
    EXPECT_EQ(txMipConvertedCopy(cleared, TX_FMT_ARGB8888), nullptr);
    TxMip rgb332;
    ASSERT_TRUE(txMipInit(rgb332, 1, 1, 1, TX_FMT_RGB332));
    rgb332.data[0][0] = 0xE0;
    auto copy = txMipConvertedCopy(rgb332, TX_FMT_ARGB8888);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(copy->data[0]), 0xFFFF0000u);

    TxMip moved = std::move(dst);
    EXPECT_EQ(dst.data[0], nullptr);
    EXPECT_EQ(moved.width, 2);
    txMipFill(moved, 0xAB);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(moved.data[0])[0], 0xABABABABu);
}
