#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "test_util.h"
#include "texlib/tga.h"

namespace {

Bytes tgaHeader(int imageType, int w, int h, int depth, int descriptor, int mapType = 0,
                int mapFirst = 0, int mapLen = 0, int mapBits = 0, int idLen = 0) {
    Bytes b;
    b.u8(idLen).u8(mapType).u8(imageType).le16(mapFirst).le16(mapLen).u8(mapBits);
    b.le16(0).le16(0).le16(w).le16(h).u8(depth).u8(descriptor);
    b.fill(size_t(idLen), 'x');
    return b;
}

std::vector<uint8_t> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

}  // namespace

TEST(Tga, TrueColour24BottomUpGetsOpaqueAlpha) {
    // 2x2, descriptor bit 5 clear: the first stored row is the bottom row.
    Bytes b = tgaHeader(2, 2, 2, 24, 0, 0, 0, 0, 0, 3);
    b.u8(1).u8(2).u8(3).u8(4).u8(5).u8(6);     // stored row 0 -> bottom
    b.u8(7).u8(8).u8(9).u8(10).u8(11).u8(12);  // stored row 1 -> top
    TxReadContext ctx;
    int w = 0, h = 0;
    auto px = readPixels(b.v, ctx, &w, &h);
    ASSERT_EQ(px.size(), 4u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_TGA);
    EXPECT_EQ(px[0], 0xFF090807u);
    EXPECT_EQ(px[1], 0xFF0C0B0Au);
    EXPECT_EQ(px[2], 0xFF030201u);
    EXPECT_EQ(px[3], 0xFF060504u);
}

TEST(Tga, TrueColour32TopDownAnd16Bit) {
    Bytes b = tgaHeader(2, 2, 1, 32, 0x28);
    b.le32(0x80112233u).le32(0x01445566u);
    TxReadContext ctx;
    auto px = readPixels(b.v, ctx);
    ASSERT_EQ(px.size(), 2u);
    EXPECT_EQ(px[0], 0x80112233u);
    EXPECT_EQ(px[1], 0x01445566u);

    Bytes s = tgaHeader(2, 2, 1, 16, 0x20);
    s.le16(0x801F).le16(0x03E0);
    TxStream st(s.v.data(), s.v.size());
    TxMip own;
    TxReadContext c2;
    ASSERT_TRUE(txMipRead(own, "m", st, TX_PREFER_OWN, c2));
    EXPECT_EQ(own.format, TX_FMT_ARGB1555);
    auto px16 = readPixels(s.v, c2);
    ASSERT_EQ(px16.size(), 2u);
    EXPECT_EQ(px16[0], 0xFF0000FFu);
    EXPECT_EQ(px16[1], 0x0000FF00u);
}

TEST(Tga, ColourMappedPaletteSlotsAndEntryDepths) {
    // Map starts at 16 with 16 entries of 24 bits; slots outside it are zero.
    Bytes b = tgaHeader(1, 3, 1, 8, 0x20, 1, 16, 16, 24);
    for (int k = 0; k < 16; ++k) b.u8(k).u8(0x10 + k).u8(0x20 + k);
    b.u8(16).u8(31).u8(5);
    TxStream s(b.v.data(), b.v.size());
    TxMip own;
    TxReadContext ctx;
    ASSERT_TRUE(txMipRead(own, "m", s, TX_PREFER_OWN, ctx)) << ctx.lastError;
    EXPECT_EQ(own.format, TX_FMT_P8);
    EXPECT_EQ(own.pal[15], 0u);
    EXPECT_EQ(own.pal[16], 0xFF201000u);
    EXPECT_EQ(own.pal[31], 0xFF2F1F0Fu);
    EXPECT_EQ(own.pal[32], 0u);
    auto px = readPixels(b.v, ctx);
    ASSERT_EQ(px.size(), 3u);
    EXPECT_EQ(px[0], 0xFF201000u);
    EXPECT_EQ(px[2], 0u);

    // 16-bit entries are shifted, 8-bit entries replicate into all four bytes, 32-bit keep alpha.
    Bytes b16 = tgaHeader(1, 1, 1, 8, 0x20, 1, 0, 1, 16);
    b16.le16(0x7FFF).u8(0);
    EXPECT_EQ(readPixels(b16.v, ctx)[0], 0xFFF8F8F8u);
    Bytes b8 = tgaHeader(1, 1, 1, 8, 0x20, 1, 0, 1, 8);
    b8.u8(0x42).u8(0);
    EXPECT_EQ(readPixels(b8.v, ctx)[0], 0x42424242u);
    Bytes b32 = tgaHeader(9, 1, 1, 8, 0x20, 1, 0, 1, 32);
    b32.le32(0x7F010203u).u8(0x80).u8(0);  // one run packet of index 0
    EXPECT_EQ(readPixels(b32.v, ctx)[0], 0x7F010203u);
}

TEST(Tga, MonoAndRunLengthPacketsAcrossRows) {
    Bytes m = tgaHeader(3, 2, 1, 8, 0x20);
    m.u8(0x10).u8(0xF0);
    TxReadContext ctx;
    auto mono = readPixels(m.v, ctx);
    ASSERT_EQ(mono.size(), 2u);
    EXPECT_EQ(mono[0], 0xFF101010u);

    // 3x2 top-down: a run of 4 spans the end of row 0, then a raw packet of 2.
    Bytes r = tgaHeader(10, 3, 2, 32, 0x20);
    r.u8(0x83).le32(0xFF0000FFu).u8(0x01).le32(0x11111111u).le32(0x22222222u);
    auto px = readPixels(r.v, ctx);
    ASSERT_EQ(px.size(), 6u) << ctx.lastError;
    EXPECT_EQ(px[0], 0xFF0000FFu);
    EXPECT_EQ(px[2], 0xFF0000FFu);
    EXPECT_EQ(px[3], 0xFF0000FFu);
    EXPECT_EQ(px[4], 0x11111111u);
    EXPECT_EQ(px[5], 0x22222222u);

    // Run-length 24-bit, bottom-up.
    Bytes r24 = tgaHeader(10, 2, 2, 24, 0);
    r24.u8(0x81).u8(1).u8(2).u8(3).u8(0x01).u8(4).u8(5).u8(6).u8(7).u8(8).u8(9);
    auto p24 = readPixels(r24.v, ctx);
    ASSERT_EQ(p24.size(), 4u);
    EXPECT_EQ(p24[2], 0xFF030201u);
    EXPECT_EQ(p24[3], 0xFF030201u);
    EXPECT_EQ(p24[0], 0xFF060504u);
    EXPECT_EQ(p24[1], 0xFF090807u);
}

TEST(Tga, BadInputFailsCleanly) {
    TxReadContext ctx;
    // Zero size, colour map missing, too many colours, bad depths, non-8-bit colour-mapped.
    EXPECT_TRUE(readPixels(tgaHeader(2, 0, 4, 32, 0).fill(16, 0).v, ctx).empty());
    EXPECT_TRUE(readPixels(tgaHeader(1, 1, 1, 8, 0, 0).fill(4, 0).v, ctx).empty());
    EXPECT_TRUE(readPixels(tgaHeader(1, 1, 1, 8, 0, 1, 200, 100, 24).fill(400, 0).v, ctx).empty());
    EXPECT_TRUE(readPixels(tgaHeader(2, 1, 1, 8, 0).fill(4, 0).v, ctx).empty());
    EXPECT_TRUE(readPixels(tgaHeader(3, 1, 1, 16, 0).fill(4, 0).v, ctx).empty());
    Bytes wide = tgaHeader(1, 2, 1, 16, 0, 1, 0, 2, 24);
    wide.fill(6, 0x40).le16(1).le16(0);
    EXPECT_TRUE(readPixels(wide.v, ctx).empty());
    // Truncated raw data, truncated packets, a bad colour-map depth.
    EXPECT_TRUE(readPixels(tgaHeader(2, 4, 4, 32, 0).fill(63, 0).v, ctx).empty());
    EXPECT_EQ(ctx.lastError, "TGA Image: Unexpected end of file.");
    EXPECT_TRUE(readPixels(tgaHeader(10, 4, 4, 32, 0).u8(0x8F).u8(1).v, ctx).empty());
    EXPECT_TRUE(readPixels(tgaHeader(10, 4, 4, 32, 0).u8(0x81).le32(1).v, ctx).empty());
    EXPECT_TRUE(readPixels(tgaHeader(1, 1, 1, 8, 0, 1, 0, 1, 48).fill(8, 0).v, ctx).empty());
    EXPECT_EQ(ctx.lastError, "TGA Image: Bad Color Map depth.");
    // An image-ID field longer than the file.
    EXPECT_TRUE(readPixels(tgaHeader(2, 1, 1, 32, 0).v, ctx).empty());
    // A colour-map type other than 0 or 1 is no TGA (here the start of a binary PPM).
    EXPECT_TRUE(readPixels(tgaHeader(10, 1, 1, 32, 0, 54).fill(8, 0).v, ctx).empty());
    Bytes ppm;
    ppm.str("P6\n2 1\n255\n").fill(6, 0x40);
    auto ppmPixels = readPixels(ppm.v, ctx);
    ASSERT_EQ(ppmPixels.size(), 2u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_PPM);
    EXPECT_EQ(ppmPixels[1], 0xFF404040u);
    EXPECT_TRUE(ctx.lastError.empty());  // earlier probes' texts do not outlive a good read
    // Largest header sizes are read only when the bytes are there.
    EXPECT_TRUE(readPixels(tgaHeader(2, 65535, 65535, 32, 0).fill(64, 0).v, ctx).empty());
}

TEST(Tga, WriterExactBytesAndModes) {
    const uint32_t one = 0x80112233u;
    const std::string path = tempPath("one.tga");
    ASSERT_EQ(txWriteTGA(path, 1, 1, &one, TX_TGA_RLE), TX_TGA_OK);
    const std::vector<uint8_t> expect = {0, 0, 10, 0, 0,  0,    0, 0,    0,    0,    0,   0,
                                         1, 0, 1,  0, 32, 0x28, 0, 0x33, 0x22, 0x11, 0x80};
    EXPECT_EQ(slurp(path), expect);

    ASSERT_EQ(txWriteTGA(path, 1, 1, &one, TX_TGA_NONE), TX_TGA_OK);
    auto raw = slurp(path);
    ASSERT_EQ(raw.size(), 22u);
    EXPECT_EQ(raw[2], 2);

    // A 200-texel row of one colour in row mode: runs of 128 and 72.
    std::vector<uint32_t> row(200, 0x01020304u);
    ASSERT_EQ(txWriteTGA(path, 200, 1, row.data(), TX_TGA_RLE_ROWS), TX_TGA_OK);
    const std::vector<uint8_t> rowExpect = {0xFF, 4, 3, 2, 1, 0x80 | 71, 4, 3, 2, 1};
    auto rowBytes = slurp(path);
    ASSERT_EQ(rowBytes.size(), 18u + rowExpect.size());
    EXPECT_TRUE(std::equal(rowExpect.begin(), rowExpect.end(), rowBytes.begin() + 18));
}

TEST(Tga, EncoderPacketsAndWorstCase) {
    const uint32_t px[] = {1, 2, 2, 2, 3, 4, 4};
    std::vector<uint8_t> out(txTGARleBound(7));
    const size_t n = txEncodeTGARle(px, 7, out.data());
    // raw(1) run(2 x3) raw(3) run(4 x2)
    const std::vector<uint8_t> expect = {0, 1, 0, 0, 0, 0x82, 2, 0, 0, 0,
                                         0, 3, 0, 0, 0, 0x81, 4, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(n)), expect);

    // All-different pixels are the worst case; the bound holds even for a single texel.
    std::vector<uint32_t> ramp(1000);
    for (size_t k = 0; k < ramp.size(); ++k) ramp[k] = uint32_t(k);
    std::vector<uint8_t> big(txTGARleBound(ramp.size()));
    EXPECT_EQ(txEncodeTGARle(ramp.data(), ramp.size(), big.data()), 1000u * 4 + 8);
    EXPECT_GE(txTGARleBound(1), 5u);
}

TEST(Tga, RoundTripInAllModes) {
    // Rows end inside runs and inside raw packets; mode 1 packets cross row ends.
    const int w = 37, h = 23;
    std::vector<uint32_t> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * w + x] =
                (x / 5 + y) % 3 == 0 ? 0xFF00FF00u : uint32_t(x * 977 + y * 13) | 0x40000000u;
    for (int mode : {TX_TGA_NONE, TX_TGA_RLE, TX_TGA_RLE_ROWS}) {
        const std::string path = tempPath("rt.tga");
        ASSERT_EQ(txWriteTGA(path, w, h, px.data(), mode), TX_TGA_OK);
        TxMip mip;
        TxReadContext ctx;
        ASSERT_TRUE(txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx)) << ctx.lastError;
        ASSERT_EQ(mip.width, w);
        ASSERT_EQ(mip.height, h);
        EXPECT_EQ(std::memcmp(mip.data[0], px.data(), px.size() * 4), 0) << "mode " << mode;
    }
}

TEST(Tga, WriteFailuresKeepTheOldFile) {
    const uint32_t px = 0xFFFFFFFFu;
    EXPECT_EQ(txWriteTGA(tempPath("no/such/dir/x.tga"), 1, 1, &px), TX_TGA_CANNOT_CREATE);
    std::vector<uint32_t> wide(70000, 0);
    const std::string path = tempPath("keep.tga");
    ASSERT_EQ(txWriteTGA(path, 1, 1, &px), TX_TGA_OK);
    const auto before = slurp(path);
    std::string err;
    EXPECT_EQ(txWriteTGA(path, 70000, 1, wide.data(), TX_TGA_RLE, &err), TX_TGA_TOO_LARGE);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(slurp(path), before);
    // A directory is no file to write: refused before anything is written.
    EXPECT_EQ(txWriteTGA(std::string(::testing::TempDir()), 1, 1, &px, TX_TGA_RLE, &err),
              TX_TGA_CANNOT_CREATE);
    EXPECT_EQ(err, "is a directory");
}

namespace {

// The encoding rules written out pixel by pixel, to hold the fast encoder against.
std::vector<uint8_t> referenceRle(const std::vector<uint32_t>& px) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v) {
        for (int b = 0; b < 4; ++b) out.push_back(uint8_t(v >> (8 * b)));
    };
    size_t i = 0;
    const size_t n = px.size();
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 128 && px[i + run] == px[i]) ++run;
        if (run >= 2) {
            out.push_back(uint8_t(0x80 | (run - 1)));
            put(px[i]);
            i += run;
            continue;
        }
        size_t start = i, count = 0;
        while (i < n && count < 128 && !(i + 1 < n && px[i] == px[i + 1])) ++i, ++count;
        out.push_back(uint8_t(count - 1));
        for (size_t k = start; k < start + count; ++k) put(px[k]);
    }
    return out;
}

}  // namespace

TEST(Tga, FastEncoderAndChunkedWritesGiveTheReferenceBytes) {
    // Runs and raw stretches of every length around the 4-pixel steps and the 128 limit.
    std::vector<uint32_t> px;
    uint32_t seed = 7;
    for (int len = 1; px.size() < 700u * 700u; len = len % 300 + 1) {
        seed = seed * 1664525u + 1013904223u;
        const bool run = (seed >> 20) & 1;
        for (int k = 0; k < len; ++k) {
            seed = seed * 1664525u + 1013904223u;
            px.push_back(run ? 0xFF000000u | uint32_t(len) : (seed >> 8) | (k & 1u) << 31);
        }
    }
    px.resize(700u * 700u);
    for (size_t n : {size_t(1), size_t(2), size_t(5), size_t(129), size_t(1000), px.size()}) {
        const std::vector<uint32_t> part(px.begin(), px.begin() + std::ptrdiff_t(n));
        std::vector<uint8_t> out(txTGARleBound(n));
        const auto want = referenceRle(part);
        ASSERT_EQ(txEncodeTGARle(part.data(), n, out.data()), want.size()) << n;
        out.resize(want.size());
        EXPECT_EQ(out, want) << n;
    }
    // The writer encodes a megabyte at a time; the file holds the one-stream encoding (mode 1)
    // or each row encoded alone (mode 2).
    const std::string path = ::testing::TempDir() + "tga_chunked.tga";
    ASSERT_EQ(txWriteTGA(path, 700, 700, px.data(), TX_TGA_RLE), TX_TGA_OK);
    std::vector<uint8_t> file;
    std::string err;
    ASSERT_TRUE(txLoadFile(path, file, err));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 18, file.end()), referenceRle(px));
    ASSERT_EQ(txWriteTGA(path, 700, 700, px.data(), TX_TGA_RLE_ROWS), TX_TGA_OK);
    ASSERT_TRUE(txLoadFile(path, file, err));
    std::vector<uint8_t> rows;
    for (size_t y = 0; y < 700; ++y) {
        const auto r = referenceRle(std::vector<uint32_t>(
            px.begin() + std::ptrdiff_t(y * 700), px.begin() + std::ptrdiff_t(y * 700 + 700)));
        rows.insert(rows.end(), r.begin(), r.end());
    }
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 18, file.end()), rows);
    std::remove(path.c_str());
}
