// Refused files: the reason of the type the file was recognised as, else "Unrecognised
// file format"; stored bodies checked against the bytes present before anything is allocated;
// progressive JPEGs held to a scan count and to the memory limit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "test_util.h"
#include "tests/texlib/jpeg_test_util.h"
#include "texlib/read.h"

namespace {

std::string refusal(const std::vector<uint8_t>& bytes) {
    TxStream s(bytes.data(), bytes.size());
    TxMip mip;
    TxReadContext ctx;
    EXPECT_FALSE(txMipRead(mip, "memory", s, TX_PREFER_ARGB8888, ctx));
    return ctx.lastError;
}

// The probe's verdict alone: 0 when the file is refused before its body is looked at (and so
// before its pixels are allocated).
int detected(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
    TxStream s(bytes.data(), bytes.size());
    TxMip mip;
    TxReadContext ctx;
    const int type = txDetectType(s, ctx, mip);
    if (error) *error = ctx.lastError;
    return type;
}

std::vector<uint8_t> tgaHeader(int type, int w, int h, int bits) {
    Bytes b;
    b.u8(0).u8(0).u8(type).le16(0).le16(0).u8(0).le16(0).le16(0).le16(w).le16(h).u8(bits).u8(0x20);
    return b.v;
}

std::vector<uint8_t> psdHeader(int mode, int channels, int w, int h) {
    Bytes b;
    b.str("8BPS")
        .be16(1)
        .fill(6, 0)
        .be16(channels)
        .be32(uint32_t(h))
        .be32(uint32_t(w))
        .be16(8)
        .be16(mode);
    return b.v;
}

std::vector<uint8_t> encodeJpeg(int w, int h, bool progressive) {
    std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
    for (size_t k = 0; k < rgb.size(); ++k) rgb[k] = uint8_t(k * 7);
    return ::encodeJpeg(w, h, 3, rgb, progressive, 75);
}

// Offset of the last occurrence of marker FF xx, or npos.
size_t lastMarker(const std::vector<uint8_t>& v, uint8_t code) {
    for (size_t k = v.size() - 1; k-- > 0;)
        if (v[k] == 0xFF && v[k + 1] == code) return k;
    return std::string::npos;
}

}  // namespace

TEST(Refusal, ReasonOfTheRecognisedType) {
    // A TGA header over the size limit.
    EXPECT_EQ(refusal(tgaHeader(2, 65535, 65535, 32)), "TGA Image: image is too large.");
    // A CMYK PSD.
    Bytes cmyk;
    cmyk.v = psdHeader(4, 4, 8, 8);
    cmyk.be32(0).be32(0).be32(0).be16(0).fill(8 * 8 * 4, 0);
    EXPECT_EQ(refusal(cmyk.v), "Unsupported Colormode");
    // A damaged JASC palette.
    Bytes jasc;
    jasc.str("JASC-PAL\n0100\n3\n1 2 3\nbad\n");
    EXPECT_EQ(refusal(jasc.v), "Invalid JASC PAL data");
    // A GIMP brush with its magic and a bad size.
    Bytes gbr;
    gbr.be32(28).be32(2).be32(0).be32(4).be32(1).str("GIMP").be32(0).fill(16, 0);
    EXPECT_EQ(refusal(gbr.v), "GIMP brush: bad size");
}

TEST(Refusal, NothingRecognisedIsSaidSo) {
    Bytes text;
    text.str("Just some notes, no picture at all.\nSecond line\n");
    EXPECT_EQ(refusal(text.v), TX_UNRECOGNISED);
    EXPECT_EQ(refusal({}), TX_UNRECOGNISED);
    EXPECT_EQ(refusal({0x42}), TX_UNRECOGNISED);
    std::vector<uint8_t> junk(4096);
    uint32_t x = 12345;
    for (auto& b : junk) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 24);
    }
    junk[1] = 0x77;  // no TGA colour-map type
    EXPECT_EQ(refusal(junk), TX_UNRECOGNISED);
}

TEST(Refusal, StoredBodiesMustBeThereBeforeAllocation) {
    std::string err;
    // TGA stored as it is: 100 x 100 x 4 bytes announced, 10 present.
    Bytes tga;
    tga.v = tgaHeader(2, 100, 100, 32);
    tga.fill(10, 1);
    EXPECT_EQ(detected(tga.v, &err), 0);
    EXPECT_EQ(err, "TGA Image: Unexpected end of file.");
    // TGA run-length: at least one packet per 128 pixels.
    Bytes rle;
    rle.v = tgaHeader(10, 16384, 16384, 32);
    rle.fill(100, 0xFF);
    EXPECT_EQ(detected(rle.v, &err), 0);
    EXPECT_EQ(err, "TGA Image: Unexpected end of file.");
    // ... while a complete one still reads.
    Bytes full;
    full.v = tgaHeader(2, 2, 2, 32);
    full.fill(16, 0x80);
    EXPECT_EQ(detected(full.v), TX_TYPE_TGA);

    // BMP, 24 bits, stored rows absent.
    Bytes bmp;
    bmp.str("BM").le32(54).le32(0).le32(54).le32(40).le32(1000).le32(1000).le16(1).le16(24);
    bmp.le32(0).le32(0).le32(0).le32(0).le32(0).le32(0);
    EXPECT_EQ(detected(bmp.v, &err), 0);
    EXPECT_EQ(err, "BMP Image: Unexpected end of file.");

    // PSD, raw RGB planes absent.
    Bytes psd;
    psd.v = psdHeader(3, 3, 1000, 1000);
    psd.be32(0).be32(0).be32(0).be16(0).fill(100, 0);
    EXPECT_EQ(detected(psd.v, &err), 0);
    EXPECT_EQ(err, "Unexpected end of file.");

    // 3DF levels absent.
    Bytes tdf;
    tdf.str("3df v1.1\nargb8888\nlod range: 2048 2048\naspect ratio: 1 1\n").fill(64, 0);
    EXPECT_EQ(detected(tdf.v, &err), 0);
    EXPECT_EQ(err, "3DF: the file is shorter than its levels");
}

TEST(Refusal, ThreeDfPaddingAfterTheLastLevelIsIgnored) {
    Bytes tdf;
    tdf.str("3df v1.1\ni8\nlod range: 2 2\naspect ratio: 1 1\n").u8(1).u8(2).u8(3).u8(4);
    tdf.str("padding written by another tool");
    TxReadContext ctx;
    int w = 0, h = 0;
    const auto px = readPixels(tdf.v, ctx, &w, &h);
    ASSERT_EQ(px.size(), 4u) << ctx.lastError;
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(px[3] & 0xFF, 4u);
}

TEST(Refusal, ProgressiveJpegScanCountIsCapped) {
    std::vector<uint8_t> jpg = encodeJpeg(16, 16, true);
    {
        TxReadContext ctx;
        ASSERT_EQ(readPixels(jpg, ctx).size(), 256u) << ctx.lastError;
    }
    // The last scan repeated: each repeat is one more (bogus, empty) refinement scan.
    const size_t sos = lastMarker(jpg, 0xDA), eoi = lastMarker(jpg, 0xD9);
    ASSERT_NE(sos, std::string::npos);
    ASSERT_EQ(eoi, jpg.size() - 2);
    const std::vector<uint8_t> scan(jpg.begin() + long(sos), jpg.begin() + long(eoi));
    std::vector<uint8_t> many(jpg.begin(), jpg.begin() + long(eoi));
    for (int k = 0; k < 1000; ++k) many.insert(many.end(), scan.begin(), scan.end());
    many.push_back(0xFF);
    many.push_back(0xD9);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(refusal(many), "JPEG Image: too many scans.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(Refusal, ProgressiveJpegCoefficientBuffersCountAgainstTheLimit) {
    // A few hundred bytes whose frame header claims 16384 x 16384: the pixels (1 GiB) would fit
    // the limit alone, the whole-image coefficient buffers on top of them do not.
    std::vector<uint8_t> jpg = encodeJpeg(16, 16, true);
    size_t sof = std::string::npos;
    for (size_t k = 0; k + 9 < jpg.size(); ++k)
        if (jpg[k] == 0xFF && jpg[k + 1] == 0xC2) {
            sof = k;
            break;
        }
    ASSERT_NE(sof, std::string::npos);
    jpg[sof + 5] = 0x40;  // height 16384
    jpg[sof + 6] = 0x00;
    jpg[sof + 7] = 0x40;  // width 16384
    jpg[sof + 8] = 0x00;
    std::string err;
    EXPECT_EQ(detected(jpg, &err), 0);
    EXPECT_EQ(err, "JPEG Image: image is too large.");
}

TEST(Refusal, KnownSignatureCutOrZeroSizedSaysWhy) {
    // A GIF89a whose height is 0, with a global colour table the file does not hold.
    Bytes gif;
    gif.str("GIF89a").le16(2).le16(0).u8(0xF7).u8(0).u8(0).str(";");
    EXPECT_EQ(refusal(gif.v), "GIF Image: width or height is 0.");
    // A sane size, but the flags byte announces a table of 256 colours that is not there.
    Bytes flags;
    flags.str("GIF89a").le16(2).le16(2).u8(0xFF).u8(0).u8(0).str(";");
    EXPECT_EQ(refusal(flags.v), "GIF Image: bad header.");
    // A PSD cut inside its 26-byte header.
    Bytes psd;
    psd.v = psdHeader(3, 3, 8, 8);
    psd.v.resize(20);
    EXPECT_EQ(refusal(psd.v), "Unexpected end of file.");
    // "GI" alone is no GIF of ours to explain.
    Bytes text;
    text.str("GIraffe notes, no picture\n");
    EXPECT_EQ(refusal(text.v), TX_UNRECOGNISED);
}
