#include <gtest/gtest.h>

#include "test_util.h"
#include "texlib/lmp.h"

namespace {

Bytes gimpHeader(uint32_t headerSize, uint32_t w, uint32_t h, uint32_t bytes, const char* magic) {
    Bytes b;
    b.be32(headerSize).be32(2).be32(w).be32(h).be32(bytes).str(magic).be32(0);
    while (b.v.size() < headerSize) b.u8(0);
    return b;
}

}  // namespace

TEST(Read, PreferredFormatIsChecked) {
    Bytes b;
    b.fill(768, 7);
    TxStream s(b.v.data(), b.v.size());
    TxMip mip;
    TxReadContext ctx;
    EXPECT_FALSE(txMipRead(mip, "x", s, 5, ctx));
    EXPECT_EQ(ctx.lastError, "txMipRead: bad preferred format.");
    EXPECT_EQ(ctx.fileType, 0);
    EXPECT_EQ(s.tell(), 0u);
}

TEST(Read, LmpLumpsAndThe768ByteFile) {
    // 768 bytes that no earlier probe takes: a 16x16 colour image.
    Bytes pal;
    for (int k = 0; k < 256; ++k) pal.u8(k).u8(255 - k).u8(k / 2);
    TxReadContext ctx;
    int w = 0, h = 0;
    auto px = readPixels(pal.v, ctx, &w, &h);
    ASSERT_EQ(px.size(), 256u);
    EXPECT_EQ(ctx.fileType, TX_TYPE_LMP);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(px[1], 0xFF01FE00u);

    // width x height + 8 bytes: 8-bit indices through the current palette.
    Bytes lmp;
    lmp.le32(3).le32(2).u8(0).u8(1).u8(2).u8(3).u8(4).u8(255);
    uint32_t current[256];
    for (uint32_t k = 0; k < 256; ++k) current[k] = 0xFF000000u | k << 16;
    ctx.palette = current;
    px = readPixels(lmp.v, ctx, &w, &h);
    ASSERT_EQ(px.size(), 6u);
    EXPECT_EQ(ctx.fileType, TX_TYPE_LMP);
    EXPECT_EQ(px[5], 0xFFFF0000u);
    EXPECT_EQ(px[1], 0xFF010000u);
    // A size that does not match the header is no lump.
    lmp.u8(0);
    EXPECT_TRUE(readPixels(lmp.v, ctx).empty());
    EXPECT_EQ(ctx.fileType, 0);
}

TEST(Read, GimpBrushesAndPatterns) {
    TxReadContext ctx;
    // A 4-byte pattern keeps its first byte in the lowest byte of each texel.
    Bytes pat = gimpHeader(28, 2, 1, 4, "GPAT");
    pat.u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(7).u8(8);
    auto px = readPixels(pat.v, ctx);
    ASSERT_EQ(px.size(), 2u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_GBR);
    EXPECT_EQ(px[0], 0x04030201u);
    // Grey brush: 1 byte per texel as intensity.
    Bytes brush = gimpHeader(29, 2, 2, 1, "GIMP");
    brush.u8(0).u8(0x40).u8(0x80).u8(0xFF);
    px = readPixels(brush.v, ctx);
    ASSERT_EQ(px.size(), 4u);
    EXPECT_EQ(px[1], 0xFF404040u);
    // Without a magic the data size must match exactly.
    Bytes old = gimpHeader(29, 2, 2, 3, "xxxx");
    old.fill(4 * 4, 9);
    EXPECT_EQ(readPixels(old.v, ctx).size(), 4u);
    old.u8(0);
    EXPECT_TRUE(readPixels(old.v, ctx).empty());
    // Unsupported bytes per texel, truncated data.
    Bytes five = gimpHeader(29, 1, 1, 5, "GIMP");
    five.fill(5, 0);
    EXPECT_TRUE(readPixels(five.v, ctx).empty());
    Bytes cut = gimpHeader(29, 4, 4, 4, "GPAT");
    cut.fill(10, 0);
    EXPECT_TRUE(readPixels(cut.v, ctx).empty());
}

TEST(Read, GimpAnimatedBrushStacksFrames) {
    Bytes gih;
    gih.str("anim\n2 ncc:1\n");
    for (int f = 0; f < 2; ++f) {
        Bytes one = gimpHeader(29, 2, 1, 1, "GIMP");
        one.u8(f * 10).u8(f * 10 + 1);
        gih.v.insert(gih.v.end(), one.v.begin(), one.v.end());
    }
    TxReadContext ctx;
    int w = 0, h = 0;
    auto px = readPixels(gih.v, ctx, &w, &h);
    ASSERT_EQ(px.size(), 4u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_GIH);
    EXPECT_EQ(ctx.frameCount, 2);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(px[2], 0xFF0A0A0Au);
    // A count above 1024 is no animated brush.
    Bytes many;
    many.str("anim\n2000\n").fill(40, 0);
    EXPECT_TRUE(readPixels(many.v, ctx).empty());
}

TEST(Read, DetectionOrderAndFallThrough) {
    TxReadContext ctx;
    // An icon is recognised, but there is no reader for it.
    Bytes ico;
    ico.le16(0).le16(1).le16(1).fill(40, 0);
    TxStream s(ico.v.data(), ico.v.size());
    TxMip mip;
    EXPECT_EQ(txDetectType(s, ctx, mip), TX_TYPE_ICO);
    EXPECT_TRUE(readPixels(ico.v, ctx).empty());
    EXPECT_EQ(ctx.fileType, 0);
    // "BM" with no valid bitmap header is not a TGA and, without a palette, not anything.
    Bytes bm;
    bm.str("BM").fill(60, 0);
    EXPECT_TRUE(readPixels(bm.v, ctx).empty());
    EXPECT_EQ(ctx.fileType, 0);
    // Fewer than two bytes: nothing recognised.
    Bytes tiny;
    tiny.u8(1);
    EXPECT_TRUE(readPixels(tiny.v, ctx).empty());
    EXPECT_EQ(ctx.lastError, TX_UNRECOGNISED);
    // A missing file reports why.
    TxMip m2;
    EXPECT_FALSE(txMipReadFile(m2, tempPath("does-not-exist.tga"), TX_PREFER_ARGB8888, ctx));
    EXPECT_NE(ctx.lastError.find("No such file"), std::string::npos);
}

TEST(Read, ErrorCallbackSeesReaderTexts) {
    static std::vector<std::string> seen;
    seen.clear();
    TxErrorCallback old = TxReadError;
    TxReadError = [](const char* m, int) { seen.emplace_back(m); };
    Bytes b;
    b.u8(0).u8(0).u8(2).fill(9, 0).le16(1).le16(1).u8(32).u8(0);  // truncated pixels
    TxReadContext ctx;
    EXPECT_TRUE(readPixels(b.v, ctx).empty());
    TxReadError = old;
    EXPECT_NE(std::find(seen.begin(), seen.end(), "TGA Image: Unexpected end of file."),
              seen.end());
}
