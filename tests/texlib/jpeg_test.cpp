#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "raster_test_util.h"
#include "tests/texlib/jpeg_test_util.h"
#include "texlib/jpeg.h"

using namespace raster;

namespace {}  // namespace

TEST(Jpeg, ColourBaselineAndProgressiveDecodeAlikeAndOpaque) {
    // Flat colour blocks survive compression within a step or two.
    const int w = 32, h = 16;
    std::vector<uint8_t> rgb(size_t(w * h * 3));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[size_t((y * w + x) * 3)];
            p[0] = x < 16 ? 200 : 30;
            p[1] = 100;
            p[2] = x < 16 ? 40 : 220;
        }
    TxReadContext ctx;
    int gw = 0, gh = 0;
    const auto base = readPixels(encodeJpeg(w, h, 3, rgb, false), ctx, &gw, &gh);
    ASSERT_EQ(base.size(), size_t(w * h)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_JPEG);
    EXPECT_EQ(gw, w);
    EXPECT_EQ(gh, h);
    for (int k : {0, 5 * w + 3, 10 * w + 25, w * h - 1}) {
        const uint8_t* p = &rgb[size_t(k * 3)];
        const uint32_t t = base[size_t(k)];
        EXPECT_EQ(t >> 24, 255u);
        EXPECT_NEAR(int((t >> 16) & 255), p[0], 3);
        EXPECT_NEAR(int((t >> 8) & 255), p[1], 3);
        EXPECT_NEAR(int(t & 255), p[2], 3);
    }
    const auto progressive = readPixels(encodeJpeg(w, h, 3, rgb, true), ctx);
    ASSERT_EQ(progressive.size(), base.size()) << ctx.lastError;
    for (size_t k = 0; k < base.size(); ++k)
        for (int sh : {0, 8, 16})
            EXPECT_NEAR(int((progressive[k] >> sh) & 255), int((base[k] >> sh) & 255), 2);
}

TEST(Jpeg, GreyscaleHasEqualChannels) {
    std::vector<uint8_t> grey(8 * 8);
    for (size_t k = 0; k < grey.size(); ++k) grey[k] = uint8_t(k * 4);
    TxReadContext ctx;
    const auto px = readPixels(encodeJpeg(8, 8, 1, grey, false), ctx);
    ASSERT_EQ(px.size(), 64u) << ctx.lastError;
    for (size_t k = 0; k < px.size(); ++k) {
        EXPECT_EQ((px[k] >> 16) & 255, px[k] & 255);
        EXPECT_EQ((px[k] >> 8) & 255, px[k] & 255);
        EXPECT_EQ(px[k] >> 24, 255u);
        EXPECT_NEAR(int(px[k] & 255), grey[k], 6);
    }
}

TEST(Jpeg, DamagedStreamsFailWithoutEndingTheProgram) {
    std::vector<uint8_t> rgb(16 * 16 * 3, 90);
    const auto good = encodeJpeg(16, 16, 3, rgb, false);
    TxReadContext ctx;
    TxMip mip;
    // Only the start-of-image marker.
    EXPECT_FALSE(readOwn({0xFF, 0xD8, 0xFF}, mip, ctx));
    EXPECT_EQ(mip.data[0], nullptr);
    EXPECT_EQ(ctx.lastError.rfind("JPEG Image: ", 0), 0u) << ctx.lastError;
    // A frame header declaring 0 lines, and one with a broken Huffman table.
    auto zero = good;
    for (size_t k = 0; k + 9 < zero.size(); ++k)
        if (zero[k] == 0xFF && zero[k + 1] == 0xC0) {
            zero[k + 5] = 0;
            zero[k + 6] = 0;
            break;
        }
    ctx = TxReadContext();
    EXPECT_FALSE(readOwn(zero, mip, ctx));
    EXPECT_FALSE(ctx.lastError.empty());
    auto badTable = good;
    for (size_t k = 0; k + 20 < badTable.size(); ++k)
        if (badTable[k] == 0xFF && badTable[k + 1] == 0xC4) {
            std::memset(&badTable[k + 5], 0xFF, 16);  // code counts that overflow
            break;
        }
    ctx = TxReadContext();
    EXPECT_FALSE(readOwn(badTable, mip, ctx));
    EXPECT_EQ(ctx.lastError.rfind("JPEG Image: ", 0), 0u) << ctx.lastError;
    // Cut short inside the scan: libjpeg pads the rest; the read still ends normally.
    std::vector<uint8_t> noise(64 * 64 * 3);
    for (size_t k = 0; k < noise.size(); ++k) noise[k] = uint8_t((k * 7919) % 251);
    const auto busy = encodeJpeg(64, 64, 3, noise, false);
    ctx = TxReadContext();
    EXPECT_TRUE(
        readOwn(std::vector<uint8_t>(busy.begin(), busy.begin() + long(busy.size() / 2)), mip, ctx))
        << ctx.lastError;
}
