#include <gtest/gtest.h>

#include <cstring>

#include "raster_test_util.h"
#include "texlib/avi.h"

using namespace raster;

namespace {

// Builds an uncompressed 24-bit AVI: RIFF "AVI ", the header list with one video stream and the
// movie list with one "00db" chunk per frame (rows bottom row first, padded to 4 bytes).
struct AviBuilder {
    int width = 2, height = 2, declaredFrames = -1;
    std::vector<std::vector<uint8_t>> frames;

    static void chunk(Bytes& b, const char* id, const std::vector<uint8_t>& data) {
        b.u8(id[0]).u8(id[1]).u8(id[2]).u8(id[3]).le32(uint32_t(data.size()));
        b.v.insert(b.v.end(), data.begin(), data.end());
        if (data.size() & 1) b.u8(0);
    }
    static std::vector<uint8_t> list(const char* type, const std::vector<uint8_t>& body) {
        Bytes b;
        b.u8(type[0]).u8(type[1]).u8(type[2]).u8(type[3]);
        b.v.insert(b.v.end(), body.begin(), body.end());
        return b.v;
    }

    std::vector<uint8_t> build() const {
        const uint32_t n = declaredFrames >= 0 ? uint32_t(declaredFrames) : uint32_t(frames.size());
        const uint32_t frameBytes = uint32_t(uint64_t((width * 3 + 3) & ~3) * uint64_t(height));
        Bytes avih;
        avih.le32(100000).le32(0).le32(0).le32(0x10).le32(n).le32(0).le32(1).le32(frameBytes);
        avih.le32(uint32_t(width)).le32(uint32_t(height)).fill(16, 0);
        Bytes strh;
        strh.u8('v').u8('i').u8('d').u8('s').le32(0).le32(0).le16(0).le16(0).le32(0);
        strh.le32(1).le32(10).le32(0).le32(n).le32(frameBytes).le32(0xFFFFFFFF).le32(0);
        strh.le16(0).le16(0).le16(width).le16(height);
        Bytes strf;
        strf.le32(40).le32(uint32_t(width)).le32(uint32_t(height)).le16(1).le16(24).le32(0);
        strf.le32(frameBytes).le32(0).le32(0).le32(0).le32(0);
        Bytes strl;
        chunk(strl, "strh", strh.v);
        chunk(strl, "strf", strf.v);
        Bytes hdrl;
        chunk(hdrl, "avih", avih.v);
        chunk(hdrl, "LIST", list("strl", strl.v));
        Bytes movi;
        Bytes idx;
        uint32_t offset = 4;
        for (const auto& f : frames) {
            chunk(movi, "00db", f);
            idx.u8('0').u8('0').u8('d').u8('b').le32(0x10).le32(offset).le32(uint32_t(f.size()));
            offset += 8 + uint32_t((f.size() + 1) & ~size_t(1));
        }
        Bytes body;
        chunk(body, "LIST", list("hdrl", hdrl.v));
        chunk(body, "LIST", list("movi", movi.v));
        chunk(body, "idx1", idx.v);
        Bytes riff;
        chunk(riff, "RIFF", list("AVI ", body.v));
        return riff.v;
    }
};

// One 24-bit frame of a single colour (r, g, b).
std::vector<uint8_t> solidFrame(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    const int stride = (w * 3 + 3) & ~3;
    std::vector<uint8_t> f(size_t(stride * h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            f[size_t(y * stride + x * 3)] = b;
            f[size_t(y * stride + x * 3 + 1)] = g;
            f[size_t(y * stride + x * 3 + 2)] = r;
        }
    return f;
}

}  // namespace

TEST(Avi, FramesStackVerticallyTopRowFirst) {
    AviBuilder a;
    a.width = 3;
    a.height = 2;
    a.frames.push_back(solidFrame(3, 2, 10, 20, 30));
    a.frames.push_back(solidFrame(3, 2, 40, 50, 60));
    // Third frame: bottom row (stored first) red, top row blue.
    auto f = solidFrame(3, 2, 0, 0, 255);
    f[2] = f[5] = f[8] = 255;
    f[0] = f[3] = f[6] = 0;
    a.frames.push_back(f);
    TxReadContext ctx;
    int w = 0, h = 0;
    const auto px = readPixels(a.build(), ctx, &w, &h);
    ASSERT_EQ(px.size(), 18u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_AVI);
    EXPECT_EQ(ctx.frameCount, 3);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(px[0], 0xFF0A141Eu);
    EXPECT_EQ(px[5], 0xFF0A141Eu);
    EXPECT_EQ(px[6], 0xFF28323Cu);
    EXPECT_EQ(px[12], 0xFF0000FFu);  // top row of frame 3
    EXPECT_EQ(px[17], 0xFFFF0000u);  // bottom row of frame 3
}

TEST(Avi, AtMost256FramesAreRead) {
    AviBuilder a;
    a.width = 1;
    a.height = 1;
    for (int k = 0; k < 300; ++k) a.frames.push_back(solidFrame(1, 1, uint8_t(k), 0, 0));
    TxReadContext ctx;
    int w = 0, h = 0;
    const auto px = readPixels(a.build(), ctx, &w, &h);
    ASSERT_EQ(px.size(), 256u) << ctx.lastError;
    EXPECT_EQ(ctx.frameCount, 256);
    EXPECT_EQ(h, 256);
    EXPECT_EQ(px[255], 0xFFFF0000u);
}

TEST(Avi, MissingFramesEndTheReadEarlyAndCorruptFilesFail) {
    // The header promises four frames, the file holds two: the read succeeds, the rest is empty.
    AviBuilder a;
    a.declaredFrames = 4;
    a.frames.push_back(solidFrame(2, 2, 1, 2, 3));
    a.frames.push_back(solidFrame(2, 2, 4, 5, 6));
    TxReadContext ctx;
    const auto px = readPixels(a.build(), ctx);
    ASSERT_EQ(px.size(), 16u) << ctx.lastError;
    EXPECT_EQ(ctx.frameCount, 4);
    EXPECT_EQ(px[4], 0xFF040506u);
    EXPECT_EQ(px[8], 0u);

    TxMip mip;
    // A RIFF file that is no AVI (a palette) is not taken for one.
    Bytes pal;
    pal.str("RIFF").le32(16).str("PAL data").le32(4).le32(0x01000300);
    ctx = TxReadContext();
    EXPECT_FALSE(readOwn(pal.v, mip, ctx));
    EXPECT_NE(ctx.fileType, TX_TYPE_AVI);
    // Headers without any frame data, and a header cut short.
    AviBuilder empty;
    ctx = TxReadContext();
    EXPECT_FALSE(readOwn(empty.build(), mip, ctx));
    EXPECT_EQ(mip.data[0], nullptr);
    const auto whole = a.build();
    ctx = TxReadContext();
    EXPECT_FALSE(readOwn(std::vector<uint8_t>(whole.begin(), whole.begin() + 100), mip, ctx));
    EXPECT_EQ(mip.data[0], nullptr);
    // Gigantic frame sizes are refused before anything is decoded.
    AviBuilder huge;
    huge.width = 30000;
    huge.height = 30000;
    huge.frames.push_back({1, 2, 3});
    ctx = TxReadContext();
    EXPECT_FALSE(readOwn(huge.build(), mip, ctx));
    EXPECT_EQ(ctx.lastError, "AVI file: image is too large.");
}

TEST(Avi, FfmpegIsLoadedAtRunTimeAndAMissingLibraryIsNamed) {
    std::string error;
    EXPECT_TRUE(txAviFfmpegLoadable(kTxFfmpegSonames, &error)) << error;
    const char* const missing[4] = {kTxFfmpegSonames[0], kTxFfmpegSonames[1],
                                    "libavcodec-not-here.so.0", kTxFfmpegSonames[3]};
    EXPECT_FALSE(txAviFfmpegLoadable(missing, &error));
    EXPECT_NE(error.find("libavcodec-not-here.so.0"), std::string::npos) << error;
}
