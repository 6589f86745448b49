#include <gtest/gtest.h>

#include "raster_test_util.h"
#include "texlib/pcx.h"

using namespace raster;

namespace {

Bytes pcxHeader(int w, int h, int bits, int planes, int bpl, int encoding = 1) {
    Bytes b;
    b.u8(10).u8(5).u8(encoding).u8(bits).le16(0).le16(0).le16(w - 1).le16(h - 1).le16(72).le16(72);
    b.fill(48, 0).u8(0).u8(planes).le16(bpl).le16(1).fill(58, 0);
    return b;
}

Bytes& palette256(Bytes& b) {
    b.u8(12);
    for (int k = 0; k < 256; ++k) b.u8(k).u8(255 - k).u8(k / 2);
    return b;
}

}  // namespace

TEST(Pcx, EightBitRunLengthRowsWithTheTrailingPalette) {
    // 3x2, bytes per line 4 (one pad byte per line).
    Bytes b = pcxHeader(3, 2, 8, 1, 4);
    b.u8(0xC3).u8(7).u8(9);                    // run of three 7s, then the pad byte
    b.u8(1).u8(0xC1).u8(0xC8).u8(0xC5).u8(2);  // literal 1, escaped 200, run past the line end
    palette256(b);
    TxReadContext ctx;
    TxMip mip;
    ASSERT_TRUE(readOwn(b.v, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_PCX);
    EXPECT_EQ(mip.format, TX_FMT_P8);
    EXPECT_EQ(std::vector<uint8_t>(mip.data[0], mip.data[0] + 6),
              (std::vector<uint8_t>{7, 7, 7, 1, 200, 2}));
    EXPECT_EQ(mip.pal[200], 0xFF000000u | (200u << 16) | (55u << 8) | 100u);
    // PCX has no alpha: the colours are opaque.
    EXPECT_EQ(readPixels(b.v, ctx)[0], 0xFF000000u | (7u << 16) | (248u << 8) | 3u);
}

TEST(Pcx, TwentyFourBitPlanesAndRawEncoding) {
    Bytes b = pcxHeader(2, 1, 8, 3, 2, 0);
    b.u8(0x10).u8(0x11).u8(0x20).u8(0x21).u8(0x30).u8(0x31);  // R plane, G plane, B plane
    TxReadContext ctx;
    EXPECT_EQ(readPixels(b.v, ctx), (std::vector<uint32_t>{0xFF102030, 0xFF112131}));

    // One-bit mono: black and white.
    Bytes m = pcxHeader(10, 1, 1, 1, 2, 0);
    m.u8(0xA5).u8(0xC0);
    TxMip mip;
    ASSERT_TRUE(readOwn(m.v, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(std::vector<uint8_t>(mip.data[0], mip.data[0] + 10),
              (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 1, 1, 1}));
    EXPECT_EQ(mip.pal[0], 0xFF000000u);
    EXPECT_EQ(mip.pal[1], 0xFFFFFFFFu);
}

TEST(Pcx, UntrustedHeaderFieldsAndMissingPaletteFail) {
    TxReadContext ctx;
    TxMip mip;
    auto expectFailure = [&](const std::vector<uint8_t>& bytes, const char* text) {
        ctx = TxReadContext();
        EXPECT_FALSE(readOwn(bytes, mip, ctx)) << text;
        EXPECT_EQ(mip.data[0], nullptr);
        EXPECT_EQ(ctx.lastError, text);
    };
    // Bytes per line below the width would copy past the line buffer.
    Bytes narrow = pcxHeader(8, 1, 8, 1, 4);
    narrow.fill(8, 0);
    palette256(narrow);
    expectFailure(narrow.v, "PCX Image: bytes per line is smaller than the width.");
    Bytes twoPlanes = pcxHeader(4, 1, 8, 2, 4);
    expectFailure(twoPlanes.v, "PCX Image: unsupported bits per pixel and planes.");
    Bytes fourBit = pcxHeader(4, 1, 4, 1, 4);
    expectFailure(fourBit.v, "PCX Image: unsupported bits per pixel and planes.");
    Bytes empty = pcxHeader(1, 1, 8, 1, 4);
    empty.v[4] = 5;  // xmin 5 beyond xmax 0
    expectFailure(empty.v, "PCX Image: width or height is 0.");
    expectFailure(std::vector<uint8_t>(empty.v.begin(), empty.v.begin() + 100),
                  "Unexpected end of file.");

    // The 769th byte from the end must be 12.
    Bytes b = pcxHeader(2, 1, 8, 1, 2);
    b.u8(0xC2).u8(5);
    palette256(b);
    b.v[b.v.size() - 769] = 11;
    expectFailure(b.v, "PCX Image: no 256-colour palette at the end of the file.");
    // Run-length data ending inside the image.
    Bytes t = pcxHeader(2, 30000, 8, 1, 2);
    palette256(t);
    expectFailure(t.v, "PCX Image: Unexpected end of file.");
}

TEST(Pcx, EncoderSplitsLongRunsAndEscapesHighBytes) {
    std::vector<uint8_t> line(64, 9);
    uint8_t out[200];
    size_t n = txPcxEncodeLine(line.data(), line.size(), out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + n), (std::vector<uint8_t>{0xFF, 9, 9}));
    line.assign(64, 200);
    n = txPcxEncodeLine(line.data(), line.size(), out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + n), (std::vector<uint8_t>{0xFF, 200, 0xC1, 200}));
    const uint8_t mixed[] = {1, 2, 2, 192, 191};
    n = txPcxEncodeLine(mixed, 5, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + n),
              (std::vector<uint8_t>{1, 0xC2, 2, 0xC1, 192, 191}));
}

TEST(Pcx, WriterHeaderPaletteAndRoundTrip) {
    // Three colours on the quantiser's grid come back exactly; odd width gets an even line.
    const std::vector<uint32_t> px = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                      0xFFFF0000, 0xFFFF0000, 0xFF0000FF};
    const std::string path = tempPath("w.pcx");
    ASSERT_EQ(txWritePCX(path, 3, 2, px.data()), TX_PCX_OK);
    const auto f = slurp(path);
    ASSERT_GT(f.size(), 128u + 769u);
    EXPECT_EQ(f[0], 10);
    EXPECT_EQ(f[1], 5);
    EXPECT_EQ(f[2], 1);
    EXPECT_EQ(f[3], 8);
    EXPECT_EQ(f[8] | (f[9] << 8), 2);    // xmax
    EXPECT_EQ(f[10] | (f[11] << 8), 1);  // ymax
    EXPECT_EQ(f[12], 72);
    EXPECT_EQ(f[14], 72);
    EXPECT_EQ(f[65], 1);
    EXPECT_EQ(f[66] | (f[67] << 8), 4);  // bytes per line, even
    EXPECT_EQ(f[f.size() - 769], 12);
    TxReadContext ctx;
    EXPECT_EQ(readPixels(f, ctx), px);
}

TEST(Pcx, WriterRefusesSidesBeyondItsHeaderAndReportsShortWrites) {
    std::vector<uint32_t> wide(70000, 0xFF123456);
    const std::string path = tempPath("wide.pcx");
    std::string err;
    EXPECT_EQ(txWritePCX(path, 70000, 1, wide.data(), &err), TX_PCX_TOO_LARGE);
    EXPECT_FALSE(err.empty());
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(txWritePCX(tempPath("none/x.pcx"), 2, 2, wide.data()), TX_PCX_CANNOT_CREATE);

    const auto px = pattern(64, 64);
    const std::string shortPath = tempPath("short.pcx");
    EXPECT_EQ(resultUnderSizeLimit(600, [&] { return txWritePCX(shortPath, 64, 64, px.data()); }),
              TX_PCX_WRITE_ERROR);
    EXPECT_FALSE(exists(shortPath));
}
