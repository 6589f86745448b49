#include <gtest/gtest.h>

#include <memory>

#include "test_util.h"
#include "texlib/dib.h"

namespace {

// A block header; the table and rows follow.
Bytes dibHeader(int32_t width, int32_t height, int bits, uint32_t coloursUsed = 0,
                uint32_t headerSize = 40, uint32_t compression = 0) {
    Bytes b;
    b.le32(headerSize).le32(uint32_t(width)).le32(uint32_t(height)).le16(1).le16(bits);
    b.le32(compression).le32(0).le32(0).le32(0).le32(coloursUsed).le32(0);
    return b;
}

// Reads from a heap copy of exactly the block's size, so that any read beyond it is caught by
// AddressSanitizer.
std::vector<uint32_t> readDib(const std::vector<uint8_t>& bytes, std::string* error = nullptr,
                              int* w = nullptr, int* h = nullptr) {
    auto exact = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    TxMip mip;
    if (!txDibRead(exact.get(), bytes.size(), mip, error)) {
        EXPECT_EQ(mip.data[0], nullptr);
        return {};
    }
    if (w) *w = mip.width;
    if (h) *h = mip.height;
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    return std::vector<uint32_t>(p, p + size_t(mip.width) * size_t(mip.height));
}

}  // namespace

TEST(Dib, WritesTwentyFourBitBlockBottomUpWithPaddedRows) {
    const uint32_t texels[6] = {0x80010203, 0x00040506, 0xFF070809,   // top row
                                0x110A0B0C, 0x220D0E0F, 0x33101112};  // bottom row
    const std::vector<uint8_t> block = txDibWrite(3, 2, texels);
    Bytes want = dibHeader(3, 2, 24);
    want.u8(0x0C).u8(0x0B).u8(0x0A).u8(0x0F).u8(0x0E).u8(0x0D).u8(0x12).u8(0x11).u8(0x10);
    want.fill(3, 0);
    want.u8(0x03).u8(0x02).u8(0x01).u8(0x06).u8(0x05).u8(0x04).u8(0x09).u8(0x08).u8(0x07);
    want.fill(3, 0);
    ASSERT_EQ(block.size(), 64u);
    EXPECT_EQ(block, want.v);

    // Read back: the colours, opaque, top row first.
    int w = 0, h = 0;
    EXPECT_EQ(readDib(block, nullptr, &w, &h),
              (std::vector<uint32_t>{0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F,
                                     0xFF101112}));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);

    // As image/bmp: a file header in front, pixels at 54, and the BMP reader agrees.
    const std::vector<uint8_t> file = txDibToBmpFile(block);
    ASSERT_EQ(file.size(), 78u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[2], 78);
    EXPECT_EQ(file[10], 54);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), file.begin() + 14));
    TxReadContext ctx;
    EXPECT_EQ(readPixels(file, ctx), readDib(block));

    // 32 bits keep the alpha as the fourth byte and read back unchanged.
    const std::vector<uint8_t> b32 = txDibWrite(3, 2, texels, 32);
    ASSERT_EQ(b32.size(), 64u);
    EXPECT_EQ(b32[14], 32);
    EXPECT_EQ(b32[40], 0x0C);
    EXPECT_EQ(b32[43], 0x11);
    EXPECT_EQ(readDib(b32), std::vector<uint32_t>(texels, texels + 6));

    EXPECT_TRUE(txDibWrite(3, 2, texels, 16).empty());
    EXPECT_TRUE(txDibWrite(0, 2, texels).empty());
    EXPECT_TRUE(txDibWrite(3, 2, nullptr).empty());
}

TEST(Dib, DecodesEveryDepthWithTableAndAlphaRules) {
    // 1 x 1 at 8 bits, entry 0 = blue 10, green 20, red 30.
    Bytes b8 = dibHeader(1, 1, 8, 1);
    b8.u8(10).u8(20).u8(30).u8(0).u8(0).fill(3, 0);
    EXPECT_EQ(readDib(b8.v), std::vector<uint32_t>{0xFF1E140A});

    // 1 bit, two entries, leftmost pixel in the top bit; 10 pixels cross a byte.
    Bytes b1 = dibHeader(10, 1, 1, 2);
    b1.le32(0x00112233).le32(0x00AABBCC).u8(0xA0).u8(0x40).fill(2, 0);
    EXPECT_EQ(readDib(b1.v),
              (std::vector<uint32_t>{0xFFAABBCC, 0xFF112233, 0xFFAABBCC, 0xFF112233, 0xFF112233,
                                     0xFF112233, 0xFF112233, 0xFF112233, 0xFF112233, 0xFFAABBCC}));

    // 4 bits with a 2-entry table: index 1 is in it, 7 and 15 lie beyond it and take entry 0.
    Bytes b4 = dibHeader(3, 1, 4, 2);
    b4.le32(0x00010203).le32(0x00040506).u8(0x17).u8(0xF0).fill(2, 0);
    EXPECT_EQ(readDib(b4.v), (std::vector<uint32_t>{0xFF040506, 0xFF010203, 0xFF010203}));

    // 16 bits: x1rrrrrgggggbbbbb, widened to full scale.
    Bytes b16 = dibHeader(2, 1, 16);
    b16.le16(0x7C00).le16(0x03FF);
    EXPECT_EQ(readDib(b16.v), (std::vector<uint32_t>{0xFFFF0000, 0xFF00FFFF}));

    // 32 bits, two rows: the fourth byte is the alpha, bottom row first in the block.
    Bytes b32 = dibHeader(1, 2, 32);
    b32.le32(0x00FF0000).le32(0x80102030);
    EXPECT_EQ(readDib(b32.v), (std::vector<uint32_t>{0x80102030, 0x00FF0000}));
    // ... but a picture whose fourth bytes are all 0 is opaque.
    Bytes b32o = dibHeader(2, 1, 32);
    b32o.le32(0x00102030).le32(0x00405060);
    EXPECT_EQ(readDib(b32o.v), (std::vector<uint32_t>{0xFF102030, 0xFF405060}));
    // A 32-bit block with a colour table (and a longer header) finds its pixels after both.
    Bytes b32t = dibHeader(1, 1, 32, 1, 56);
    b32t.fill(16, 0xEE).le32(0x00FFFFFF).le32(0x40302010);
    EXPECT_EQ(readDib(b32t.v), std::vector<uint32_t>{0x40302010});
}

TEST(Dib, RefusesPicturesOutsideTheAcceptedKinds) {
    auto refused = [](const Bytes& b, const char* why) {
        std::string error;
        EXPECT_TRUE(readDib(b.v, &error).empty()) << why;
        EXPECT_FALSE(error.empty()) << why;
        TxDibInfo info;
        EXPECT_FALSE(txDibInfo(b.v.data(), b.v.size(), info)) << why;
    };
    const size_t rows2049 = (2049 * 24 + 31) / 32 * 4;
    refused(dibHeader(2049, 1, 24).fill(rows2049, 0), "2049 wide");
    refused(dibHeader(1, 2049, 32).fill(4 * 2049, 0), "2049 high");
    refused(dibHeader(1, -1, 24).fill(4, 0), "top-down");
    refused(dibHeader(-1, 1, 24).fill(4, 0), "negative width");
    refused(dibHeader(1, 1, 8, 0, 40, 1).fill(1024 + 4, 0), "RLE8");
    refused(dibHeader(1, 1, 32, 0, 40, 3).fill(16, 0), "bit fields");
    refused(dibHeader(1, 1, 2).fill(4, 0), "2 bits");
    refused(dibHeader(0, 0, 24), "0 x 0");
    refused(dibHeader(0, 5, 24), "no columns");

    // 2048 x 1 is still taken.
    TxDibInfo info;
    const Bytes wide = dibHeader(2048, 1, 24).fill(2048 * 3, 0);
    ASSERT_TRUE(txDibInfo(wide.v.data(), wide.v.size(), info));
    EXPECT_EQ(info.width, 2048);
    EXPECT_EQ(info.stride, 6144u);
}

TEST(Dib, HostileBlocksReadNothingOutsideThemselves) {
    std::string error;
    // Colours-used of 2^31 at 8 bits, and 256 entries of a 1-bit picture.
    EXPECT_TRUE(readDib(dibHeader(1, 1, 8, 0x80000000u).fill(8, 0).v, &error).empty());
    EXPECT_EQ(error, "Clipboard picture: too many colours.");
    EXPECT_TRUE(readDib(dibHeader(1, 1, 1, 256).fill(1028, 0).v, &error).empty());
    EXPECT_EQ(error, "Clipboard picture: too many colours.");
    // Colours-used of 2^31 at 32 bits, where no limit by depth applies: the table must fit.
    EXPECT_TRUE(readDib(dibHeader(1, 1, 32, 0x80000000u).fill(8, 0).v, &error).empty());
    EXPECT_EQ(error, "Clipboard picture: colour table cut short.");
    // An 8-bit picture without colours-used promises 256 entries.
    EXPECT_TRUE(readDib(dibHeader(1, 1, 8).fill(16, 0).v, &error).empty());
    EXPECT_EQ(error, "Clipboard picture: colour table cut short.");
    // A block shorter than its rows, by one byte of the last row's padding.
    EXPECT_TRUE(readDib(dibHeader(3, 2, 24).fill(23, 0).v, &error).empty());
    EXPECT_EQ(error, "Clipboard picture: rows cut short.");
    // A large picture with a tiny block.
    EXPECT_TRUE(readDib(dibHeader(2048, 2048, 32).fill(64, 0).v, &error).empty());
    EXPECT_EQ(error, "Clipboard picture: rows cut short.");
    // Header sizes 12 (core header), 2^31, and one beyond the block.
    for (uint32_t hs : {12u, 0x80000000u, 0xFFFFFFFFu, 0u, 60u}) {
        EXPECT_TRUE(readDib(dibHeader(1, 1, 24, 0, hs).fill(4, 0).v, &error).empty()) << hs;
        EXPECT_EQ(error, "Clipboard picture: bad header size.") << hs;
    }
    // Shorter than a header.
    EXPECT_TRUE(readDib(std::vector<uint8_t>(39, 0), &error).empty());
    EXPECT_TRUE(readDib({}, &error).empty());
}
