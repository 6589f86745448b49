#include <gtest/gtest.h>

#include <cstring>

#include "raster_test_util.h"
#include "texlib/bmp.h"

using namespace raster;

namespace {

struct BmpSpec {
    int width = 1, height = 1, bits = 8, compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> palette;  // written as 4-byte entries
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> masks;  // written after the 40-byte header (bit fields)
    int64_t offset = -1;          // data offset; -1: right after the palette
};

std::vector<uint8_t> bmpFile(const BmpSpec& sp) {
    Bytes info;
    info.le32(40).le32(uint32_t(sp.width)).le32(uint32_t(sp.height)).le16(1).le16(sp.bits);
    info.le32(uint32_t(sp.compression)).le32(uint32_t(sp.pixels.size())).le32(2835).le32(2835);
    info.le32(sp.colorsUsed).le32(0);
    for (uint32_t m : sp.masks) info.le32(m);
    for (uint32_t p : sp.palette) info.le32(p);
    const uint32_t offset = sp.offset >= 0 ? uint32_t(sp.offset) : uint32_t(14 + info.v.size());
    Bytes f;
    f.str("BM").le32(uint32_t(14 + info.v.size() + sp.pixels.size())).le32(0).le32(offset);
    f.v.insert(f.v.end(), info.v.begin(), info.v.end());
    f.v.insert(f.v.end(), sp.pixels.begin(), sp.pixels.end());
    return f.v;
}

std::vector<uint8_t> rows(std::initializer_list<std::vector<uint8_t>> rs) {
    std::vector<uint8_t> out;
    for (const auto& r : rs) out.insert(out.end(), r.begin(), r.end());
    return out;
}

}  // namespace

TEST(Bmp, EightBitBottomUpAndTopDownReadAlikeWithOpaquePaletteAndPadding) {
    BmpSpec sp;
    sp.width = 3;
    sp.height = 2;
    sp.palette = {0x00102030, 0x80405060, 0xFF708090};
    sp.colorsUsed = 3;
    // Stored bottom row first; each row padded to 4 bytes with junk that must be skipped.
    sp.pixels = rows({{2, 1, 0, 0xEE}, {0, 1, 2, 0xEE}});
    TxReadContext ctx;
    int w = 0, h = 0;
    auto bottomUp = readPixels(bmpFile(sp), ctx, &w, &h);
    ASSERT_EQ(bottomUp.size(), 6u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_BMP);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    // The reserved byte of a palette entry is no alpha: writers leave junk in it.
    const std::vector<uint32_t> want = {0xFF102030, 0xFF405060, 0xFF708090,
                                        0xFF708090, 0xFF405060, 0xFF102030};
    EXPECT_EQ(bottomUp, want);

    sp.height = -2;
    sp.pixels = rows({{0, 1, 2, 0xEE}, {2, 1, 0, 0xEE}});
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), want);

    TxMip own;
    ASSERT_TRUE(readOwn(bmpFile(sp), own, ctx));
    EXPECT_EQ(own.format, TX_FMT_P8);
}

TEST(Bmp, ThirtyTwoBitFourthBytesOfZeroEverywhereAreNotTransparency) {
    BmpSpec sp;
    sp.width = 2;
    sp.bits = 32;
    sp.pixels = {1, 2, 3, 0, 5, 6, 7, 0};
    TxReadContext ctx;
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0xFF030201, 0xFF070605}));
    // One non-zero fourth byte makes them all alpha.
    sp.pixels = {1, 2, 3, 0, 5, 6, 7, 9};
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0x00030201, 0x09070605}));
}

TEST(Bmp, OneAndFourBitRowsUnpackMostSignificantFirst) {
    BmpSpec sp;
    sp.width = 10;
    sp.height = 1;
    sp.bits = 1;
    sp.palette = {0x000000, 0xFFFFFF};
    sp.pixels = {0xA5, 0xC0, 0, 0};  // 1010 0101 11
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(bmpFile(sp), mip, ctx)) << ctx.lastError;
    const std::vector<uint8_t> one(mip.data[0], mip.data[0] + 10);
    EXPECT_EQ(one, (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 1, 1, 1}));

    sp.bits = 4;
    sp.width = 5;
    sp.palette.resize(16, 0);
    sp.pixels = {0x12, 0x34, 0x5F, 0};
    ASSERT_TRUE(readOwn(bmpFile(sp), mip, ctx)) << ctx.lastError;
    const std::vector<uint8_t> four(mip.data[0], mip.data[0] + 5);
    EXPECT_EQ(four, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

TEST(Bmp, TrueColourDepthsAndBitFields) {
    // 24-bit: B, G, R in the file; rows padded to 4 bytes; bottom row first.
    BmpSpec sp;
    sp.width = 2;
    sp.height = 2;
    sp.bits = 24;
    sp.pixels = rows({{1, 2, 3, 4, 5, 6, 0, 0}, {7, 8, 9, 10, 11, 12, 0, 0}});
    TxReadContext ctx;
    EXPECT_EQ(readPixels(bmpFile(sp), ctx),
              (std::vector<uint32_t>{0xFF090807, 0xFF0C0B0A, 0xFF030201, 0xFF060504}));
    // Read in its own format it stays rgb888 (R, G, B bytes); asked for argb8888 it is laid out
    // as words at once.
    TxMip own;
    ASSERT_TRUE(readOwn(bmpFile(sp), own, ctx));
    EXPECT_EQ(own.format, TX_FMT_RGB888);
    EXPECT_EQ(std::vector<uint8_t>(own.data[0], own.data[0] + 6),
              (std::vector<uint8_t>{9, 8, 7, 12, 11, 10}));

    // 32-bit uncompressed: B, G, R, A is the texel word as it stands.
    sp.bits = 32;
    sp.height = 1;
    sp.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0x04030201, 0x08070605}));

    // 16-bit uncompressed is 5-5-5, widened by bit replication, opaque.
    sp.bits = 16;
    sp.width = 2;
    sp.pixels = {0xFF, 0x7F, 0x10, 0x42};  // 0x7FFF white, 0x4210 = (16, 16, 16)
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0xFFFFFFFF, 0xFF848484}));

    // 16-bit 5-6-5 bit fields keep the rgb565 format.
    sp.compression = 3;
    sp.masks = {0xF800, 0x07E0, 0x001F};
    sp.pixels = {0x00, 0xF8, 0xE0, 0x07};
    TxMip mip;
    ASSERT_TRUE(readOwn(bmpFile(sp), mip, ctx)) << ctx.lastError;
    EXPECT_EQ(mip.format, TX_FMT_RGB565);
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00}));

    // 32-bit bit fields with the channels in an unusual order and no alpha mask.
    sp.bits = 32;
    sp.width = 1;
    sp.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    sp.pixels = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0xFF112233}));
}

TEST(Bmp, Rle8RunsLiteralsDeltasAndEarlyEnd) {
    BmpSpec sp;
    sp.width = 4;
    sp.height = 3;
    sp.compression = 1;
    sp.palette.resize(256);
    for (int k = 0; k < 256; ++k) sp.palette[size_t(k)] = uint32_t(k) * 0x010101u;
    sp.pixels = {
        3, 7,              // run of three 7s on the first stored (bottom) row
        0, 0,              // end of row
        0, 3, 1, 2, 3, 0,  // three literal bytes, padded to an even count
        0, 2, 0, 1,        // delta: same column, one row on
        1, 9,              // one 9 at column 3 of the top row
        0, 1,              // end of image
    };
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(bmpFile(sp), mip, ctx)) << ctx.lastError;
    const std::vector<uint8_t> got(mip.data[0], mip.data[0] + 12);
    EXPECT_EQ(got, (std::vector<uint8_t>{0, 0, 0, 9,     // top row (third stored)
                                         1, 2, 3, 0,     // second stored row
                                         7, 7, 7, 0}));  // bottom row
}

TEST(Bmp, Rle8RunPastTheRowIsClippedAndRle4AlternatesNibbles) {
    BmpSpec sp;
    sp.width = 3;
    sp.height = -2;  // top-down, so no flip
    sp.compression = 1;
    sp.palette.resize(256);
    // Five literal texels on a 3-texel row must neither spill into the next row nor wrap to its
    // start; a run of 200 likewise.
    sp.pixels = {0, 5, 1, 2, 3, 4, 5, 0, 200, 7, 0, 0, 2, 6, 0, 1};
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(bmpFile(sp), mip, ctx)) << ctx.lastError;
    EXPECT_EQ(std::vector<uint8_t>(mip.data[0], mip.data[0] + 6),
              (std::vector<uint8_t>{1, 2, 3, 6, 6, 0}));

    sp.bits = 4;
    sp.compression = 2;
    sp.width = 5;
    sp.height = -1;
    sp.palette.resize(16);
    sp.pixels = {3, 0x12, 0, 3, 0xAB, 0xC0, 0, 1};  // 1 2 1 then literal A B C
    ASSERT_TRUE(readOwn(bmpFile(sp), mip, ctx)) << ctx.lastError;
    EXPECT_EQ(std::vector<uint8_t>(mip.data[0], mip.data[0] + 5),
              (std::vector<uint8_t>{1, 2, 1, 10, 11}));

    // End of data before the end-of-image escape fails.
    sp.pixels = {3, 0x12};
    EXPECT_FALSE(readOwn(bmpFile(sp), mip, ctx));
    EXPECT_EQ(mip.data[0], nullptr);
}

TEST(Bmp, PaletteCountsAreNeverTrusted) {
    // 300 colours declared: 256 are kept, the data offset still finds the pixels.
    BmpSpec sp;
    sp.width = 2;
    sp.colorsUsed = 300;
    sp.palette.resize(300);
    for (size_t k = 0; k < 300; ++k) sp.palette[k] = 0xFF000000u | uint32_t(k);
    sp.pixels = {255, 1, 0, 0};
    TxReadContext ctx;
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0xFF0000FF, 0xFF000001}));

    // Two colours declared, index 5 used: the unset entry reads as 0 whatever the memory held.
    sp.colorsUsed = 2;
    sp.palette = {0xFF111111, 0xFF222222};
    sp.pixels = {5, 1, 0, 0};
    EXPECT_EQ(readPixels(bmpFile(sp), ctx), (std::vector<uint32_t>{0x00000000, 0xFF222222}));
}

TEST(Bmp, BadHeadersAndDataFailWithATextAndNoBlock) {
    TxReadContext ctx;
    TxMip mip;
    auto expectFailure = [&](const std::vector<uint8_t>& bytes, const char* text) {
        ctx = TxReadContext();
        EXPECT_FALSE(readOwn(bytes, mip, ctx)) << text;
        EXPECT_EQ(mip.data[0], nullptr);
        EXPECT_EQ(ctx.fileType, 0);
        EXPECT_EQ(ctx.lastError, text);
    };
    BmpSpec sp;
    sp.width = 2;
    sp.palette.resize(256);
    sp.pixels = {0, 0, 0, 0};
    auto f = bmpFile(sp);
    expectFailure(std::vector<uint8_t>(f.begin(), f.begin() + 30), "Unexpected end of file.");
    sp.bits = 7;
    expectFailure(bmpFile(sp), "Unsupported BMP format");
    sp.bits = 24;
    sp.compression = 1;  // RLE8 needs 8 bits
    expectFailure(bmpFile(sp), "Unsupported BMP format");
    sp.bits = 8;
    sp.compression = 0;
    sp.width = 0;
    expectFailure(bmpFile(sp), "BMP Image: width or height is 0.");
    // Sides whose 32-bit product wraps are refused before anything is allocated.
    sp.width = 65536;
    sp.height = 65537;
    expectFailure(bmpFile(sp), "BMP Image: image is too large.");
    sp.width = 2;
    sp.height = int(0x80000000u);  // the most negative height has no absolute value in 32 bits
    expectFailure(bmpFile(sp), "BMP Image: image is too large.");
    sp.height = 3;  // pixel data for one row only
    expectFailure(bmpFile(sp), "BMP Image: Unexpected end of file.");
}

TEST(Bmp, Writer24BitLayoutAndRoundTrip) {
    const std::vector<uint32_t> px = {0x80112233, 0x00445566, 0xFF778899,
                                      0x12AABBCC, 0x34DDEEFF, 0x56010203};
    const std::string path = tempPath("bmp24.bmp");
    ASSERT_EQ(txWriteBMP(path, 3, 2, px.data()), TX_BMP_OK);
    const auto f = slurp(path);
    ASSERT_EQ(f.size(), 54u + 2 * 12);
    auto le32 = [&](size_t at) {
        return uint32_t(f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (f[at + 3] << 24));
    };
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(le32(2), 78u);
    EXPECT_EQ(le32(10), 54u);
    EXPECT_EQ(le32(14), 40u);
    EXPECT_EQ(le32(18), 3u);
    EXPECT_EQ(le32(22), 2u);  // positive: bottom row first
    EXPECT_EQ(f[28], 24);
    EXPECT_EQ(le32(30), 0u);
    // First stored row is the bottom image row, B, G, R, then three zero padding bytes.
    EXPECT_EQ(
        std::vector<uint8_t>(f.begin() + 54, f.begin() + 66),
        (std::vector<uint8_t>{0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0}));
    TxReadContext ctx;
    EXPECT_EQ(readPixels(f, ctx), opaque(px));

    // Large enough to be written in several pieces, with padded rows (701 x 3 bytes).
    std::vector<uint32_t> big(701u * 900u);
    for (size_t k = 0; k < big.size(); ++k) big[k] = uint32_t(k * 2654435761u);
    ASSERT_EQ(txWriteBMP(path, 701, 900, big.data()), TX_BMP_OK);
    EXPECT_EQ(readPixels(slurp(path), ctx), opaque(big));
}

TEST(Bmp, WriterEightBitWithAGivenPaletteMapsToTheNearestEntry) {
    uint32_t pal[256] = {};
    for (int k = 0; k < 256; ++k) pal[k] = 0x00FFFFFF;  // duplicates: the first one must win
    pal[0] = 0x000000;
    pal[1] = 0xFF0000;
    pal[2] = 0x00FF00;
    pal[3] = 0x0000FF;
    const std::vector<uint32_t> px = {0xFFF01010, 0xFF10E010, 0xFF1010F0, 0xFF202020, 0xFFF0F0F0};
    const std::string path = tempPath("bmp8given.bmp");
    ASSERT_EQ(txWriteBMP(path, 5, 1, px.data(), TX_BMP_DEPTH_8_GIVEN, pal), TX_BMP_OK);
    const auto f = slurp(path);
    ASSERT_EQ(f.size(), 1078u + 8);
    EXPECT_EQ(f[10] | (f[11] << 8), 1078);
    EXPECT_EQ(f[28], 8);
    EXPECT_EQ(f[46] | (f[47] << 8), 256);  // colours used
    EXPECT_EQ(f[50] | (f[51] << 8), 256);  // colours important
    // Palette entry 1 is written B, G, R, 0.
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 58, f.begin() + 62),
              (std::vector<uint8_t>{0, 0, 0xFF, 0}));
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 1078, f.end()),
              (std::vector<uint8_t>{1, 2, 3, 0, 4, 0, 0, 0}));

    // Depth 9 without a palette and unknown depths are refused without creating a file.
    const std::string none = tempPath("bmp8none.bmp");
    EXPECT_EQ(txWriteBMP(none, 5, 1, px.data(), TX_BMP_DEPTH_8_GIVEN, nullptr), TX_BMP_NO_IMAGE);
    EXPECT_EQ(txWriteBMP(none, 5, 1, px.data(), 16), TX_BMP_NO_IMAGE);
    EXPECT_FALSE(exists(none));
}

TEST(Bmp, WriterEightBitAdaptivePaletteKeepsFewColoursExactly) {
    // Colours on the quantiser's 8-step grid (up to its rounding) survive the median cut.
    std::vector<uint32_t> px;
    for (int k = 0; k < 16; ++k)
        px.push_back(0xFF000000u | (k % 2 ? 0xFF0000u : 0u) | (k % 3 ? 0x00FF00u : 0u) |
                     (k % 5 ? 0xFFu : 0u));
    const std::string path = tempPath("bmp8adaptive.bmp");
    ASSERT_EQ(txWriteBMP(path, 4, 4, px.data(), TX_BMP_DEPTH_8), TX_BMP_OK);
    TxReadContext ctx;
    TxMip mip;
    ASSERT_TRUE(readOwn(slurp(path), mip, ctx)) << ctx.lastError;
    EXPECT_EQ(mip.format, TX_FMT_P8);
    for (size_t k = 0; k < px.size(); ++k)
        EXPECT_EQ(mip.pal[mip.data[0][k]] & 0xFFFFFFu, px[k] & 0xFFFFFFu) << "texel " << k;
}

TEST(Bmp, WriterFailuresLeaveNoFileAndReportShortWrites) {
    const auto px = pattern(64, 64);
    std::string err;
    EXPECT_EQ(txWriteBMP(tempPath("no-such-dir/x.bmp"), 64, 64, px.data(), TX_BMP_DEPTH_24, nullptr,
                         &err),
              TX_BMP_CANNOT_CREATE);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(txWriteBMP(tempPath("empty.bmp"), 0, 4, px.data()), TX_BMP_NO_IMAGE);
    // A write that runs out of room is a failure, and the target keeps its old contents.
    const std::string path = tempPath("short.bmp");
    { std::ofstream(path) << "old"; }
    EXPECT_EQ(resultUnderSizeLimit(1000, [&] { return txWriteBMP(path, 64, 64, px.data()); }),
              TX_BMP_WRITE_ERROR);
    EXPECT_EQ(slurp(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    uint32_t pal[256] = {};
    EXPECT_EQ(
        resultUnderSizeLimit(
            1000, [&] { return txWriteBMP(path, 64, 64, px.data(), TX_BMP_DEPTH_8_GIVEN, pal); }),
        TX_BMP_WRITE_ERROR);
    EXPECT_EQ(slurp(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
}
