#include <gtest/gtest.h>

#include "raster_test_util.h"
#include "texlib/spr.h"

using namespace raster;

namespace {

Bytes sprFile(int frames, int w, int fh, int firstColour) {
    Bytes b;
    b.u8('S').u8('P').u8('R').le16(frames).le16(w).le16(fh);
    for (int f = 0; f < frames; ++f) {
        b.u8(20).u8(0);
        for (int k = 0; k < 256; ++k) b.u8(k == 1 ? firstColour + f : k).u8(k).u8(f);
        for (int t = 0; t < w * fh; ++t) b.u8(t % 2);
    }
    return b;
}

}  // namespace

TEST(Spr, FramesStackWithTheirOwnPalettes) {
    const Bytes b = sprFile(4, 32, 16, 100);
    TxReadContext ctx;
    TxMip mip;
    ASSERT_TRUE(readOwn(b.v, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_SPR);
    EXPECT_EQ(ctx.frameCount, 4);
    EXPECT_EQ(mip.format, TX_FMT_RGB888);
    EXPECT_EQ(mip.width, 32);
    EXPECT_EQ(mip.height, 64);
    const auto px = readPixels(b.v, ctx);
    ASSERT_EQ(px.size(), 32u * 64u);
    EXPECT_EQ(px[0], 0xFF000000u);                        // frame 0, index 0
    EXPECT_EQ(px[1], 0xFF640100u);                        // frame 0, index 1: (100, 1, 0)
    EXPECT_EQ(px[size_t(3 * 16 * 32 + 1)], 0xFF670103u);  // frame 3, index 1: (103, 1, 3)
}

TEST(Spr, TruncatedAndEmptyFilesFail) {
    const Bytes b = sprFile(2, 4, 4, 1);
    TxReadContext ctx;
    TxMip mip;
    EXPECT_FALSE(readOwn(std::vector<uint8_t>(b.v.begin(), b.v.end() - 1), mip, ctx));
    EXPECT_EQ(ctx.lastError, "SPR Image: Unexpected end of file.");
    EXPECT_EQ(mip.data[0], nullptr);
    EXPECT_EQ(ctx.frameCount, 1);
    ctx = TxReadContext();
    EXPECT_FALSE(readOwn(sprFile(0, 4, 4, 1).v, mip, ctx));
    EXPECT_EQ(ctx.lastError, "SPR Image: width or height is 0.");
}

TEST(Spr, WriterTakesAnExplicitFrameCount) {
    std::vector<uint32_t> px(2 * 6);
    for (size_t k = 0; k < px.size(); ++k)
        px[k] = k < 4 ? 0xFFFF0000u : (k < 8 ? 0xFF00FF00u : 0xFF0000FFu);
    const std::string path = tempPath("w.spr");
    ASSERT_EQ(txWriteSPR(path, 2, 6, px.data(), 3), TX_SPR_OK);
    const auto f = slurp(path);
    ASSERT_EQ(f.size(), 9u + 3 * (770 + 4));
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 9),
              (std::vector<uint8_t>{'S', 'P', 'R', 3, 0, 2, 0, 2, 0}));
    EXPECT_EQ(f[9], 20);
    EXPECT_EQ(f[10], 0);
    // Every frame repeats the same palette.
    EXPECT_TRUE(std::equal(f.begin() + 9, f.begin() + 9 + 770, f.begin() + 9 + 774));
    TxReadContext ctx;
    EXPECT_EQ(readPixels(f, ctx), px);
    EXPECT_EQ(ctx.frameCount, 3);

    // A single image is written as one frame.
    ASSERT_EQ(txWriteSPR(path, 2, 6, px.data(), 1), TX_SPR_OK);
    EXPECT_EQ(readPixels(slurp(path), ctx), px);
    EXPECT_EQ(ctx.frameCount, 1);
}

TEST(Spr, WriterRefusesBadFrameCountsAndOversizedFields) {
    std::vector<uint32_t> px(70000, 0xFF010203);
    const std::string path = tempPath("bad.spr");
    std::string err;
    // A count of 0 (unset) used to divide by zero; a count that does not divide the height would
    // drop rows.
    EXPECT_EQ(txWriteSPR(path, 2, 6, px.data(), 0, &err), TX_SPR_BAD_FRAME_COUNT);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(txWriteSPR(path, 2, 6, px.data(), 4), TX_SPR_BAD_FRAME_COUNT);
    EXPECT_EQ(txWriteSPR(path, 2, 6, px.data(), -1), TX_SPR_BAD_FRAME_COUNT);
    EXPECT_EQ(txWriteSPR(path, 70000, 1, px.data(), 1), TX_SPR_TOO_LARGE);
    EXPECT_EQ(txWriteSPR(path, 1, 70000, px.data(), 1), TX_SPR_TOO_LARGE);
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(txWriteSPR(tempPath("none/x.spr"), 2, 6, px.data(), 1), TX_SPR_CANNOT_CREATE);
    EXPECT_EQ(resultUnderSizeLimit(2000, [&] { return txWriteSPR(path, 2, 6, px.data(), 3); }),
              TX_SPR_WRITE_ERROR);
    EXPECT_FALSE(exists(path));
}
